// Number types and conversions shared by every part of the simulator.
//
// The model keeps most stored values as Fixed4 (ten-thousandths held in a
// 64-bit integer) and computes in doubles. Conversions to 16-bit integers and
// to Fixed4 round halves to even; an out-of-range value is a RuntimeError,
// never a silent wrap-around.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ammonite {

// An error that ends the current action (a button click, a scroll-bar change,
// ...). Values already assigned keep their new values; the window catches it
// and shows `what()` in its status line.
class RuntimeError : public std::runtime_error {
public:
    enum class Kind { Overflow, DivisionByZero, OutOfRange, TypeMismatch, InvalidArgument };
    RuntimeError(Kind kind, const std::string& detail);
    // An error whose whole text is `message`, without the kind in front: for
    // messages that already say what was wrong in the user's words.
    static RuntimeError plain(Kind kind, const std::string& message);
    Kind kind() const { return kind_; }

private:
    struct Plain {};
    RuntimeError(Plain, Kind kind, const std::string& message);
    Kind kind_;
};

[[noreturn]] void throwOverflow(const std::string& detail);
[[noreturn]] void throwDivisionByZero(const std::string& detail);
[[noreturn]] void throwOutOfRange(const std::string& detail);
[[noreturn]] void throwTypeMismatch(const std::string& detail);
[[noreturn]] void throwInvalidArgument(const std::string& detail);

// Checked arithmetic helpers: a division by zero or a non-finite result is a
// runtime error, as the model's arithmetic would raise it.
double checkedDivide(double numerator, double denominator, const char* what);
double checkedLog(double value, const char* what);
double checkedSqrt(double value, const char* what);
double checkedPow(double base, double exponent, const char* what);
double checkedFinite(double value, const char* what);

// π as the model uses it: the single-precision constant 3.14159.
constexpr float kPiSingle = 3.14159f;
// The same constant widened to double (3.14159012...).
constexpr double kPi = static_cast<double>(kPiSingle);

// Signed fixed point with four decimals, stored as value × 10000.
class Fixed4 {
public:
    constexpr Fixed4() = default;
    Fixed4(double value) : raw_(fromDouble(value)) {}  // NOLINT: stores round to 4 decimals

    static Fixed4 fromRaw(std::int64_t raw) {
        Fixed4 f;
        f.raw_ = raw;
        return f;
    }
    std::int64_t raw() const { return raw_; }
    double toDouble() const { return static_cast<double>(raw_) / 10000.0; }
    operator double() const { return toDouble(); }  // NOLINT: arithmetic is done in doubles

    // Rounds value × 10000 to the nearest integer, halves to even; NaN or a
    // value beyond ±922,337,203,685,477.5807 is an overflow.
    static std::int64_t fromDouble(double value);

private:
    std::int64_t raw_ = 0;
};

// Round to the nearest 16-bit integer, halves to even; outside -32768..32767
// (or NaN) is an overflow.
std::int16_t toInt16(double value);
// Round to the nearest 32-bit integer, halves to even, with the same checks.
std::int32_t toInt32(double value);
// Round halves to even without a range check (for drawing coordinates).
double roundHalfEven(double value);

// Truncation to n decimals: floor(value × 10^n) / 10^n, toward minus infinity.
double truncateDecimals(double value, int decimals);

// ---- number texts ----------------------------------------------------------

// Shortest decimal text of a double with at most 15 significant digits
// ("1.005", "0.5", "-3", "1E+20").
std::string formatNumber(double value);
// Shortest decimal text of a single-precision value, at most 7 digits.
std::string formatSingle(float value);
// A Fixed4 value: at most four decimals, no trailing zeros.
std::string formatFixed4(Fixed4 value);
// The same text without the zero before the decimal point (".93", "-.5").
std::string dropLeadingZero(const std::string& text);
// Number form of the profile file and the chart labels (".93").
std::string formatNoLeadingZero(double value);

// Fixed number of decimals, rounded to nearest, '.' as the decimal sign
// whatever the locale ("0.125", "-2.000"); NaN and infinities as "nan", "inf".
std::string formatDecimals(double value, int decimals);

// Reads the number at the start of a text, blanks ignored: "12abc" → 12,
// " .5" → 0.5, "abc" or "" → 0.
double parseLeadingNumber(const std::string& text);
// Converts the whole text (surrounding blanks allowed) to a number; anything
// else is a type mismatch.
double parseWholeNumber(const std::string& text);
// Like parseWholeNumber but reports failure instead of throwing.
bool tryParseWholeNumber(const std::string& text, double& out);

// ---- typed values out of range -----------------------------------------------

// The message for a typed value outside its field, naming the field (a box
// or an option) as the user knows it and the text as typed (blanks trimmed):
// "STAGE: 1e9 is too large (at most 32767)",
// "--stages: -40000 is too small (at least -32768)".
std::string OutOfRangeText(const std::string& field, const std::string& typed, bool tooLarge, double limit);
// The largest magnitude a Fixed4 field holds as a whole number.
constexpr double kFixed4Limit = 922337203685477.0;
// The number at the start of a typed text (as parseLeadingNumber reads it),
// checked against lo..hi, after rounding halves to even when `whole`. A
// value outside, or too large to read at all, is an overflow whose text is
// OutOfRangeText.
double ReadTypedNumber(const std::string& field, const std::string& text, double lo, double hi, bool whole);

}  // namespace ammonite

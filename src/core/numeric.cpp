#include "core/numeric.h"

#include <cerrno>
#include <charconv>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace ammonite {

namespace {
const char* kindText(RuntimeError::Kind kind) {
    switch (kind) {
    case RuntimeError::Kind::Overflow: return "Overflow";
    case RuntimeError::Kind::DivisionByZero: return "Division by zero";
    case RuntimeError::Kind::OutOfRange: return "Subscript out of range";
    case RuntimeError::Kind::TypeMismatch: return "Type mismatch";
    case RuntimeError::Kind::InvalidArgument: return "Invalid procedure call or argument";
    }
    return "Runtime error";
}
}  // namespace

RuntimeError::RuntimeError(Kind kind, const std::string& detail)
    : std::runtime_error(detail.empty() ? std::string(kindText(kind))
                                        : std::string(kindText(kind)) + ": " + detail),
      kind_(kind) {}

RuntimeError::RuntimeError(Plain, Kind kind, const std::string& message)
    : std::runtime_error(message), kind_(kind) {}

RuntimeError RuntimeError::plain(Kind kind, const std::string& message) { return RuntimeError(Plain{}, kind, message); }

void throwOverflow(const std::string& d) { throw RuntimeError(RuntimeError::Kind::Overflow, d); }
void throwDivisionByZero(const std::string& d) {
    throw RuntimeError(RuntimeError::Kind::DivisionByZero, d);
}
void throwOutOfRange(const std::string& d) { throw RuntimeError(RuntimeError::Kind::OutOfRange, d); }
void throwTypeMismatch(const std::string& d) {
    throw RuntimeError(RuntimeError::Kind::TypeMismatch, d);
}
void throwInvalidArgument(const std::string& d) {
    throw RuntimeError(RuntimeError::Kind::InvalidArgument, d);
}

double checkedDivide(double numerator, double denominator, const char* what) {
    if (denominator == 0.0) throwDivisionByZero(what);
    return checkedFinite(numerator / denominator, what);
}

double checkedLog(double value, const char* what) {
    if (!(value > 0.0)) throwInvalidArgument(what);
    return std::log(value);
}

double checkedSqrt(double value, const char* what) {
    if (value < 0.0 || std::isnan(value)) throwInvalidArgument(what);
    return std::sqrt(value);
}

double checkedPow(double base, double exponent, const char* what) {
    double r = std::pow(base, exponent);
    if (std::isnan(r)) throwInvalidArgument(what);
    return checkedFinite(r, what);
}

double checkedFinite(double value, const char* what) {
    if (std::isnan(value)) throwInvalidArgument(what);
    if (std::isinf(value)) throwOverflow(what);
    return value;
}

double roundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even.
    return std::nearbyint(value);
}

std::int64_t Fixed4::fromDouble(double value) {
    double scaled = roundHalfEven(value * 10000.0);
    // 2^63 is exactly representable; anything at or beyond it cannot be held.
    if (std::isnan(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
        throwOverflow("value does not fit a four-decimal number");
    return static_cast<std::int64_t>(scaled);
}

std::int16_t toInt16(double value) {
    double r = roundHalfEven(value);
    if (std::isnan(r) || r > 32767.0 || r < -32768.0) throwOverflow("value does not fit a 16-bit integer");
    return static_cast<std::int16_t>(r);
}

std::int32_t toInt32(double value) {
    double r = roundHalfEven(value);
    if (std::isnan(r) || r > 2147483647.0 || r < -2147483648.0)
        throwOverflow("value does not fit a 32-bit integer");
    return static_cast<std::int32_t>(r);
}

double truncateDecimals(double value, int decimals) {
    double scale = std::pow(10.0, decimals);
    return std::floor(value * scale) / scale;
}

namespace {
// Formats with the given significant digits in the style of a BASIC number
// text: no trailing zeros, exponent form "1E+20" only for very large or small
// magnitudes.
std::string formatSignificant(double value, int digits) {
    if (value == 0.0) return "0";
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", digits - 1, value);
    // Parse mantissa digits and exponent back out.
    std::string s(buf);
    auto epos = s.find('E');
    int exponent = std::atoi(s.c_str() + epos + 1);
    std::string mant = s.substr(0, epos);
    bool negative = mant[0] == '-';
    if (negative) mant.erase(0, 1);
    std::string digitsOnly;
    for (char c : mant)
        if (c != '.') digitsOnly += c;
    while (digitsOnly.size() > 1 && digitsOnly.back() == '0') digitsOnly.pop_back();
    std::string out;
    if (exponent >= digits || exponent < -5) {
        out = digitsOnly.substr(0, 1);
        if (digitsOnly.size() > 1) out += "." + digitsOnly.substr(1);
        char eb[16];
        std::snprintf(eb, sizeof eb, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        out += eb;
    } else if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digitsOnly;
    } else {
        size_t intLen = static_cast<size_t>(exponent) + 1;
        if (digitsOnly.size() <= intLen) {
            out = digitsOnly + std::string(intLen - digitsOnly.size(), '0');
        } else {
            out = digitsOnly.substr(0, intLen) + "." + digitsOnly.substr(intLen);
        }
    }
    return negative ? "-" + out : out;
}
}  // namespace

std::string formatNumber(double value) { return formatSignificant(value, 15); }

std::string formatDecimals(double value, int decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string text(buf, res.ptr);
    // A value that rounds to zero shows no sign.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string formatSingle(float value) { return formatSignificant(static_cast<double>(value), 7); }

std::string formatFixed4(Fixed4 value) {
    std::int64_t raw = value.raw();
    bool negative = raw < 0;
    // Work in unsigned to cover the most negative value.
    std::uint64_t mag = negative ? (0 - static_cast<std::uint64_t>(raw)) : static_cast<std::uint64_t>(raw);
    std::uint64_t whole = mag / 10000, frac = mag % 10000;
    std::string out = std::to_string(whole);
    if (frac != 0) {
        char fb[8];
        std::snprintf(fb, sizeof fb, "%04llu", static_cast<unsigned long long>(frac));
        std::string f(fb);
        while (!f.empty() && f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return negative ? "-" + out : out;
}

std::string dropLeadingZero(const std::string& text) {
    if (text.rfind("0.", 0) == 0) return text.substr(1);
    if (text.rfind("-0.", 0) == 0) return "-" + text.substr(2);
    return text;
}

std::string formatNoLeadingZero(double value) { return dropLeadingZero(formatNumber(value)); }

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

double parseLeadingNumber(const std::string& text) {
    // Collect the leading number, skipping blanks anywhere before its end.
    std::string num;
    size_t i = 0, n = text.size();
    auto skip = [&] {
        while (i < n && isBlank(text[i])) ++i;
    };
    skip();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        num += text[i++];
        skip();
    }
    bool digits = false;
    while (i < n && (std::isdigit(static_cast<unsigned char>(text[i])) || isBlank(text[i]))) {
        if (!isBlank(text[i])) {
            num += text[i];
            digits = true;
        }
        ++i;
    }
    if (i < n && text[i] == '.') {
        num += '.';
        ++i;
        while (i < n && (std::isdigit(static_cast<unsigned char>(text[i])) || isBlank(text[i]))) {
            if (!isBlank(text[i])) {
                num += text[i];
                digits = true;
            }
            ++i;
        }
    }
    if (!digits) return 0.0;
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < n && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        bool expDigits = false;
        while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exp += text[j++];
            expDigits = true;
        }
        if (expDigits) num += exp;
    }
    errno = 0;
    double v = std::strtod(num.c_str(), nullptr);
    if (std::isinf(v)) throwOverflow("number too large");
    return v;
}

bool tryParseWholeNumber(const std::string& text, double& out) {
    size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b])) ++b;
    while (e > b && isBlank(text[e - 1])) --e;
    if (b == e) return false;
    std::string t = text.substr(b, e - b);
    // Only plain decimal numbers: sign, digits, one point, optional exponent.
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') ++i;
    bool digits = false;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, digits = true;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, digits = true;
    }
    if (!digits) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        bool ed = false;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ed = true;
        if (!ed) return false;
    }
    if (i != t.size()) return false;
    double v = std::strtod(t.c_str(), nullptr);
    if (!std::isfinite(v)) return false;
    out = v;
    return true;
}

double parseWholeNumber(const std::string& text) {
    double v = 0;
    if (!tryParseWholeNumber(text, v)) throwTypeMismatch("\"" + text + "\" is not a number");
    return v;
}

std::string OutOfRangeText(const std::string& field, const std::string& typed, bool tooLarge, double limit) {
    size_t b = 0, e = typed.size();
    while (b < e && isBlank(typed[b])) ++b;
    while (e > b && isBlank(typed[e - 1])) --e;
    return field + ": " + typed.substr(b, e - b) + (tooLarge ? " is too large (at most " : " is too small (at least ") +
           formatNumber(limit) + ")";
}

double ReadTypedNumber(const std::string& field, const std::string& text, double lo, double hi, bool whole) {
    double v = 0;
    try {
        v = parseLeadingNumber(text);
    } catch (const RuntimeError& e) {
        if (e.kind() != RuntimeError::Kind::Overflow) throw;
        // Beyond the double range: the sign says which end it passed.
        const auto sign = text.find_first_not_of(" \t");
        v = sign != std::string::npos && text[sign] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    const double checked = whole ? roundHalfEven(v) : v;
    if (checked > hi) throw RuntimeError::plain(RuntimeError::Kind::Overflow, OutOfRangeText(field, text, true, hi));
    if (checked < lo) throw RuntimeError::plain(RuntimeError::Kind::Overflow, OutOfRangeText(field, text, false, lo));
    return v;
}

}  // namespace ammonite

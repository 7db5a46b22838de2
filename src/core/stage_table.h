// A table with one row per growth stage, 0..4000. Reading or writing a row
// outside that range ends the current action with an out-of-range error
// instead of touching memory it does not own.
#pragma once

#include <array>
#include <cmath>
#include <string>

#include "core/numeric.h"

namespace ammonite {

constexpr int kMaxStage = 4000;
constexpr int kStageRows = kMaxStage + 1;

template <typename T>
class StageTable {
public:
    StageTable() { rows_.fill(T{}); }

    T& operator[](long stage) { return rows_[check(stage)]; }
    const T& operator[](long stage) const { return rows_[check(stage)]; }
    // Stage numbers held in doubles are rounded to the nearest row (halves to even).
    T& at(double stage) { return (*this)[toIndex(stage)]; }
    const T& at(double stage) const { return (*this)[toIndex(stage)]; }

    void fill(const T& v) { rows_.fill(v); }
    static constexpr int size() { return kStageRows; }
    const T* data() const { return rows_.data(); }

private:
    static size_t check(long stage) {
        if (stage < 0 || stage > kMaxStage)
            throwOutOfRange("stage " + std::to_string(stage) + " is outside 0..4000");
        return static_cast<size_t>(stage);
    }
    static long toIndex(double stage) {
        if (std::isnan(stage) || stage < -1e9 || stage > 1e9)
            throwOutOfRange("stage is outside 0..4000");
        return static_cast<long>(roundHalfEven(stage));
    }
    std::array<T, kStageRows> rows_;
};

}  // namespace ammonite

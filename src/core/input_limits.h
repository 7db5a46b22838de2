// The limits of every input a user can set from outside the windows, written
// once: the option table (batch tool, Python, sweeps, MORPHO) and the
// scenario file read them from here.
#pragma once

#include "core/numeric.h"
#include "core/stage_table.h"

namespace ammonite {

// An allowed interval; an open end excludes its bound.
struct ValueRange {
    double lo, hi;
    bool lowOpen = false, highOpen = false;
    bool contains(double v) const {
        return (lowOpen ? v > lo : v >= lo) && (highOpen ? v < hi : v <= hi);
    }
};

// The stage box holds a 16-bit stage count.
constexpr ValueRange kStageBoxRange{-32768, 32767};
// The stage count START allows (it clamps the box's value to this).
constexpr ValueRange kStageCountRange{1, 3999};
// The final stage of the profiles: the per-stage tables end at stage 4000.
constexpr ValueRange kFinalStageRange{1, kMaxStage};
// The scale box holds what a four-decimal field holds as a whole number.
constexpr ValueRange kScaleBoxRange{-kFixed4Limit, kFixed4Limit};
// A direction or an origin must fit the model's four-decimal fields.
constexpr ValueRange kModelFieldRange{-9.0e14, 9.0e14, true, true};
// Positions of the threshold bars: ST1 and ST2 run across 0..1000, FT1 and
// FT2 up and down -80..0.
constexpr ValueRange kSizeBarRange{0, 1000};
constexpr ValueRange kFatigueBarRange{-80, 0};
// Presses of START in one session.
constexpr ValueRange kRunsRange{0, 100000};
// α, a density and a profile value as a sweep or a scenario sets them.
constexpr ValueRange kAlphaRange{-1e6, 1e6};
constexpr ValueRange kDensityRange{0, 1e12};
constexpr ValueRange kProfileValueRange{-1e12, 1e12};
// Steps of one sweep axis, and points of a whole grid.
constexpr ValueRange kSweepStepsRange{1, 100000};
constexpr long long kMaxSweepPoints = 10000000;
// Threads of a sweep.
constexpr ValueRange kJobsRange{1, 256};
// Millimetres per model unit of the meshes.
constexpr ValueRange kMeshScaleRange{0, 1e6, true, false};
// Points per ring of the meshes: a divisor of 360 from 3 up.
constexpr ValueRange kMeshRingPointsRange{3, 360};
constexpr int kMeshRingPointsDivide = 360;

}  // namespace ammonite

// The rings of the shaded tube in model space, shared by SHADE (which then
// turns them into the view) and the mesh export (which keeps them in model
// coordinates).
//
// Ring j has a point every degree, k = 0..360 (k = 360 closes the ring at
// θ = 0): the section point (c·(c + cos θ − 1)·R, c·R·sin θ, 0.02·R·cos 3θ)
// with R the radius of row j − 1 and c the swelling factor of row j, turned by
// the section pair of row j and the stage frame of row j, then moved to the
// centre of row j − 1.
#pragma once

#include <cmath>

#include "core/numeric.h"
#include "model/run_state.h"
#include "core/rotations.h"

namespace ammonite {

constexpr int kRingSteps = 360;  // quads per strip; a ring has 361 points

// cos θ, sin θ and cos 3θ of each ring step, θ = k·π/180 in single precision
// (k = 360 is θ = 0, closing the ring).
struct RingAngles {
    double cosT[kRingSteps + 1], sinT[kRingSteps + 1], cos3T[kRingSteps + 1];
    RingAngles() {
        for (int k = 0; k <= kRingSteps; ++k) {
            float theta = k == kRingSteps ? 0.0f : static_cast<float>(k) * kPiSingle / 180.0f;
            float theta3 = 3.0f * theta;
            cosT[k] = std::cos(static_cast<double>(theta));
            sinT[k] = std::sin(static_cast<double>(theta));
            cos3T[k] = std::cos(static_cast<double>(theta3));
        }
    }
};
inline const RingAngles& ringAngles() {
    static const RingAngles angles;
    return angles;
}

// What places ring j in model space: swelling factor, radius and centre of
// row j − 1, section pair and stage frame of row j.
struct RingPlacement {
    double c = 1, r = 0;
    double cx = 0, cy = 0, cz = 0;
    SectionPair section;
    FramePairs frame;
};

// The placement of ring j with swelling factor c (1 when ribbing is off).
inline RingPlacement RingPlacementOf(const RunState& run, int j, double c) {
    RingPlacement p;
    p.c = c;
    p.r = run.radiusByStage[j - 1];
    p.cx = run.centreXByStage[j - 1];
    p.cy = run.centreYByStage[j - 1];
    p.cz = run.centreZByStage[j - 1];
    p.section = SectionPair{run.sectionCosByStage[j], run.sectionSinByStage[j]};
    p.frame = FramePairs{run.frameCosAByStage[j], run.frameSinAByStage[j], run.frameCosBByStage[j],
                         run.frameSinBByStage[j]};
    return p;
}

// Point k (0..360) of a ring in model coordinates: the section point, then
// FromSectionAxis, FromStageFrame and the centre, written out with the same
// products and sums as the rotations (SHADE's pictures depend on every bit).
// `angles` is ringAngles(), fetched once by the caller.
inline Vec3 RingPointInModel(const RingPlacement& p, const RingAngles& angles, int k) {
    const double c = p.c, r = p.r;
    const double x0 = c * (c + angles.cosT[k] - 1) * r;
    const double y0 = c * r * angles.sinT[k];
    const double z0 = 0.02 * r * angles.cos3T[k];
    const double x1 = x0 * p.section.cos + y0 * p.section.sin;
    const double y1 = y0 * p.section.cos - x0 * p.section.sin;
    const double v = x1 * p.frame.cosB + z0 * p.frame.sinB;
    return {v * p.frame.cosA + y1 * p.frame.sinA + p.cx, y1 * p.frame.cosA - v * p.frame.sinA + p.cy,
            z0 * p.frame.cosB - x1 * p.frame.sinB + p.cz};
}

}  // namespace ammonite

// Conversions between a direction vector and its two whole-degree angles, as
// the settings window shows them: the azimuth of the horizontal part from +x
// towards +y (0 to 360) and the elevation above the horizontal plane (-90 to
// 90). π is the single-precision 3.14159 throughout.
#pragma once

#include <cstdint>

#include "model/model_state.h"

namespace ammonite {

// The working fields one conversion runs on; the settings window keeps one
// set for both the view and the light.
struct DirectionWork {
    Vec3F4 direction;     // the vector being converted
    double azimuth = 0;   // whole degrees after DirectionToAngles; degrees as input
    float elevation = 0;  // whole degrees after DirectionToAngles; degrees as input
};

// The constants exactly as stored (single precision).
constexpr float kHalfPiSingle = 3.14159f / 2;  // 1.57079506
constexpr float kTwoPiSingle = 6.28318f;       // 6.28318024

// Rounds degrees to a whole number, halves to even (22.5 gives 22).
std::int16_t WholeDegrees(double degrees);

// workDirection → workAzimuth, workElevation (whole degrees). A vector with no
// horizontal part (x = y = 0) has no azimuth: the azimuth is left as it was
// and the elevation is +90 or -90 by the sign of z, 0 for the zero vector.
void DirectionToAngles(DirectionWork& work);

// workAzimuth, workElevation (degrees) → workDirection = (cos P, sin P, tan Q),
// each rounded to four decimals: the horizontal part has length 1 and the
// elevation of the vector is Q.
void AnglesToDirection(DirectionWork& work);

}  // namespace ammonite

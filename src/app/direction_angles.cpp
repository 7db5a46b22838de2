#include "app/direction_angles.h"

#include <cmath>

namespace ammonite {

std::int16_t WholeDegrees(double degrees) { return toInt16(degrees); }

void DirectionToAngles(DirectionWork& work) {
    const double x = work.direction.x, y = work.direction.y, z = work.direction.z;
    const float h = static_cast<float>(std::sqrt(y * y + x * x));
    if (h == 0.0f) {
        // Straight up, straight down or no direction at all: keep the azimuth
        // so the azimuth bar stays where it stands.
        work.elevation = z > 0 ? 90.0f : (z < 0 ? -90.0f : 0.0f);
        return;
    }
    const float cx = static_cast<float>(x / h);
    const float cy = static_cast<float>(y / h);
    const bool xIsZero = work.direction.x.raw() == 0;
    double a;
    if (!xIsZero) {
        a = std::atan(y / x);
    } else {
        a = y > 0 ? static_cast<double>(kHalfPiSingle) : static_cast<double>(kHalfPiSingle + kPiSingle);
    }
    if (!xIsZero) {
        if (cx < 0)
            a += kPi;
        else if (cy < 0)
            a += static_cast<double>(kTwoPiSingle);
    }
    // The elevation in radians is held in the single-precision field before
    // it becomes degrees.
    const float e = static_cast<float>(std::atan(z / static_cast<double>(h)));
    work.azimuth = WholeDegrees(a * 180 / kPi);
    work.elevation = static_cast<float>(WholeDegrees(static_cast<double>(e) * 180 / kPi));
}

void AnglesToDirection(DirectionWork& work) {
    const double p = work.azimuth * kPi / 180;
    const double q = static_cast<double>(work.elevation) * kPi / 180;
    work.direction.x = std::cos(p);
    work.direction.y = std::sin(p);
    work.direction.z = std::tan(q);
}

}  // namespace ammonite

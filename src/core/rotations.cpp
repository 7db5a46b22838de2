#include "core/rotations.h"

#include <cmath>

namespace ammonite {

ViewPairs ViewPairsFromVector(double vx, double vy, double vz) {
    ViewPairs v;
    const double h = std::sqrt(vy * vy + vx * vx);
    const UnitTurn azimuth = UnitTurnOf(-vy, -vx, h);
    v.azimuthCos = azimuth.cos;
    v.azimuthSin = azimuth.sin;
    const double r = std::sqrt(vy * vy + vx * vx + vz * vz);
    const UnitTurn elevation = UnitTurnOf(vz, -h, r);
    v.elevationCos = elevation.cos;
    v.elevationSin = elevation.sin;
    return v;
}

void TurnAboutY(Vec3& p, double stepLength, double turnRateY) {
    double t = stepLength * turnRateY;
    double c = std::cos(t), s = std::sin(t);
    double x = p.x * c - p.z * s;
    double z = p.x * s + p.z * c;
    p.x = x;
    p.z = z;
}

void TurnAboutZ(Vec3& p, double stepLength, double turnRateZ) {
    double t = stepLength * turnRateZ;
    double c = std::cos(t), s = std::sin(t);
    double x = p.x * c - p.y * s;
    double y = p.y * c + p.x * s;
    p.x = x;
    p.y = y;
}

Vec3 ProjectShellPoint(Vec3 p, const ViewPairs& view, const OrientationTurn& turn) {
    ApplyViewRotation(p, view);
    p.x -= turn.shiftX;
    p.y -= turn.shiftY;
    ApplyOrientationRotation(p, turn.sin, turn.cos);
    return p;
}

}  // namespace ammonite

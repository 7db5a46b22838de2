#include "core/rotations.h"

#include <cmath>

namespace ammonite {

ViewPairs ViewPairsFromVector(double vx, double vy, double vz) {
    ViewPairs v;
    double h = std::sqrt(vy * vy + vx * vx);
    if (h == 0) {
        v.azimuthCos = 1;
        v.azimuthSin = 0;
    } else {
        v.azimuthCos = -vy / h;
        v.azimuthSin = -vx / h;
    }
    double r = std::sqrt(vy * vy + vx * vx + vz * vz);
    if (r == 0) {
        v.elevationCos = 1;
        v.elevationSin = 0;
    } else {
        v.elevationCos = vz / r;
        v.elevationSin = -h / r;
    }
    return v;
}

void ApplyViewRotation(Vec3& p, const ViewPairs& v) {
    const double a = v.azimuthSin, b = v.azimuthCos, q = v.elevationCos, s = v.elevationSin;
    double w = p.x * a + p.y * b;
    double x = p.x * b - p.y * a;
    double y = w * q - p.z * s;
    double z = w * s + p.z * q;
    p = {x, y, z};
}

void ToStageFrame(Vec3& p, const FramePairs& f) {
    double u = p.x * f.cosA - p.y * f.sinA;
    double x = u * f.cosB - p.z * f.sinB;
    double y = p.x * f.sinA + p.y * f.cosA;
    double z = u * f.sinB + p.z * f.cosB;
    p = {x, y, z};
}

void FromStageFrame(Vec3& p, const FramePairs& f) {
    double v = p.x * f.cosB + p.z * f.sinB;
    double x = v * f.cosA + p.y * f.sinA;
    double y = p.y * f.cosA - v * f.sinA;
    double z = p.z * f.cosB - p.x * f.sinB;
    p = {x, y, z};
}

void ToSectionAxis(Vec3& p, const SectionPair& s) {
    double x = p.x * s.cos - p.y * s.sin;
    double y = p.x * s.sin + p.y * s.cos;
    p.x = x;
    p.y = y;
}

void FromSectionAxis(Vec3& p, const SectionPair& s) {
    double x = p.x * s.cos + p.y * s.sin;
    double y = p.y * s.cos - p.x * s.sin;
    p.x = x;
    p.y = y;
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

void ApplyOrientationRotation(Vec3& p, double s, double c) {
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

// The in-place rotations that carry a point between model axes, the local
// frame of a growth stage and its cross-section, turn it within a growth
// step, and map it into view coordinates (x right, y up, z toward the eye).
#pragma once

#include <cmath>

namespace ammonite {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Vector arithmetic on model points, for the files that work with whole
// points rather than the engine's component tables (`using namespace vec3;`).
namespace vec3 {
inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 scaled(const Vec3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
}  // namespace vec3

// The cosine and sine of a turn given by two sides of a right triangle and
// its hypotenuse: (cosSide / length, sinSide / length). A zero length has no
// direction: the turn is none, (1, 0).
struct UnitTurn {
    double cos = 1, sin = 0;
};
inline UnitTurn UnitTurnOf(double cosSide, double sinSide, double length) {
    if (length == 0) return {};
    return {cosSide / length, sinSide / length};
}

// Direction values of the view, derived from viewVector by the run command.
struct ViewPairs {
    double azimuthSin = 0, azimuthCos = 1;      // a, b
    double elevationSin = 0, elevationCos = 1;  // p, q
};

// Tangent pairs of a stage frame.
struct FramePairs {
    double cosA = 1, sinA = 0, cosB = 1, sinB = 0;
};

// Reference direction of a cross-section in the stage frame.
struct SectionPair {
    double cos = 1, sin = 0;
};

// Life-orientation turn in the view plane and its pivot.
struct OrientationTurn {
    double sin = 0, cos = 1, shiftX = 0, shiftY = 0;
};

// View pairs from a view vector: h = |(VX, VY)|, r = |V|; zero lengths give
// the identity pairs.
ViewPairs ViewPairsFromVector(double vx, double vy, double vz);

// The turns applied to every point of every ring: defined here so that the
// loops that call them can inline them.
inline void ApplyViewRotation(Vec3& p, const ViewPairs& v) {
    const double a = v.azimuthSin, b = v.azimuthCos, q = v.elevationCos, s = v.elevationSin;
    double w = p.x * a + p.y * b;
    double x = p.x * b - p.y * a;
    double y = w * q - p.z * s;
    double z = w * s + p.z * q;
    p = {x, y, z};
}

inline void ToStageFrame(Vec3& p, const FramePairs& f) {
    double u = p.x * f.cosA - p.y * f.sinA;
    double x = u * f.cosB - p.z * f.sinB;
    double y = p.x * f.sinA + p.y * f.cosA;
    double z = u * f.sinB + p.z * f.cosB;
    p = {x, y, z};
}

inline void FromStageFrame(Vec3& p, const FramePairs& f) {
    double v = p.x * f.cosB + p.z * f.sinB;
    double x = v * f.cosA + p.y * f.sinA;
    double y = p.y * f.cosA - v * f.sinA;
    double z = p.z * f.cosB - p.x * f.sinB;
    p = {x, y, z};
}

inline void ToSectionAxis(Vec3& p, const SectionPair& s) {
    double x = p.x * s.cos - p.y * s.sin;
    double y = p.x * s.sin + p.y * s.cos;
    p.x = x;
    p.y = y;
}

inline void FromSectionAxis(Vec3& p, const SectionPair& s) {
    double x = p.x * s.cos + p.y * s.sin;
    double y = p.y * s.cos - p.x * s.sin;
    p.x = x;
    p.y = y;
}

inline void ApplyOrientationRotation(Vec3& p, double s, double c) {
    double x = p.x * c - p.y * s;
    double y = p.y * c + p.x * s;
    p.x = x;
    p.y = y;
}

// Turns about the y axis by θ = step × curvature.
void TurnAboutY(Vec3& p, double stepLength, double turnRateY);
// Turns about the z axis by φ = step × torsion.
void TurnAboutZ(Vec3& p, double stepLength, double turnRateZ);

// Surface position of a point already in (turned) view coordinates:
// (originX + drawScale·x, originY − drawScale·y).
struct SurfacePoint {
    double x = 0, y = 0;
};

// Projects a shell point: view rotation, orientation shift, orientation turn.
Vec3 ProjectShellPoint(Vec3 modelPoint, const ViewPairs& view, const OrientationTurn& turn);

}  // namespace ammonite

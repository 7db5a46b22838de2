// The in-place rotations that carry a point between model axes, the local
// frame of a growth stage and its cross-section, turn it within a growth
// step, and map it into view coordinates (x right, y up, z toward the eye).
#pragma once


namespace ammonite {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

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

void ApplyViewRotation(Vec3& p, const ViewPairs& v);
void ToStageFrame(Vec3& p, const FramePairs& f);
void FromStageFrame(Vec3& p, const FramePairs& f);
void ToSectionAxis(Vec3& p, const SectionPair& s);
void FromSectionAxis(Vec3& p, const SectionPair& s);
// Turns about the y axis by θ = step × curvature.
void TurnAboutY(Vec3& p, double stepLength, double turnRateY);
// Turns about the z axis by φ = step × torsion.
void TurnAboutZ(Vec3& p, double stepLength, double turnRateZ);
void ApplyOrientationRotation(Vec3& p, double orientationSin, double orientationCos);

// Surface position of a point already in (turned) view coordinates:
// (originX + drawScale·x, originY − drawScale·y).
struct SurfacePoint {
    double x = 0, y = 0;
};

// Projects a shell point: view rotation, orientation shift, orientation turn.
Vec3 ProjectShellPoint(Vec3 modelPoint, const ViewPairs& view, const OrientationTurn& turn);

}  // namespace ammonite

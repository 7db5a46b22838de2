#include <gtest/gtest.h>

#include <cmath>

#include "core/rotations.h"

using namespace ammonite;

namespace {
void expectNear(const Vec3& a, const Vec3& b, double tol = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}
FramePairs frameFor(Vec3 t) {
    double h = std::sqrt(t.x * t.x + t.y * t.y), n = std::sqrt(t.x * t.x + t.y * t.y + t.z * t.z);
    return {t.x / h, -t.y / h, t.z / n, h / n};
}
}  // namespace

TEST(Rotations, StageFrameAndSectionRoundTrips) {
    FramePairs f = frameFor({0.3, -0.4, 0.8});
    Vec3 p{1.5, -2.25, 3.125};
    Vec3 q = p;
    ToStageFrame(q, f);
    FromStageFrame(q, f);
    expectNear(q, p);
    SectionPair s{0.6, -0.8};
    q = p;
    ToSectionAxis(q, s);
    FromSectionAxis(q, s);
    expectNear(q, p);
}

TEST(Rotations, StageFrameCarriesTheTangentOntoZ) {
    Vec3 t{0.3, -0.4, 0.8};
    FramePairs f = frameFor(t);
    Vec3 q = t;
    ToStageFrame(q, f);
    expectNear(q, {0, 0, std::sqrt(0.89)});
}

TEST(Rotations, DefaultViewProjection) {
    ViewPairs v = ViewPairsFromVector(0, 1, 0);
    Vec3 x{20, 0, 0}, z{0, 0, 20}, y{0, 20, 0};
    ApplyViewRotation(x, v);
    ApplyViewRotation(z, v);
    ApplyViewRotation(y, v);
    expectNear(x, {-20, 0, 0});
    expectNear(z, {0, 20, 0});
    EXPECT_NEAR(y.z, 20, 1e-12);  // depth is the model y
}

TEST(Rotations, ZeroAndVerticalViewsArePlan) {
    for (ViewPairs v : {ViewPairsFromVector(0, 0, 0), ViewPairsFromVector(0, 0, 1)}) {
        Vec3 p{1, 2, 3};
        ApplyViewRotation(p, v);
        expectNear(p, {1, 2, 3});
    }
}

TEST(Rotations, DepthIsTheDotProductWithTheUnitView) {
    ViewPairs v = ViewPairsFromVector(1, 2, 2);
    Vec3 p{3, -1, 4};
    ApplyViewRotation(p, v);
    EXPECT_NEAR(p.z, (3 * 1 - 1 * 2 + 4 * 2) / 3.0, 1e-12);
}

TEST(Rotations, TurnsAndOrientation) {
    Vec3 p{1, 0, 0};
    TurnAboutY(p, 0.5, M_PI);  // θ = π/2
    expectNear(p, {0, 0, 1});
    p = {1, 0, 0};
    TurnAboutZ(p, 1, M_PI / 2);
    expectNear(p, {0, 1, 0});
    p = {1, 2, 3};
    ApplyOrientationRotation(p, 0, 1);
    expectNear(p, {1, 2, 3});
    OrientationTurn off;
    Vec3 q = ProjectShellPoint({1, 2, 3}, ViewPairsFromVector(0, 0, 1), off);
    expectNear(q, {1, 2, 3});
    ApplyOrientationRotation(p, 1, 0);  // quarter turn
    expectNear(p, {-2, 1, 3});
}

TEST(Rotations, UnitTurnOfTwoSidesAndWithoutALength) {
    const UnitTurn t = UnitTurnOf(3, -4, 5);
    EXPECT_EQ(t.cos, 0.6);
    EXPECT_EQ(t.sin, -0.8);
    // No length, no direction: no turn rather than a division by zero.
    const UnitTurn none = UnitTurnOf(0, 0, 0);
    EXPECT_EQ(none.cos, 1);
    EXPECT_EQ(none.sin, 0);
    // The view pairs of a vertical view keep the azimuth unturned that way.
    const ViewPairs up = ViewPairsFromVector(0, 0, 2);
    EXPECT_EQ(up.azimuthCos, 1);
    EXPECT_EQ(up.azimuthSin, 0);
    EXPECT_EQ(up.elevationCos, 1);
    EXPECT_EQ(up.elevationSin, -0.0);
}

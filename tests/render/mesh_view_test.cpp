// The software view of the shell mesh: depth order whatever the triangle
// order, faces turned away left out, the two chamber colours, the plane and
// the centre markers where the camera puts them, the world's up on screen.
#include <gtest/gtest.h>

#include <cmath>

#include "render/mesh_view.h"

using namespace ammonite;

namespace {

constexpr int kW = 200, kH = 150;

// A square in the plane z = `z` (model units), facing +z, in one chamber.
void addSquare(ViewMesh& m, double half, double z, int part, bool facingAway = false) {
    const auto first = static_cast<std::uint32_t>(m.part.size());
    const double c[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
    for (const auto& p : c) {
        m.xyz.insert(m.xyz.end(), {float(p[0]), float(p[1]), float(z)});
        m.normals.insert(m.normals.end(), {0.f, 0.f, facingAway ? -1.f : 1.f});
        m.part.push_back(static_cast<std::uint8_t>(part));
    }
    const std::uint32_t a = first, b = first + 1, cc = first + 2, d = first + 3;
    if (facingAway)
        m.triangles.insert(m.triangles.end(), {a, cc, b, a, d, cc});
    else
        m.triangles.insert(m.triangles.end(), {a, b, cc, a, cc, d});
    m.radius = std::max(m.radius, half * std::sqrt(2.0));
}

// Looking along −z of the model (front view with the model's y up).
struct Front {
    OrbitCamera camera;
    MeshScene scene;
    MeshViewScratch scratch;
    RasterSurface target{kW, kH};
    Front() {
        camera.yaw = 0;
        camera.pitch = 0;
        camera.distance = 10;
        scene.frame = FrameWithUp({0, 1, 0});
        scene.plane = false;
    }
    long render(const ViewMesh& m) { return RenderMeshView(*target.pixelBuffer(), m, camera, scene, scratch); }
    Rgb centre() const { return target.rgbAt(kW / 2, kH / 2); }
};

// Which chamber colour a lit pixel carries (by the ratio of red to blue).
int chamberOf(Rgb c) {
    const double ratio = (c.r + 1.0) / (c.b + 1.0);
    if (ratio > 2.0) return 1;   // body chamber: 196/78
    if (ratio > 1.1) return 0;   // phragmocone: 226/178
    return -1;                   // background or plane: bluish
}

}  // namespace

TEST(MeshView, NearerFacesHideFartherOnesInEitherOrderAndBackFacesAreLeftOut) {
    for (bool nearFirst : {false, true}) {
        ViewMesh m;
        if (nearFirst) addSquare(m, 0.5, 1, 1);
        addSquare(m, 2, 0, 0);
        if (!nearFirst) addSquare(m, 0.5, 1, 1);
        Front f;
        EXPECT_EQ(f.render(m), 4);
        EXPECT_EQ(chamberOf(f.centre()), 1) << "near square drawn first: " << nearFirst;
        // Beside the small square the large one shows.
        EXPECT_EQ(chamberOf(f.target.rgbAt(kW / 2 + 25, kH / 2)), 0);
    }
    // A square turned away from the camera is not drawn: the sky shows.
    ViewMesh away;
    addSquare(away, 2, 0, 0, true);
    Front f;
    EXPECT_EQ(f.render(away), 0);
    EXPECT_EQ(chamberOf(f.centre()), -1);
    // Seen from behind it is.
    f.camera.yaw = 3.14159265358979;
    EXPECT_EQ(f.render(away), 2);
    EXPECT_EQ(chamberOf(f.centre()), 0);
}

TEST(MeshView, WorldUpIsScreenUpAndTheCentresAreMarkedOverTheShell) {
    ViewMesh m;
    addSquare(m, 2, 0, 0);
    Front f;
    // Up is the model's x axis: a point along +x lies straight above the pivot.
    f.scene.frame = FrameWithUp({3, 0, 0});
    const ScreenPoint pivot = ProjectToScreen({0, 0, 0}, f.camera, f.scene, kW, kH);
    const ScreenPoint above = ProjectToScreen({1, 0, 0}, f.camera, f.scene, kW, kH);
    EXPECT_TRUE(pivot.inFront && above.inFront);
    EXPECT_NEAR(above.x, pivot.x, 1e-9);
    EXPECT_LT(above.y, pivot.y - 5);
    // The markers sit on the shell (over it) at the projected centres.
    f.scene.centres = true;
    f.scene.buoyancyCentre = {1, 0, -0.5};
    f.scene.massCentre = {-1, 0, -0.5};
    f.render(m);
    const ScreenPoint b = ProjectToScreen(f.scene.buoyancyCentre, f.camera, f.scene, kW, kH);
    const ScreenPoint g = ProjectToScreen(f.scene.massCentre, f.camera, f.scene, kW, kH);
    EXPECT_LT(b.y, g.y);  // buoyancy above mass
    EXPECT_EQ(f.target.rgbAt(int(b.x), int(b.y)), paletteColour(11));
    EXPECT_EQ(f.target.rgbAt(int(g.x), int(g.y)), paletteColour(13));
    EXPECT_EQ(f.target.rgbAt(int(std::lround(b.x)), int(std::lround((b.y + g.y) / 2))), Rgb(30, 30, 30));  // the lever between them
}

TEST(MeshView, HorizontalPlaneTintsWhatLiesBehindItOnly) {
    // Seen from a little above: the plane through the pivot covers the
    // lower half of the picture's middle; a square standing in front of it
    // keeps its colour.
    ViewMesh m;
    addSquare(m, 1, 2, 1);
    Front bare, withPlane;
    for (Front* f : {&bare, &withPlane}) {
        f->camera.pitch = 0.4;
        f->scene.plane = f == &withPlane;
        f->scene.planeRadius = 4;
        f->render(m);
    }
    EXPECT_EQ(bare.centre(), withPlane.centre());  // the square, in front of the plane
    const int x = 40, y = kH / 2 + 10;              // sky seen through the plane
    EXPECT_EQ(chamberOf(bare.target.rgbAt(x, y)), -1);
    EXPECT_NE(bare.target.rgbAt(x, y), withPlane.target.rgbAt(x, y));
    EXPECT_EQ(bare.target.rgbAt(x, 5), withPlane.target.rgbAt(x, 5));  // above the horizon: no plane
}

TEST(MeshView, MeshOfAShellMergesBothChambersWithUnitNormals) {
    ShellMesh shell;
    auto addTube = [](MeshObject& o, float z0) {
        // A closed triangular prism.
        for (float z : {z0, z0 + 1})
            for (int k = 0; k < 3; ++k)
                o.vertices.push_back({std::cos(k * 2.0944f), std::sin(k * 2.0944f), z});
        o.triangles = {{0, 2, 1}, {3, 4, 5}, {0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}, {2, 0, 3}, {2, 3, 5}};
    };
    addTube(shell.phragmocone, 0);
    addTube(shell.bodyChamber, 1);
    ViewMesh m;
    MakeViewMesh(shell, m);
    ASSERT_EQ(m.part.size(), 12u);
    EXPECT_EQ(m.triangleCount(), 16u);
    EXPECT_EQ(m.part[0], 0);
    EXPECT_EQ(m.part[11], 1);
    EXPECT_EQ(m.triangles[24], 6u);  // the body chamber's triangles point at its own vertices
    for (size_t v = 0; v < m.part.size(); ++v) {
        const float* n = &m.normals[3 * v];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1, 1e-5);
        // Outward: away from the prism's axis, and down at the bottom end.
        const float* p = &m.xyz[3 * v];
        EXPECT_GT(n[0] * p[0] + n[1] * p[1], 0);
    }
    EXPECT_NEAR(m.centre.x, 0.25, 1e-5);
    EXPECT_NEAR(m.centre.z, 1, 1e-6);
    EXPECT_NEAR(m.radius, std::sqrt(0.75 * 0.75 + 0.75 + 1), 1e-5);
}

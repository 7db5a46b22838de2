// The shaded picture painted straight into pixels against the reference
// painting of every line through DrawingSurface::line.
#include <gtest/gtest.h>

#include <memory>

#include "render/shading.h"
#include "support/shading_test_shell.h"

using namespace ammonite;

namespace {

// A raster surface that hides its pixels, so the shading paints it line by line.
class LineByLineSurface : public RasterSurface {
public:
    using RasterSurface::RasterSurface;
    PixelBuffer* pixelBuffer() override { return nullptr; }
};

struct Scene {
    ModelState model;
    std::unique_ptr<RunState> run = std::make_unique<RunState>();
};

struct SceneSetup {
    testshell::TubeShape shape;
    double scale = 4, originX = 200, originY = 150;
    std::vector<int> ribs;
    int ribbing = 1;
    OrientationTurn turn{0, 1, 0, 0};
    Vec3 view{0, 1, 0};
};

void Make(Scene& s, const SceneSetup& setup) {
    testshell::DefaultSettings(s.model, *s.run, setup.scale, setup.originX, setup.originY);
    s.run->view = ViewPairsFromVector(setup.view.x, setup.view.y, setup.view.z);
    s.model.ribbingOn = static_cast<std::int16_t>(setup.ribbing);
    s.model.orientationSin = setup.turn.sin;
    s.model.orientationCos = setup.turn.cos;
    s.model.orientationShiftX = setup.turn.shiftX;
    s.model.orientationShiftY = setup.turn.shiftY;
    for (int r : setup.ribs) testshell::LayRibs(*s.run, {r});
    testshell::Build(s.model, *s.run, setup.shape);
}

// Paints the scene both ways and compares the pictures and the surface state
// the command leaves behind.
void ExpectSamePicture(const SceneSetup& setup, int width, int height) {
    Scene fastScene, refScene;
    Make(fastScene, setup);
    Make(refScene, setup);
    RasterSurface fast(width, height);
    LineByLineSurface reference(width, height);
    ASSERT_NE(fast.pixelBuffer(), nullptr);
    ShadeRun(fast, fastScene.model, *fastScene.run);
    ShadeRun(reference, refScene.model, *refScene.run);

    long painted = 0, differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (reference.pixel(x, y) != 0xFFFFFFFFu) ++painted;
            if (fast.pixel(x, y) != reference.pixel(x, y)) ++differing;
        }
    EXPECT_GT(painted, width * height / 20) << "the shell should cover a good part of the picture";
    // The same pixels; a tiny tolerance leaves room for nothing but rounding.
    EXPECT_LE(differing, painted / 10000) << differing << " of " << painted << " pixels differ";
    EXPECT_EQ(fast.drawWidth(), 1);
    EXPECT_EQ(fast.fillColour(), reference.fillColour());
    EXPECT_EQ(fast.currentX(), reference.currentX());
    EXPECT_EQ(fast.currentY(), reference.currentY());
}

}  // namespace

TEST(ShadedPicture, RibbedCoilMatchesLineByLinePaintingAlsoAcrossTheEdges) {
    SceneSetup setup;
    setup.shape = {140, 1.012, 0.25, 0.35, 0.05};
    setup.ribs = {30, 36, 41, 80, 100};
    setup.originX = 150;  // the coil runs off the left and bottom edges
    setup.originY = 260;
    setup.scale = 7;
    ExpectSamePicture(setup, 320, 280);
}

TEST(ShadedPicture, LongShellWithSecondPassLimitAndLifeTurnMatches) {
    // More stages than the second pass repaints, so its last strip is drawn
    // with width 1, and the nearer strips are covered again by farther ones.
    SceneSetup setup;
    setup.shape = {1100, 1.0015, 0.12, 0.08, 0.01};
    setup.ribs = {250, 300, 420, 421 + 5, 700, 1050};
    setup.scale = 3;
    setup.turn = {0.6, 0.8, 1.5, -2.0};
    setup.view = {1, 1, 0.5};
    ExpectSamePicture(setup, 400, 300);
}

TEST(ShadedPicture, RibbingOffPaintsStripsTwiceAndNoGrowthLine) {
    for (int ribbing : {0, 1}) {
        Scene s;
        SceneSetup setup;
        setup.shape = {90, 1.01, 0.25, 0.3, 0.0};
        setup.ribs = {40, 60};
        setup.ribbing = ribbing;
        Make(s, setup);
        RecordingSurface surface(400, 300);
        ShadeRun(surface, s.model, *s.run);
        std::vector<const RecordingSurface::Op*> strips, growth;
        for (const auto& op : surface.ops) {
            if (op.kind != RecordingSurface::Op::Line) continue;
            (op.width == 2 ? strips : growth).push_back(&op);
        }
        ASSERT_FALSE(strips.empty());
        // Below 1075 stages the second pass repeats every strip in the same order.
        ASSERT_EQ(strips.size() % 2, 0u);
        const size_t half = strips.size() / 2;
        for (size_t i = 0; i < half; i += 97) {
            EXPECT_EQ(strips[i]->x1, strips[half + i]->x1);
            EXPECT_EQ(strips[i]->colour, strips[half + i]->colour);
        }
        if (ribbing == 0) {
            EXPECT_TRUE(growth.empty());
        } else {
            ASSERT_FALSE(growth.empty());
            // Growth lines are darker than the faces: 45 + 190 s², 15 + 150 s², 5 + 70 s².
            for (const auto* op : growth) {
                const double s2 = (op->colour.r - 45) / 190.0;
                EXPECT_NEAR(op->colour.g, 15 + 150 * s2, 1.0);
                EXPECT_NEAR(op->colour.b, 5 + 70 * s2, 1.0);
            }
        }
    }
}


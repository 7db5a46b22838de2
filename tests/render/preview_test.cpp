#include <gtest/gtest.h>

#include "render/preview.h"

using namespace ammonite;
using Op = RecordingSurface::Op;

namespace {

ModelState defaults() {
    ModelState m;
    m.viewVector = {0, 1, 0};
    m.lightVector = {1, 0, 1};
    m.originX = 500;
    m.originY = 650;
    m.drawScale = 2;
    return m;
}

struct Drawn {
    RecordingSurface surface{800, 600};
    PreviewFields fields;
    Vec3F4 work;
    std::vector<Op> lines() const {
        std::vector<Op> out;
        for (const Op& op : surface.ops)
            if (op.kind == Op::Line) out.push_back(op);
        return out;
    }
    const Op* text(const std::string& t) const {
        for (const Op& op : surface.ops)
            if (op.kind == Op::Text && op.text == t) return &op;
        return nullptr;
    }
};

Drawn draw(const ModelState& m, bool frame) {
    Drawn d;
    DrawPreview(d.surface, m, frame, d.work, d.fields);
    return d;
}

void expectLine(const Op& op, double x1, double y1, double x2, double y2, Rgb colour) {
    EXPECT_NEAR(op.x1, x1, 1e-3);
    EXPECT_NEAR(op.y1, y1, 1e-3);
    EXPECT_NEAR(op.x2, x2, 1e-3);
    EXPECT_NEAR(op.y2, y2, 1e-3);
    EXPECT_EQ(op.colour, colour);
}

}  // namespace

TEST(Preview, DefaultsInScreenMode) {
    Drawn d = draw(defaults(), false);
    ASSERT_FALSE(d.surface.ops.empty());
    EXPECT_EQ(d.surface.ops[0].kind, Op::Clear);
    EXPECT_EQ(d.surface.ops[0].colour, kPreviewBackground);
    auto lines = d.lines();
    ASSERT_EQ(lines.size(), 4u);
    expectLine(lines[0], 600, 650, 400, 650, kPreviewAxes);  // x to the left
    expectLine(lines[1], 500, 650, 500, 650, kPreviewAxes);  // y towards the viewer
    expectLine(lines[2], 500, 650, 500, 550, kPreviewAxes);  // z up
    expectLine(lines[3], 500, 650, 570.71, 650, kPreviewLightFront);

    // The dot and the labels at the positive ends, with their blanks.
    const Op* dot = nullptr;
    for (const Op& op : d.surface.ops)
        if (op.kind == Op::Circle) dot = &op;
    ASSERT_TRUE(dot);
    EXPECT_DOUBLE_EQ(dot->x1, 400);
    EXPECT_DOUBLE_EQ(dot->y1, 650);
    EXPECT_DOUBLE_EQ(dot->x2, 1);  // radius
    EXPECT_EQ(dot->colour, kPreviewAxes);
    ASSERT_TRUE(d.text("x") && d.text("y") && d.text(" z") && d.text(" L"));
    EXPECT_DOUBLE_EQ(d.text("x")->x1, 400);
    EXPECT_DOUBLE_EQ(d.text(" z")->x1, 500);
    EXPECT_DOUBLE_EQ(d.text(" z")->y1, 550);
    EXPECT_NEAR(d.text(" L")->x1, 570.71, 1e-3);
    EXPECT_EQ(d.text(" L")->colour, kPreviewText);
}

TEST(Preview, DefaultsInFrameMode) {
    Drawn d = draw(defaults(), true);
    auto lines = d.lines();
    ASSERT_EQ(lines.size(), 7u);
    // Light tip turned with the view; depth 0 counts as the viewer's side.
    expectLine(lines[3], 500, 650, 429.29, 579.29, kPreviewLightFront);
    EXPECT_EQ(d.fields.rotatedLight.z, 0.0f);
    expectLine(lines[4], 429.29, 579.29, 429.29, 650, kPreviewDropLine);
    expectLine(lines[5], 429.29, 650, 500, 650, kPreviewDropLine);
    expectLine(lines[6], 500, 650, 429.29, 579.29, kPreviewLightFront);  // again, on top
}

TEST(Preview, FrameModeTipUsesTheSinglePrecisionTurnedLight) {
    // The turned light is kept in single precision: -0.0007 is held as
    // -0.000699999975, so 50 × 1.01 × rx is -0.0353499987 and rounds to
    // -0.0353, where the four-decimal -0.0007 would give the tie -0.03535
    // and round to -0.0354.
    ModelState m = defaults();
    m.drawScale = 1.01;
    m.lightVector = {0.0007, 1, 0};
    Drawn d = draw(m, true);
    EXPECT_EQ(d.fields.rotatedLight.x, -0.0007f);
    auto lines = d.lines();
    ASSERT_EQ(lines.size(), 7u);
    // The light line of the screen form: 50 × (x × s), x × s = -0.000707 → -0.0007.
    EXPECT_EQ(lines[3].x2, static_cast<double>(499.965f));
    // The tip: start of the drop line and end of the light line drawn again.
    EXPECT_EQ(lines[4].x1, static_cast<double>(499.9647f));
    EXPECT_EQ(lines[4].y1, 650.0);
    EXPECT_EQ(lines[4].x2, static_cast<double>(499.965f));  // the foot
    EXPECT_EQ(lines[6].x2, static_cast<double>(499.9647f));
    EXPECT_EQ(lines[6].colour, kPreviewLightFront);
}

TEST(Preview, MovedOriginAndViewFromAbove) {
    ModelState m = defaults();
    m.originX = 400;
    m.originY = 300;
    auto lines = draw(m, false).lines();
    expectLine(lines[0], 500, 300, 300, 300, kPreviewAxes);
    expectLine(lines[2], 400, 300, 400, 200, kPreviewAxes);

    m.viewVector = {0, 0, 1};  // looking straight down: x right, y up
    Drawn d = draw(m, false);
    EXPECT_EQ(d.fields.azimuthCos, 1);
    EXPECT_EQ(d.fields.azimuthSin, 0);
    EXPECT_EQ(d.fields.elevationCos, 1);
    EXPECT_EQ(d.fields.elevationSin, 0);
    lines = d.lines();
    expectLine(lines[0], 300, 300, 500, 300, kPreviewAxes);
    expectLine(lines[1], 400, 400, 400, 200, kPreviewAxes);
    expectLine(lines[2], 400, 300, 400, 300, kPreviewAxes);  // z collapses

    m.viewVector = {0, 0, 0};  // no view direction: the same identity
    lines = draw(m, false).lines();
    expectLine(lines[0], 300, 300, 500, 300, kPreviewAxes);
}

TEST(Preview, LightFromBehindIsOliveAndLiesUnderTheRedLinesInFrameMode) {
    ModelState m = defaults();
    m.lightVector = {0, 0, -1};
    auto lines = draw(m, false).lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].colour, kPreviewLightBehind);

    // In frame mode with the default view, a light along -y points away.
    m.lightVector = {0, -1, 0};
    Drawn d = draw(m, true);
    EXPECT_LT(d.fields.rotatedLight.z, 0.0f);
    lines = d.lines();
    ASSERT_EQ(lines.size(), 6u);  // no redraw over the red lines
    EXPECT_EQ(lines[3].colour, kPreviewLightBehind);
    EXPECT_EQ(lines[5].colour, kPreviewDropLine);
}

TEST(Preview, ZeroLightDrawsTheAxesOnly) {
    ModelState m = defaults();
    m.lightVector = {0, 0, 0};
    for (bool frame : {false, true}) {
        Drawn d = draw(m, frame);
        EXPECT_EQ(d.lines().size(), 3u);
        EXPECT_FALSE(d.text(" L"));
        EXPECT_TRUE(d.text(" z"));
    }
}

TEST(Preview, PixelsOnARaster) {
    // Default origin lies below the picture: only the z axis shows.
    RasterSurface s(800, 600);
    ModelState m = defaults();
    PreviewFields f;
    Vec3F4 work;
    DrawPreview(s, m, false, work, f);
    EXPECT_EQ(s.rgbAt(500, 580), kPreviewAxes);
    EXPECT_EQ(s.rgbAt(500, 540), kPreviewBackground);
    EXPECT_EQ(s.rgbAt(450, 599), kPreviewBackground);
    // Frame mode: the upper end of the light line is visible.
    DrawPreview(s, m, true, work, f);
    EXPECT_EQ(s.rgbAt(440, 590), kPreviewLightFront);
}

// SHADE in the real main window: before any run it only says so; after the
// default START (twice, for the life orientation) it replaces the wireframe
// with the shaded, ribbed tube.
#include <gtest/gtest.h>

#include "window_grabs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/main_window.h"

using namespace ammonite;

namespace {

using ui_test::saveGrab;

// Pixels in the colours of lit faces (65 + 190 s², 35 + 150 s², 25 + 70 s²)
// and of growth lines (the same, 20 darker).
void countShades(const QImage& img, long& faces, long& growthLines) {
    faces = growthLines = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            if (r == 255 && g == 255 && b == 255) continue;
            for (int base : {65, 45}) {
                const double s2 = (r - base) / 190.0;
                if (s2 < -0.003 || s2 > 1.003) continue;
                if (std::abs(g - (base - 30 + 150 * s2)) <= 1 && std::abs(b - (base - 40 + 70 * s2)) <= 1)
                    ++(base == 65 ? faces : growthLines);
            }
        }
}

}  // namespace

TEST(MainWindowShade, BeforeAnyRunOnlySaysSo) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* shade = w.findChild<QPushButton*>("SHADINGcmd");
    auto* status = w.findChild<QLabel*>("statusLine");
    ASSERT_TRUE(shade && status);
    const QImage before = w.surface().image().copy();
    QTest::mouseClick(shade, Qt::LeftButton);
    EXPECT_FALSE(status->text().isEmpty());
    EXPECT_EQ(w.surface().image(), before);
    // The window stays usable: a run, then SHADE works.
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_EQ(status->text(), "");
    QTest::mouseClick(shade, Qt::LeftButton);
    EXPECT_EQ(status->text(), "");
}

TEST(MainWindowShade, DefaultShellInLifeOrientationIsShaded) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* start = w.findChild<QPushButton*>("STARTcmd");
    auto* shade = w.findChild<QPushButton*>("SHADINGcmd");
    auto* status = w.findChild<QLabel*>("statusLine");
    ASSERT_TRUE(start && shade && status);
    QTest::mouseClick(start, Qt::LeftButton);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_EQ(status->text(), "");
    QTest::mouseClick(shade, Qt::LeftButton);
    EXPECT_EQ(status->text(), "");

    const QImage& img = w.surface().image();
    long faces = 0, growthLines = 0, cyan = 0;
    countShades(img, faces, growthLines);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == 0x008080) ++cyan;
    EXPECT_GT(faces, 30000);        // a tube of a good size
    EXPECT_GT(growthLines, 1000);   // fine lines between the ribs
    EXPECT_EQ(cyan, 0);             // the wireframe is gone
    // The light became a unit vector.
    EXPECT_EQ(model->lightVector.x.raw(), 7071);
    EXPECT_EQ(model->lightVector.z.raw(), 7071);
    saveGrab(w, "shaded.png");
}

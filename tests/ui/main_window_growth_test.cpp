// START in the real main window: the wireframe on the surface, the result
// labels and the regulation log; a runtime error shown in the status line.
#include <gtest/gtest.h>

#include "window_grabs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "ui/main_window.h"

using namespace ammonite;

namespace {

using ui_test::saveGrab;

long countPixels(const QImage& img, QRgb colour) {
    long n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

// Screenshots for the documentation, when a folder is given.
}  // namespace

TEST(MainWindowGrowth, StartDrawsTheWireframeAndShowsTheResults) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* start = w.findChild<QPushButton*>("STARTcmd");
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    auto* ptr = w.findChild<QLineEdit*>("PTRtxt");
    auto* ori = w.findChild<QLabel*>("ORIlbl");
    auto* dns = w.findChild<QLabel*>("DNSlbl");
    auto* status = w.findChild<QLabel*>("statusLine");
    ASSERT_TRUE(start && num && ptr && ori && dns && status);

    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(num->text(), "1699");
    EXPECT_EQ(ori->text().toStdString(), w.logic().ORIlbl.caption());
    EXPECT_FALSE(ori->text().isEmpty());
    EXPECT_TRUE(ori->text().toDouble() > -180 && ori->text().toDouble() < 180);
    const double density = dns->text().toDouble();
    EXPECT_GT(density, 0.6);
    EXPECT_LT(density, 1.3);
    EXPECT_NE(ptr->text(), "60");

    // The rings in dark cyan, each closed in light red; the chart's dots.
    const QImage& img = w.surface().image();
    EXPECT_GT(countPixels(img, qRgb(0, 128, 128)), 20000);
    EXPECT_GT(countPixels(img, qRgb(250, 100, 100)), 500);
    EXPECT_GT(countPixels(img, qRgb(200, 100, 100)), 50);
    // The start of the shell (stage 1 around the origin) is drawn.
    EXPECT_NE(img.pixel(498, 650) & 0xFFFFFF, 0xFFFFFFu);

    // The regulation log in PBX: header, empty line, clocks, one line per
    // regulated stage (stages 201 to 1700).
    auto* pbx = w.findChild<QPlainTextEdit*>("PBX");
    ASSERT_TRUE(pbx);
    const QStringList lines = pbx->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3 + 1500);
    EXPECT_EQ(lines[0], QString::fromUtf8("疲労　定刻　肋"));
    EXPECT_EQ(lines[1], "");
    saveGrab(w, "wireframe_first.png");

    // The second START draws the shell in its life orientation.
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(num->text(), "1698");
    EXPECT_GT(countPixels(img, qRgb(0, 128, 128)), 20000);
    saveGrab(w, "wireframe.png");
}

TEST(MainWindowGrowth, ThresholdBarBeforeTheFirstRunShowsAnErrorAndTheWindowStaysUsable) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* ft1 = w.findChild<QScrollBar*>("FT1vsc");
    auto* ft1lbl = w.findChild<QLabel*>("FT1lbl");
    auto* status = w.findChild<QLabel*>("statusLine");
    ASSERT_TRUE(ft1 && ft1lbl && status);
    // Before the first run the bar says what to do, and its label follows it.
    ft1->setValue(-40);
    EXPECT_EQ(status->text(), "The fatigue threshold at the smaller size is 0.4; press START first to see the chart");
    EXPECT_EQ(ft1lbl->text(), "0.4");
    EXPECT_FALSE(status->styleSheet().contains("160, 0, 0"));  // not an error

    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_EQ(status->text(), "");
    ft1->setValue(-50);
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(ft1lbl->text(), "0.5");
    // Only the chart is left: no ring colour on the surface.
    EXPECT_EQ(countPixels(w.surface().image(), qRgb(0, 128, 128)), 0);
}

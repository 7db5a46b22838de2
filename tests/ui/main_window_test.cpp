#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ui/main_window.h"

using namespace ammonite;

TEST(MainWindowGui, StartDrawsTheAxesAndFillsTheStageBoxes) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Form1");
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    auto* max = w.findChild<QLineEdit*>("MAXtxt");
    ASSERT_TRUE(num && max);
    EXPECT_EQ(num->text(), "0");
    auto* start = w.findChild<QPushButton*>("STARTcmd");
    ASSERT_TRUE(start);
    // A one-stage shell stays within a few pixels of the origin, so the axes show.
    num->selectAll();
    QTest::keyClicks(num, "1");
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(max->text(), "3000");
    EXPECT_EQ(num->text(), "0");
    const QImage& img = w.surface().image();
    // z axis: olive, vertical through the origin (500, 650), up to 610.
    EXPECT_EQ(img.pixel(500, 632), qRgb(128, 128, 0));
    // x axis: dark red, horizontal through the origin, from 460 to 540.
    EXPECT_EQ(img.pixel(530, 650), qRgb(128, 0, 0));
    EXPECT_EQ(img.pixel(465, 650), qRgb(128, 0, 0));
}

TEST(MainWindowGui, TypingIntoTheStageBoxSetsTheModel) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->clear();
    QTest::keyClicks(num, "250");
    EXPECT_EQ(model->shownStage, 250);
    auto* scl = w.findChild<QLineEdit*>("SCLtxt");
    scl->selectAll();
    QTest::keyClicks(scl, "3");
    EXPECT_DOUBLE_EQ(model->drawScale, 3);
}

TEST(MainWindowGui, ClickOnTheSurfaceClearsIt) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->selectAll();
    QTest::keyClicks(num, "1");
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    ASSERT_EQ(w.surface().image().pixel(500, 632), qRgb(128, 128, 0));
    QTest::mouseClick(w.surfaceView(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(w.surface().image().pixel(500, 632), qRgb(255, 255, 255));
}

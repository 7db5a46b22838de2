#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "core/version.h"
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

TEST(MainWindowGui, AboutBoxNamesTheVersionWithoutBlockingTheWindow) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    // F1 with the focus in a text box: the box opens, typing still reaches the window.
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->setFocus();
    QTest::keyClick(num, Qt::Key_F1);
    QMessageBox* box = w.aboutBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->text(), QString("ammonite ") + kVersion);
    EXPECT_TRUE(box->informativeText().contains("MIT"));
    EXPECT_EQ(w.windowTitle(), "Form1");  // the window keeps its own title

    // Asked again, the same box comes forward.
    w.findChild<QAction*>("aboutAction")->trigger();
    EXPECT_EQ(w.aboutBox(), box);
    EXPECT_EQ(w.findChildren<QMessageBox*>().size(), 1);

    // OK closes it for good; the window's context menu offers it again.
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    for (int i = 0; i < 100 && w.aboutBox(); ++i) QTest::qWait(10);
    EXPECT_FALSE(w.aboutBox());
    emit w.customContextMenuRequested(QPoint(1100, 600));
    auto* menu = w.findChild<QMenu*>("windowMenu");
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    menu->actions().front()->trigger();
    menu->close();
    ASSERT_TRUE(w.aboutBox());
    EXPECT_EQ(w.aboutBox()->text(), QString("ammonite ") + kVersion);
}

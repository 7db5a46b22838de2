#include <gtest/gtest.h>

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include "ui/main_window.h"
#include "ui/settings_window.h"
#include "ui/surface_view.h"

using namespace ammonite;

namespace {

struct SettingsSession {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<MainWindow> main;
    SettingsSession() {
        main = std::make_unique<MainWindow>(*model);
        main->show();
    }
    SettingsWindow* openSettings() {
        QTest::mouseClick(main->findChild<QPushButton*>("SETcmd"), Qt::LeftButton);
        SettingsWindow* s = main->settingsWindow();
        if (s) {
            s->activateWindow();
            (void)QTest::qWaitForWindowActive(s);
            for (int i = 0; i < 50 && QApplication::activeWindow() != s; ++i) QTest::qWait(5);
        }
        return s;
    }
};

QLineEdit* edit(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(name); }
QScrollBar* scroll(QWidget* w, const char* name) { return w->findChild<QScrollBar*>(name); }

// Types into a box as a user does (select all, type) and tabs on.
void typeAndLeave(QWidget* window, const char* name, const char* text) {
    QLineEdit* e = edit(window, name);
    ASSERT_TRUE(e) << name;
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Tab);
}

}  // namespace

TEST(SettingsWindowGui, OpensWithTheDefaultsAndLeavesTheModelAlone) {
    SettingsSession s;
    ModelState before = *s.model;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Form1");
    EXPECT_EQ(w->size(), QSize(720, 406));
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(192, 255, 192));
    EXPECT_EQ(edit(w, "GItxt")->text(), " .05");
    EXPECT_EQ(edit(w, "SCLtxt")->text(), " 2");
    EXPECT_EQ(edit(w, "OXtxt")->text(), "500");
    EXPECT_EQ(edit(w, "OYtxt")->text(), "650");
    EXPECT_EQ(edit(w, "VYtxt")->text(), " 1");
    EXPECT_EQ(edit(w, "LXtxt")->text(), "1");
    EXPECT_EQ(edit(w, "LYtxt")->text(), "0");
    EXPECT_EQ(edit(w, "LZtxt")->text(), "1");
    EXPECT_EQ(edit(w, "DAtxt")->text(), " .6");
    EXPECT_EQ(edit(w, "DBtxt")->text(), " 1.3");
    EXPECT_EQ(scroll(w, "LIGHTvsc")->value(), -45);
    EXPECT_EQ(scroll(w, "VIEWhsc")->value(), 90);
    EXPECT_EQ(scroll(w, "ORIGINvsc")->value(), 650);
    EXPECT_EQ(w->findChild<QLabel*>("LLTlbl")->text(), "45");
    EXPECT_TRUE(w->findChild<QCheckBox*>("RIBcbx")->isChecked());
    EXPECT_TRUE(w->findChild<QRadioButton*>("INITIALopt")->isChecked());
    EXPECT_FALSE(w->findChild<QRadioButton*>("FRAMEopt")->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), edit(w, "GItxt"));
    // The keyboard focus order from GItxt on.
    const QStringList order = {"GItxt",     "SCLtxt",   "OXtxt",     "OYtxt",    "VXtxt",      "VYtxt",
                               "VZtxt",     "LXtxt",    "LYtxt",     "LZtxt",    "VIEWhsc",    "LIGHThsc",
                               "ORIGINhsc", "Conf",     "VIEWvsc",   "LIGHTvsc", "FRpct",      "ORIGINvsc",
                               "FRAMEopt",  "SCRNopt",  "INITIALopt", "FINALopt", "ORIENTcbx", "RIBcbx",
                               "DAtxt",     "DBtxt"};
    QStringList chain;
    QWidget* at = edit(w, "GItxt");
    do {
        if (order.contains(at->objectName()) && !chain.contains(at->objectName())) chain << at->objectName();
        at = at->nextInFocusChain();
    } while (at != edit(w, "GItxt") && chain.size() < order.size());
    EXPECT_EQ(chain, order);
    EXPECT_EQ(s.model->drawScale.raw(), before.drawScale.raw());
    EXPECT_EQ(s.model->lightVector.z.raw(), before.lightVector.z.raw());
    EXPECT_EQ(s.model->originY.raw(), before.originY.raw());
    EXPECT_EQ(s.model->growthIncrement, before.growthIncrement);

    // The preview: only the top of the z axis lies inside the picture.
    const QImage& img = w->previewSurface().image();
    const double sx = w->previewSurface().scaleX(), sy = w->previewSurface().scaleY();
    EXPECT_EQ(img.pixel(int(500 * sx + 0.5), int(580 * sy + 0.5)), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(5, 5), qRgb(0, 64, 64));

    if (qEnvironmentVariableIsSet("AMMONITE_SCREENSHOT_DIR")) {
        QString dir = qEnvironmentVariable("AMMONITE_SCREENSHOT_DIR");
        w->grab().save(dir + "/settings_window.png");
        typeAndLeave(w, "OXtxt", "400");
        typeAndLeave(w, "OYtxt", "300");
        w->findChild<QRadioButton*>("FRAMEopt")->click();
        edit(w, "GItxt")->setFocus();
        w->grab().save(dir + "/settings_window_sketch.png");
    }
}

TEST(SettingsWindowGui, TypingIntoRealBoxesAppliesTheLimits) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    typeAndLeave(w, "GItxt", "2");
    EXPECT_EQ(edit(w, "GItxt")->text(), " 1");
    EXPECT_EQ(s.model->growthIncrement, 1.0f);
    EXPECT_EQ(QApplication::focusWidget(), edit(w, "SCLtxt"));  // focus order

    // The typed value is in the model from the keystroke on.
    QLineEdit* ox = edit(w, "OXtxt");
    ox->setFocus();
    ox->selectAll();
    QTest::keyClicks(ox, "900");
    EXPECT_DOUBLE_EQ(s.model->originX, 900);
    QTest::keyClick(ox, Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(s.model->originX, 800);
    EXPECT_EQ(scroll(w, "ORIGINhsc")->value(), 800);
    EXPECT_EQ(ox->text(), "800");

    typeAndLeave(w, "DAtxt", "abc");
    EXPECT_EQ(edit(w, "DAtxt")->text(), "0.6");
    EXPECT_DOUBLE_EQ(s.model->densities[0], 0.6);

    edit(w, "VXtxt")->setFocus();
    edit(w, "VXtxt")->selectAll();
    QTest::keyClicks(edit(w, "VXtxt"), "1");
    typeAndLeave(w, "VYtxt", "1");
    typeAndLeave(w, "VZtxt", "0");
    EXPECT_EQ(scroll(w, "VIEWhsc")->value(), 45);
    EXPECT_EQ(edit(w, "VXtxt")->text(), "0.7071");
    EXPECT_EQ(w->findChild<QLabel*>("VLGlbl")->text(), "45");
    EXPECT_EQ(w->findChild<QLabel*>("statusLine")->text(), "");
}

TEST(SettingsWindowGui, MovingRealBarsRewritesTheBoxes) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    QScrollBar* viewV = scroll(w, "VIEWvsc");
    viewV->setValue(viewV->minimum());  // thumb at the top
    EXPECT_EQ(w->findChild<QLabel*>("VLTlbl")->text(), "90");
    EXPECT_EQ(edit(w, "VZtxt")->text(), "788898.1238");
    EXPECT_EQ(s.model->viewVector.z.raw(), 7888981238LL);

    QScrollBar* originH = scroll(w, "ORIGINhsc");
    originH->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(originH->value(), 450);
    EXPECT_EQ(edit(w, "OXtxt")->text(), "450");
    EXPECT_DOUBLE_EQ(s.model->originX, 450);
    originH->setValue(-600);
    EXPECT_DOUBLE_EQ(s.model->originX, -600);

    QScrollBar* lightH = scroll(w, "LIGHThsc");
    lightH->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w->findChild<QLabel*>("LLGlbl")->text(), "1");
    EXPECT_EQ(edit(w, "LXtxt")->text(), "0.9998");
}

TEST(SettingsWindowGui, SwitchesAndLifeOrientation) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    s.model->lifeViewVector = {0.6, 0, -0.8};
    auto* orient = w->findChild<QCheckBox*>("ORIENTcbx");
    QTest::mouseClick(orient, Qt::LeftButton);
    EXPECT_EQ(s.model->orientationMode, 0);
    EXPECT_EQ(s.model->orientationCos, 1);
    QTest::mouseClick(orient, Qt::LeftButton);
    EXPECT_EQ(s.model->orientationMode, 2);
    EXPECT_EQ(edit(w, "VXtxt")->text(), " .6");
    EXPECT_EQ(edit(w, "VZtxt")->text(), "-.8");
    EXPECT_DOUBLE_EQ(s.model->viewVector.z, -0.8);

    w->findChild<QRadioButton*>("FINALopt")->click();
    EXPECT_EQ(s.model->referStage, 1);
    EXPECT_FALSE(w->findChild<QRadioButton*>("INITIALopt")->isChecked());
    QTest::mouseClick(w->findChild<QCheckBox*>("RIBcbx"), Qt::LeftButton);
    EXPECT_EQ(s.model->ribbingOn, 0);
}

TEST(SettingsWindowGui, ConfirmHidesAndCloseDestroys) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    QTest::mouseClick(w->findChild<QCheckBox*>("RIBcbx"), Qt::LeftButton);
    typeAndLeave(w, "OYtxt", "123.5");  // the bar moves to 124 (halves to even)
    EXPECT_EQ(edit(w, "OYtxt")->text(), "124");
    QTest::mouseClick(w->findChild<QPushButton*>("Conf"), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(s.main->isVisible());

    // Showing it again keeps the same window and what its boxes show.
    edit(w, "GItxt")->setText("kept");
    EXPECT_EQ(s.openSettings(), w);
    EXPECT_EQ(edit(w, "GItxt")->text(), "kept");

    // Closing from the title bar destroys it; the next showing loads afresh,
    // and the check box shows the switch in force.
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s.main->settingsWindow(), nullptr);
    SettingsWindow* again = s.openSettings();
    ASSERT_TRUE(again);
    EXPECT_EQ(edit(again, "GItxt")->text(), " .05");
    EXPECT_EQ(edit(again, "OYtxt")->text(), "124");
    EXPECT_FALSE(again->findChild<QCheckBox*>("RIBcbx")->isChecked());
    EXPECT_EQ(s.model->ribbingOn, 0);
}

TEST(SettingsWindowGui, ScaleAndViewSetHereShapeTheNextStart) {
    SettingsSession s;
    edit(s.main.get(), "NUMtxt")->setText("1");
    s.main->logic().TypeStages("1");
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    typeAndLeave(w, "SCLtxt", "4");
    EXPECT_EQ(edit(s.main.get(), "SCLtxt")->text(), "4");
    // View from +x: the azimuth bar to 0 turns the view to (1, 0, 0).
    scroll(w, "VIEWhsc")->setValue(0);
    EXPECT_DOUBLE_EQ(s.model->viewVector.x, 1);
    QTest::mouseClick(w->findChild<QPushButton*>("Conf"), Qt::LeftButton);

    QTest::mouseClick(s.main->findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(s.model->drawScale, 4);
    const QImage& img = s.main->surface().image();
    // The y axis (purple) now runs across the screen, 20 units × 4 to each
    // side of the origin (500, 650); at scale 2 it would end at 540.
    EXPECT_EQ(img.pixel(575, 650), qRgb(128, 0, 128));
    EXPECT_EQ(img.pixel(425, 650), qRgb(128, 0, 128));
    // The z axis (olive) reaches 80 up.
    EXPECT_EQ(img.pixel(500, 575), qRgb(128, 128, 0));

    // A scale limited here reaches START as well.
    SettingsWindow* again = s.openSettings();
    typeAndLeave(again, "SCLtxt", "25");
    EXPECT_EQ(edit(s.main.get(), "SCLtxt")->text(), "10");
    QTest::mouseClick(s.main->findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(s.model->drawScale, 10);
}

TEST(SettingsWindowGui, ClosingFromTheTitleBarRunsNoLeaveCheck) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    QLineEdit* ox = edit(w, "OXtxt");
    ox->setFocus();
    ox->selectAll();
    QTest::keyClicks(ox, "5000");
    EXPECT_DOUBLE_EQ(s.model->originX, 5000);
    // Closed while the box has the focus: the typed value stays unchecked.
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s.main->settingsWindow(), nullptr);
    EXPECT_DOUBLE_EQ(s.model->originX, 5000);

    // The next showing loads it as it stands; the bar stops at its end.
    SettingsWindow* again = s.openSettings();
    ASSERT_TRUE(again);
    EXPECT_EQ(edit(again, "OXtxt")->text(), " 5000");
    EXPECT_EQ(scroll(again, "ORIGINhsc")->value(), 800);
    EXPECT_DOUBLE_EQ(s.model->originX, 5000);
}

TEST(SettingsWindowGui, TheBoxContextMenuIsNotLeavingTheBox) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    QLineEdit* ox = edit(w, "OXtxt");
    ox->setFocus();
    ox->selectAll();
    QTest::keyClicks(ox, "5000");
    // Close the box's own menu should it stay open.
    QTimer::singleShot(100, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), ox->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(ox, &menu);
    EXPECT_DOUBLE_EQ(s.model->originX, 5000);
    EXPECT_EQ(scroll(w, "ORIGINhsc")->value(), 500);
    // Leaving it with the keyboard runs the check.
    ox->setFocus();
    QTest::keyClick(ox, Qt::Key_Tab);
    EXPECT_DOUBLE_EQ(s.model->originX, 800);
}

// A preview left at another pixel ratio (the window was on another screen) is
// painted again at this screen's ratio when the window shows.
TEST(SettingsWindowGui, PreviewFollowsTheScreensPixelRatio) {
    SettingsSession s;
    SettingsWindow* w = s.openSettings();
    ASSERT_TRUE(w);
    const QImage before = w->previewSurface().image().copy();
    w->hide();
    w->previewSurface().setResolution(2);
    ASSERT_EQ(w->previewSurface().image().width(), 2 * before.width());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->previewSurface().resolution(), w->devicePixelRatioF());
    EXPECT_EQ(w->previewSurface().image(), before);
}

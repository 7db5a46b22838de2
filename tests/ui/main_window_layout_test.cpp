// The main window as a window of today's desktops: resizing, remembered
// places, the keyboard, tooltips, messages and the export dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "ui/main_window.h"
#include "ui/settings_window.h"
#include "ui/window_place.h"

using namespace ammonite;

namespace {

struct Shown {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    MainWindow w{*model};
    Shown() {
        w.show();
        w.activateWindow();
        (void)QTest::qWaitForWindowActive(&w);
    }
    template <class T = QWidget>
    T* child(const char* name) {
        return w.findChild<T*>(QString::fromLatin1(name));
    }
};

bool inside(QWidget* widget, QWidget* window) {
    const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return widget->isVisible() && window->rect().contains(r);
}

}  // namespace

TEST(MainWindowLayout, PictureScalesWithTheWindowAndTheControlsStay) {
    Shown s;
    QTest::mouseClick(s.child<QPushButton>("STARTcmd"), Qt::LeftButton);
    auto drawn = [&] {
        int n = 0;
        for (int y = 0; y < 760; y += 2)
            for (int x = 0; x < 1000; x += 2) n += s.w.surface().rgbAt(x, y) != Rgb(255, 255, 255);
        return n;
    };
    const int before = drawn();
    ASSERT_GT(before, 1000);
    for (QSize size : {QSize(1700, 1100), QSize(800, 560)}) {
        s.w.resize(size);
        QApplication::processEvents();
        const QRectF picture = s.w.surfaceView()->pictureRect();
        // The aspect is kept and the picture units do not change.
        EXPECT_NEAR(picture.width() / picture.height(), 1000.0 / 760.0, 0.01);
        EXPECT_EQ(s.w.surface().width(), 1000);
        // The pixels follow the size the picture is shown at, and what was
        // drawn is painted again on them.
        const double needed = std::max(1.0, picture.width() / 1000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return std::fabs(s.w.surface().resolution() - needed) < 1e-9; }, 2000));
        EXPECT_EQ(s.w.surface().image().width(), std::lround(1000 * needed));
        EXPECT_GT(drawn(), before / 2);
        for (const char* name : {"STARTcmd", "SETcmd", "NUMtxt", "ST2hsc", "statusLine"})
            EXPECT_TRUE(inside(s.child(name), &s.w)) << name << " at " << size.width() << "x" << size.height();
    }
    // A press on the picture's last pixel reaches the logic as (999, 759).
    const QRectF picture = s.w.surfaceView()->pictureRect();
    QSignalSpy spy(s.w.surfaceView(), &SurfaceView::pressed);
    QTest::mousePress(s.w.surfaceView(), Qt::LeftButton, {}, (picture.bottomRight() - QPointF(0.2, 0.2)).toPoint());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_NEAR(spy.at(0).at(0).toDouble(), 999, 1);
    EXPECT_NEAR(spy.at(0).at(1).toDouble(), 759, 1);
    QTest::mouseRelease(s.w.surfaceView(), Qt::LeftButton);
}

TEST(MainWindowLayout, PlaceAndExportFolderAreRememberedButNoModelValue) {
    WindowSettings().clear();
    {
        Shown s;
        s.w.resize(1111, 700);
        s.child<QLineEdit>("SCLtxt")->setText("3");
        s.w.close();
    }
    Shown again;
    EXPECT_EQ(again.w.size(), QSize(1111, 700));
    EXPECT_EQ(again.child<QLineEdit>("SCLtxt")->text(), "2");
    for (const QString& key : WindowSettings().allKeys())
        EXPECT_TRUE(key.endsWith("/geometry") || key == "export/folder") << key.toStdString();
    WindowSettings().clear();
}

TEST(MainWindowLayout, KeyboardEnterRunsStartAndTabSkipsTheOutputBoxes) {
    Shown s;
    auto* num = s.child<QLineEdit>("NUMtxt");
    num->setFocus();
    num->selectAll();
    QTest::keyClicks(num, "250");
    QTest::keyClick(num, Qt::Key_Return);
    EXPECT_TRUE(s.w.logic().run.hasRun);
    EXPECT_EQ(s.w.logic().run.lastBuiltStage, 250);
    // MAX and P/T are written by the run only.
    EXPECT_TRUE(s.child<QLineEdit>("MAXtxt")->isReadOnly());
    EXPECT_TRUE(s.child<QLineEdit>("PTRtxt")->isReadOnly());
    num->setFocus();
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QString name = QApplication::focusWidget()->objectName();
        EXPECT_NE(name, "MAXtxt");
        EXPECT_NE(name, "PTRtxt");
    }
}

TEST(MainWindowLayout, MessagesNameTheBoxAndErrorsAreRed) {
    Shown s;
    auto* num = s.child<QLineEdit>("NUMtxt");
    auto* status = s.child<QLabel>("statusLine");
    num->selectAll();
    QTest::keyClicks(num, "1e9");
    EXPECT_EQ(status->text(), "STAGE: 1e9 is too large (at most 32767)");
    EXPECT_TRUE(status->styleSheet().contains("160, 0, 0"));
}

TEST(MainWindowLayout, EveryControlSaysWhatItDoes) {
    Shown s;
    QTest::mouseClick(s.child<QPushButton>("GRAPHcmd"), Qt::LeftButton);
    QTest::mouseClick(s.child<QPushButton>("SETcmd"), Qt::LeftButton);
    for (QWidget* window : {static_cast<QWidget*>(&s.w), static_cast<QWidget*>(s.w.profileWindow()),
                            static_cast<QWidget*>(s.w.settingsWindow())}) {
        ASSERT_TRUE(window);
        for (QWidget* c : window->findChildren<QWidget*>()) {
            if (!(qobject_cast<QPushButton*>(c) || qobject_cast<QScrollBar*>(c) || qobject_cast<QLineEdit*>(c)))
                continue;
            if (c->objectName() == "DScmd" || c->parent()->inherits("QAbstractScrollArea")) continue;
            if (qobject_cast<QScrollBar*>(c) && c->objectName().isEmpty()) continue;  // a list's own bar
            EXPECT_FALSE(c->toolTip().isEmpty()) << window->objectName().toStdString() << " "
                                                 << c->objectName().toStdString();
        }
    }
    // The coordinate boxes and the angle numbers are labelled.
    QStringList captions;
    for (QWidget* window : {static_cast<QWidget*>(s.w.profileWindow()), static_cast<QWidget*>(s.w.settingsWindow())})
        for (QLabel* l : window->findChildren<QLabel*>()) captions << l->text();
    for (const char* word : {"stage", "value", "azimuth", "elevation"}) EXPECT_TRUE(captions.contains(word)) << word;
}

TEST(MainWindowLayout, SettingBoxesShowTheirNumbersWhole) {
    Shown s;
    QTest::mouseClick(s.child<QPushButton>("SETcmd"), Qt::LeftButton);
    SettingsWindow* set = s.w.settingsWindow();
    ASSERT_TRUE(set);
    auto fits = [](QLineEdit* e, const QString& text) {
        const QRect room = e->contentsRect().marginsRemoved(e->textMargins());
        return e->fontMetrics().horizontalAdvance(text) <= room.width();
    };
    for (const char* name : {"VXtxt", "VYtxt", "VZtxt", "LXtxt", "LYtxt", "LZtxt"})
        EXPECT_TRUE(fits(set->findChild<QLineEdit*>(name), "-0.9781")) << name;
    for (const char* name : {"SCLtxt", "OXtxt", "OYtxt", "DAtxt", "DBtxt"})
        EXPECT_TRUE(fits(set->findChild<QLineEdit*>(name), "14.3004")) << name;
    for (QLabel* l : set->findChildren<QLabel*>()) {
        if (l->text() == "initial") {
            EXPECT_GE(l->width(), l->sizeHint().width());
        }
    }
}

// ---- export ----

namespace {
struct Exporting : Shown {
    QTemporaryDir dir;
    QString answer, caption, suggested;
    int dialogs = 0, scales = 0;
    Exporting() {
        w.askSavePath = [this](const QString& c, const QString& s, const QString&) {
            ++dialogs;
            caption = c;
            suggested = s;
            return answer;
        };
        w.askMeshScale = [this](double&) {
            ++scales;
            return true;
        };
    }
    QAction* action(const char* name) { return w.findChild<QAction*>(name); }
    QLabel* status() { return child<QLabel>("statusLine"); }
};
}  // namespace

TEST(MainWindowLayout, ExportDialogsKeysAndReasons) {
    WindowSettings().clear();
    Exporting e;
    // Meshes before any run: refused before asking for a scale or a name.
    e.action("saveMeshSTLAction")->trigger();
    EXPECT_EQ(e.scales, 0);
    EXPECT_EQ(e.dialogs, 0);
    EXPECT_EQ(e.status()->text(), "Nothing to export yet: press START first");

    QTest::mouseClick(e.child<QPushButton>("STARTcmd"), Qt::LeftButton);
    // Ctrl+Shift+E asks for an SVG name, first in the working folder.
    e.answer = e.dir.filePath("drawing");  // no extension typed
    QTest::keyClick(&e.w, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(e.dialogs, 1);
    EXPECT_EQ(e.caption, "Save picture as SVG");
    EXPECT_EQ(QFileInfo(e.suggested).absolutePath(), QDir::currentPath());
    EXPECT_TRUE(QFileInfo::exists(e.dir.filePath("drawing.svg")));
    // The next dialog starts where the last file went.
    e.answer = e.dir.filePath("shell.png");
    QTest::keyClick(&e.w, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(QFileInfo(e.suggested).absolutePath(), QFileInfo(e.dir.path()).absoluteFilePath());

    // A failed export names the operating system's reason.
    e.answer = e.dir.filePath("missing/shell.png");
    e.action("savePngAction")->trigger();
    EXPECT_TRUE(e.status()->text().contains("No such file or directory")) << e.status()->text().toStdString();
    e.answer = e.dir.filePath("missing/shell.stl");
    e.action("saveMeshSTLAction")->trigger();
    EXPECT_EQ(e.scales, 1);
    EXPECT_TRUE(e.status()->text().contains("No such file or directory")) << e.status()->text().toStdString();
    WindowSettings().clear();
}

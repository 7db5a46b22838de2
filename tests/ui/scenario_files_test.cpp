// The main window's File menu: a scenario opened with Ctrl+O grows what the
// batch tool grows from the same file, whatever the window did before; Ctrl+S
// writes the window's scenario, the title names it, the recent list keeps it,
// and closing asks before edited inputs are lost.
#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

#include "session/scenario_session.h"
#include "model/scenario_file.h"
#include "model/stage_results.h"
#include "ui/main_window.h"
#include "scenario_results.h"
#include "ui/window_place.h"

using namespace ammonite;

namespace {

using ui_test::sessionResults;
using ui_test::windowResults;

}  // namespace

TEST(ScenarioFiles, OpenSaveTitleRecentAndTheQuestionOnClosing) {
    WindowSettings().clear();
    QTemporaryDir dir;
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ScenarioFiles& files = w.scenarioFiles();
    EXPECT_EQ(w.windowTitle(), "Form1");
    auto* button = w.findChild<QPushButton*>("FILEcmd");
    ASSERT_TRUE(button && button->menu());

    // Something else grown first: the opened scenario does not depend on it.
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->selectAll();
    QTest::keyClicks(num, "400");
    w.findChild<QScrollBar*>("FT1vsc")->setValue(-30);
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);

    Scenario hamites;
    std::string error;
    ASSERT_TRUE(ReadScenarioFile(AMMONITE_GALLERY_DIR "/hamites.toml", hamites, error)) << error;
    int asked = 0;
    files.askOpenPath = [&](const QString&, const QString&) {
        ++asked;
        return QStringLiteral(AMMONITE_GALLERY_DIR "/hamites.toml");
    };
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.findChild<QLabel*>("statusLine")->text(), "");
    EXPECT_EQ(w.windowTitle(), "hamites");
    EXPECT_EQ(windowResults(w), sessionResults(hamites));
    EXPECT_EQ(w.findChild<QScrollBar*>("FT1vsc")->value(), 0);
    EXPECT_EQ(files.recent().value(0), QStringLiteral(AMMONITE_GALLERY_DIR "/hamites.toml"));

    // Nothing edited: closing asks nothing.
    int questions = 0;
    files.askUnsaved = [&] {
        ++questions;
        return ScenarioFiles::Unsaved::Cancel;
    };
    EXPECT_TRUE(files.confirmClose());
    EXPECT_EQ(questions, 0);

    // An edit: closing asks; Save as writes the window's scenario.
    w.findChild<QScrollBar*>("ST2hsc")->setValue(350);
    EXPECT_FALSE(files.confirmClose());  // Cancel keeps the window
    EXPECT_EQ(questions, 1);
    QCloseEvent close;
    QCoreApplication::sendEvent(&w, &close);  // not the user's close: no question
    EXPECT_EQ(questions, 1);
    w.show();

    const QString copy = dir.filePath("mine");
    files.askSavePath = [&](const QString&, const QString&) { return copy; };
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    Scenario saved;
    ASSERT_TRUE(ReadScenarioFile((copy + ".toml").toStdString(), saved, error)) << error;
    EXPECT_EQ(saved.st2, 350);
    EXPECT_EQ(saved.name, "hamites");
    EXPECT_EQ(files.path(), copy + ".toml");
    EXPECT_TRUE(files.confirmClose());
    EXPECT_TRUE(w.infoText().contains("mine.toml"));

    // Exports carry the window's scenario; opening the picture grows it again.
    ASSERT_TRUE(files.openFile(copy + ".toml"));
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);  // a third START
    w.askSavePath = [&](const QString&, const QString&, const QString&) { return dir.filePath("p.png"); };
    w.findChild<QAction*>("savePngAction")->trigger();
    const std::string before = windowResults(w);
    ASSERT_TRUE(files.openFile(dir.filePath("p.png")));
    EXPECT_EQ(windowResults(w), before);
    EXPECT_EQ(files.path(), "");  // a picture is not saved back to
    EXPECT_EQ(files.recent().size(), 3);
    WindowSettings().clear();
}

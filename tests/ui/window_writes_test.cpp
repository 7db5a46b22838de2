// The main window's exports through the one file writer: a file the user
// may not write is refused with the reason in the status line and kept as it
// was; a link is written through; a value beyond the stage box names the box.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ui/main_window.h"

using namespace ammonite;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(path.toLocal8Bit().constData(), &st);
    return st.st_mode;
}

}  // namespace

TEST(WindowWrites, ExportsRefuseProtectedFilesAndWriteThroughLinks) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    QTemporaryDir dir;
    QString answer;
    w.askSavePath = [&](const QString&, const QString&, const QString&) { return answer; };
    w.askMeshScale = [](double&) { return true; };
    auto* status = w.findChild<QLabel*>("statusLine");
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->selectAll();
    QTest::keyClicks(num, "300");
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    ASSERT_EQ(status->text(), "");

    const std::pair<const char*, const char*> exports[] = {{"savePngAction", "p.png"},
                                                           {"saveSvgAction", "v.svg"},
                                                           {"saveCsvAction", "t.csv"},
                                                           {"saveMeshOBJAction", "m.obj"}};
    for (const auto& [action, name] : exports) {
        answer = dir.filePath(QString::fromLatin1(name));
        {
            QFile f(answer);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("protected");
        }
        ::chmod(answer.toLocal8Bit().constData(), 0444);
        w.findChild<QAction*>(action)->trigger();
        EXPECT_EQ(status->text(), "cannot write " + answer + ": Permission denied") << action;
        EXPECT_EQ(readAll(answer), "protected") << action;
        EXPECT_EQ(modeOf(answer) & 07777, 0444u) << action;
    }

    // A link: the picture lands in the file it points to.
    const QString real = dir.filePath("real.png"), link = dir.filePath("link.png");
    ASSERT_EQ(::symlink("real.png", link.toLocal8Bit().constData()), 0);
    answer = link;
    w.findChild<QAction*>("savePngAction")->trigger();
    EXPECT_EQ(status->text(), "");
    EXPECT_TRUE(S_ISLNK(modeOf(link)));
    EXPECT_EQ(QImage(real).size(), w.surface().image().size());
}

TEST(WindowWrites, AStageBeyondTheBoxNamesTheBoxAndTheRange) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    auto* num = w.findChild<QLineEdit*>("NUMtxt");
    num->selectAll();
    QTest::keyClicks(num, "1e9");
    EXPECT_EQ(w.findChild<QLabel*>("statusLine")->text(), "STAGE: 1e9 is too large (at most 32767)");
    EXPECT_EQ(model->shownStage, 1);  // from "1", the last text that fitted
}

TEST(WindowWrites, AfterARunThatStoppedTheTablesAreExportedAndTheMeshSaysWhyNot) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    QTemporaryDir dir;
    QString answer;
    w.askSavePath = [&](const QString&, const QString&, const QString&) { return answer; };
    w.askMeshScale = [](double&) { return true; };
    auto* status = w.findChild<QLabel*>("statusLine");
    model->densities = {0, 0};  // a shell of no mass: the first stage stops the run
    QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
    ASSERT_TRUE(status->text().contains("Division by zero"));

    answer = dir.filePath("t.csv");
    w.findChild<QAction*>("saveCsvAction")->trigger();
    EXPECT_EQ(status->text(), "");
    EXPECT_EQ(readAll(answer).count('\n'), 2);  // the header and stage 0

    answer = dir.filePath("m.stl");
    w.findChild<QAction*>("saveMeshSTLAction")->trigger();
    EXPECT_EQ(status->text(), "Cannot export: the last run stopped on an error at stage 1, before the shell was complete");
    EXPECT_FALSE(QFile::exists(dir.filePath("m_volumes.txt")));
}

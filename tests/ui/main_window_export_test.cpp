// What users take away from the main window: the picture as PNG, SVG and on
// the clipboard, the stage results as CSV, the shell as meshes, and the plot
// of the per-stage results; through the real buttons, menu actions and
// shortcuts, with the file dialog answered by the test.
#include <gtest/gtest.h>

#include "window_grabs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "core/version.h"
#include "model/stage_results.h"
#include "ui/main_window.h"

using namespace ammonite;

namespace {

using ui_test::saveGrab;

struct ExportWindow {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    MainWindow w{*model};
    QTemporaryDir dir;
    QString answer;        // the file name the dialog returns
    int dialogs = 0;
    QLabel* status = nullptr;

    ExportWindow() {
        w.show();
        w.activateWindow();
        (void)QTest::qWaitForWindowActive(&w);
        status = w.findChild<QLabel*>("statusLine");
        w.askSavePath = [this](const QString&, const QString&, const QString&) {
            ++dialogs;
            return answer;
        };
    }
    void start() { QTest::mouseClick(w.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton); }
    QAction* action(const char* name) { return w.findChild<QAction*>(name); }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(MainWindowExport, ExportMenuHoldsEveryExportAndShortcutsReachThem) {
    ExportWindow e;
    auto* button = e.w.findChild<QPushButton*>("EXPORTcmd");
    ASSERT_TRUE(button && button->menu());
    QStringList names;
    for (QAction* a : button->menu()->actions())
        if (!a->isSeparator()) names << a->objectName();
    button->menu()->popup(button->mapToGlobal(QPoint(0, button->height())));
    saveGrab(*button->menu(), "export_menu.png");
    button->menu()->hide();
    EXPECT_EQ(names, (QStringList{"savePngAction", "savePng2xAction", "saveSvgAction", "copyPictureAction", "saveCsvAction",
                                  "saveMeshSTLAction", "saveMeshPLYAction", "saveMeshOBJAction"}));
    EXPECT_EQ(e.action("savePngAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));

    // Ctrl+E after a run asks for a name and writes the picture shown.
    e.start();
    e.answer = e.path("shell.png");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e.w));
    QTest::keyClick(&e.w, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(e.dialogs, 1);
    QImage saved(e.answer);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), e.w.surface().image().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(saved.text("Software"), QString::fromLatin1(kGenerator));  // the picture names its maker
    EXPECT_TRUE(e.w.infoText().contains("shell.png"));
    EXPECT_EQ(e.status->text(), "");

    // Ctrl+C in a text box copies its text, not the picture.
    auto* num = e.w.findChild<QLineEdit*>("NUMtxt");
    num->setFocus();
    num->selectAll();
    QTest::keyClick(num, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), num->text());
    EXPECT_FALSE(e.w.infoText().contains("copied"));
    // On a button it copies nothing; on the picture it copies the picture.
    e.w.findChild<QPushButton*>("STARTcmd")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(e.w.infoText().contains("copied"));
    e.w.surfaceView()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(e.w.infoText().contains("copied"));
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());

    // A cancelled dialog writes nothing and changes nothing.
    e.w.savePicturePng(e.answer);
    e.answer.clear();
    e.action("saveSvgAction")->trigger();
    EXPECT_EQ(e.dialogs, 2);
    EXPECT_TRUE(e.w.infoText().contains("shell.png"));
}

TEST(MainWindowExport, SvgIsAVectorDrawingOfTheShell) {
    ExportWindow e;
    e.start();
    e.answer = e.path("shell.svg");
    e.action("saveSvgAction")->trigger();
    const QByteArray svg = readAll(e.answer);
    ASSERT_FALSE(svg.isEmpty()) << e.status->text().toStdString();
    QXmlStreamReader xml(svg);
    int paths = 0, images = 0, texts = 0;
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (root.isEmpty()) root = xml.name().toString();
        paths += xml.name() == u"path";
        images += xml.name() == u"image";
        texts += xml.name() == u"text";
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(root, "svg");
    EXPECT_GT(paths, 100);
    EXPECT_EQ(images, 0);
    EXPECT_GE(texts, 3);  // the three markers
    EXPECT_FALSE(QFile::exists(e.answer + ".part"));
}

TEST(MainWindowExport, CsvHoldsTheStageResultsAndMeshesTheShell) {
    ExportWindow e;
    // Before any run there is nothing to take away: a message, no file.
    e.answer = e.path("early.csv");
    e.action("saveCsvAction")->trigger();
    EXPECT_FALSE(QFile::exists(e.answer));
    EXPECT_FALSE(e.status->text().isEmpty());
    EXPECT_FALSE(e.w.saveMesh(MeshFormat::Stl, e.path("early.stl"), 1));
    EXPECT_TRUE(e.status->text().contains("START"));

    e.start();
    e.answer = e.path("stages.csv");
    e.action("saveCsvAction")->trigger();
    const QList<QByteArray> lines = readAll(e.answer).split('\n');
    ASSERT_GT(lines.size(), 1700);
    EXPECT_EQ(lines[0].toStdString(), StageTablesHeader());
    EXPECT_EQ(lines.size(), e.w.logic().run.lastBuiltStage + 3);  // header, rows 0.., final line end

    // The mesh action asks for the scale first; the files land beside the name.
    e.w.askMeshScale = [](double& mm) {
        mm = 2;
        return true;
    };
    e.answer = e.path("shell.obj");
    e.action("saveMeshOBJAction")->trigger();
    EXPECT_TRUE(QFile::exists(e.path("shell.obj"))) << e.status->text().toStdString();
    const QByteArray sidecar = readAll(e.path("shell_volumes.txt"));
    EXPECT_TRUE(sidecar.contains("mm_per_unit=2")) << sidecar.toStdString();
    EXPECT_TRUE(e.w.infoText().contains("shell_volumes.txt"));

    // A cancelled scale question asks for no file name.
    e.w.askMeshScale = [](double&) { return false; };
    const int before = e.dialogs;
    e.action("saveMeshSTLAction")->trigger();
    EXPECT_EQ(e.dialogs, before);

    // A folder that does not exist: a message naming the file, nothing else changes.
    EXPECT_FALSE(e.w.savePicturePng(e.path("missing/folder/x.png")));
    EXPECT_TRUE(e.status->text().contains("x.png"));
}

TEST(MainWindowExport, PlotShowsTheResultsAndStartReturnsToTheShell) {
    ExportWindow e;
    auto* plot = e.w.findChild<QPushButton*>("PLOTcmd");
    ASSERT_TRUE(plot);
    // Nothing to plot before a run: the button springs back, the shell stays.
    QTest::mouseClick(plot, Qt::LeftButton);
    EXPECT_FALSE(plot->isChecked());
    EXPECT_FALSE(e.w.plotShown());
    EXPECT_TRUE(e.status->text().contains("START"));

    e.start();
    auto* stability = e.w.findChild<QLabel*>("STBlbl");
    ASSERT_TRUE(stability);
    EXPECT_EQ(stability->text().toStdString(), e.w.logic().STBlbl.caption());
    EXPECT_EQ(stability->text().section('.', 1).size(), 3);  // three decimals

    const QImage shell = e.w.surface().image().copy();
    QTest::mouseClick(plot, Qt::LeftButton);
    EXPECT_TRUE(e.w.plotShown());
    EXPECT_TRUE(plot->isChecked());
    EXPECT_EQ(&e.w.surfaceView()->surface(), &e.w.plotSurface());
    // The curves are drawn in their colours.
    const QImage img = e.w.plotSurface().image();
    long density = 0, orientation = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            density += img.pixel(x, y) == qRgb(0, 70, 200);
            orientation += img.pixel(x, y) == qRgb(200, 40, 40);
        }
    EXPECT_GT(density, 500);
    EXPECT_GT(orientation, 500);
    saveGrab(e.w, "plot_window.png");
    // A click on the plot does not clear the shell's picture.
    QTest::mouseClick(e.w.surfaceView(), Qt::LeftButton, {}, QPoint(500, 300));
    EXPECT_EQ(e.w.surface().image(), shell);

    // The picture exported is the one shown: the plot.
    e.answer = e.path("plot.png");
    e.action("savePngAction")->trigger();
    EXPECT_EQ(QImage(e.answer).convertToFormat(QImage::Format_RGB32), img.convertToFormat(QImage::Format_RGB32));
    e.w.copyPicture();
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
              img.convertToFormat(QImage::Format_RGB32));

    // START shows the shell again.
    e.start();
    EXPECT_FALSE(e.w.plotShown());
    EXPECT_FALSE(plot->isChecked());
    EXPECT_EQ(&e.w.surfaceView()->surface(), &e.w.surface());
}

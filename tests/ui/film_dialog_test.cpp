// VIEW's "Record film…": the dialog records PNG frames of the shell shown
// while VIEW stays usable, and Cancel stops a long film and leaves no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "ui/film_dialog.h"
#include "ui/main_window.h"
#include "ui/scratch_dir.h"
#include "ui/view_window.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

struct Filming {
    InScratchDir scratch;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    MainWindow main{*model};
    ViewWindow* view = nullptr;
    FilmDialog* dialog = nullptr;

    Filming() {
        main.show();
        QTest::mouseClick(main.findChild<QPushButton*>("STARTcmd"), Qt::LeftButton);
        QTest::mouseClick(main.findChild<QPushButton*>("VIEWcmd"), Qt::LeftButton);
        view = main.findChild<ViewWindow*>("VIEW");
        if (!view) return;
        (void)QTest::qWaitFor([this] { return view->logic().hasShell() && !view->busy(); }, 10000);
        QTest::mouseClick(view->findChild<QPushButton*>("FILMcmd"), Qt::LeftButton);
        dialog = view->findChild<FilmDialog*>("FILM");
    }
    void type(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClicks(box, text);
    }
};

}  // namespace

TEST(FilmDialogGui, RecordsPngFramesWhileViewStaysUsable) {
    Filming f;
    ASSERT_TRUE(f.dialog);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.dialog));
    EXPECT_EQ(f.dialog->sizeBox()->count(), 3);
    f.dialog->formatBox()->setCurrentIndex(3);
    f.dialog->fpsBox()->setValue(4);
    f.dialog->secondsBox()->setValue(1);
    f.type(f.dialog->pathBox(), "frames");
    QTest::mouseClick(f.dialog->recordButton(), Qt::LeftButton);
    // VIEW answers while the film is being made.
    QSlider* slider = f.view->stageSlider();
    slider->setValue(slider->maximum() / 2);
    EXPECT_EQ(f.view->logic().stage(), slider->maximum() / 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.dialog->recording() && f.dialog->recordButton()->isEnabled(); },
                                60000));
    EXPECT_TRUE(f.dialog->statusLine()->text().startsWith("Recorded 4 frames")) << f.dialog->statusLine()->text().toStdString();
    EXPECT_EQ(f.dialog->progressBar()->value(), 4);
    int pngs = 0;
    for (const auto& e : fs::directory_iterator(f.scratch.path() / "frames")) pngs += e.path().extension() == ".png";
    EXPECT_EQ(pngs, 4);
}

TEST(FilmDialogGui, CancelStopsALongFilmAndWritesNothing) {
    Filming f;
    ASSERT_TRUE(f.dialog);
    f.dialog->formatBox()->setCurrentIndex(2);  // GIF: the path's extension follows
    EXPECT_TRUE(f.dialog->pathBox()->text().endsWith(".gif"));
    f.dialog->secondsBox()->setValue(60);
    QTest::mouseClick(f.dialog->recordButton(), Qt::LeftButton);
    EXPECT_FALSE(f.dialog->recordButton()->isEnabled());
    if (f.dialog->statusLine()->text().contains("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.dialog->progressBar()->value() >= 2; }, 30000));
    QTest::mouseClick(f.dialog->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.dialog->recordButton()->isEnabled(); }, 30000));
    EXPECT_EQ(f.dialog->statusLine()->text(), "Cancelled; the film was not written");
    EXPECT_FALSE(fs::exists(f.scratch.path() / "ammonite-film.gif"));
    // Nothing of the film is left in the folder.
    for (const auto& e : fs::directory_iterator(f.scratch.path()))
        EXPECT_EQ(e.path().filename().string().find("ammonite-film"), std::string::npos) << e.path();
}

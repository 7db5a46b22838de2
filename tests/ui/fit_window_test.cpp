// "Fit to specimen…" in the main window: the file is asked for, the fit runs
// with a progress box whose Cancel stops it, and its profiles arrive in GRAPH
// as one undoable step, the fitted shell in the main window and the
// specimen's points in VIEW.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

#include <QAction>
#include <QMenu>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include "ui/main_window.h"
#include "ui/profile_window.h"
#include "ui/scratch_dir.h"
#include "ui/view_window.h"

using namespace ammonite;

namespace {

// An open planar coil whose radius grows along it.
void writeSpecimen(const std::string& path) {
    std::ofstream out(path);
    out << "x_mm,y_mm,radius_mm\n";
    for (int i = 0; i < 40; ++i) {
        const double t = 2.5 * 3.14159 * i / 39;
        const double r = 5 + 3 * t;
        out << r * std::cos(t) << ',' << r * std::sin(t) << ',' << 0.8 + 0.25 * t << '\n';
    }
}

struct FitWindows {
    InScratchDir scratch;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    MainWindow main{*model};
    QString answer;

    FitWindows() {
        main.show();
        main.askSpecimenPath = [this] { return answer; };
    }
    // Through the File menu, where the entry follows "Open scenario…".
    void trigger() {
        auto* file = main.findChild<QPushButton*>("FILEcmd");
        ASSERT_TRUE(file && file->menu());
        const QList<QAction*> actions = file->menu()->actions();
        int open = -1, fit = -1;
        for (int i = 0; i < actions.size(); ++i) {
            if (actions[i]->objectName() == QLatin1String("openScenarioAction")) open = i;
            if (actions[i]->objectName() == QLatin1String("fitSpecimenAction")) fit = i;
        }
        ASSERT_GE(open, 0);
        ASSERT_EQ(fit, open + 1);
        EXPECT_EQ(actions[fit]->text(), QStringLiteral("Fit to specimen…"));
        actions[fit]->trigger();
    }
    bool waitForFit() {
        return QTest::qWaitFor([this] { return main.fitTask() == nullptr; }, 120000);
    }
    QString info() { return main.infoText(); }
};

TEST(FitToSpecimen, FittedProfilesArriveAsOneUndoStepWithTheShellAndVIEW) {
    FitWindows w;
    const std::string path = (w.scratch.path() / "coil.csv").string();
    writeSpecimen(path);
    w.answer = QString::fromStdString(path);
    const ParameterProfile before = w.model->curvatureProfile;
    const double alphaBefore = w.model->alpha;
    w.trigger();
    ASSERT_TRUE(w.main.fitTask());
    auto* progress = w.main.findChild<QProgressDialog*>("fitProgress");
    ASSERT_TRUE(progress);
    EXPECT_TRUE(progress->isVisible());
    ASSERT_TRUE(w.waitForFit());

    EXPECT_FALSE(w.model->curvatureProfile == before);
    EXPECT_TRUE(w.info().contains("fit: RMS")) << w.info().toStdString();
    // The message is longer than the line beside the status: the line shows
    // its first words (the verdict), cut at the end, and the whole on hover.
    auto* line = w.main.findChild<QLabel*>("infoLine");
    ASSERT_TRUE(line);
    const QImage shown = line->grab().toImage();
    ASSERT_LT(line->contentsRect().width(), line->fontMetrics().horizontalAdvance(line->text()));
    EXPECT_EQ(line->toolTip(), line->text());
    QLabel start(w.info().section(' ', 0, 1));
    start.setFont(line->font());
    start.setStyleSheet(line->styleSheet());
    start.resize(line->size());
    start.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QImage expected = start.grab().toImage();
    const int columns = start.fontMetrics().horizontalAdvance(start.text());
    ASSERT_EQ(shown.height(), expected.height());
    // Which columns carry ink: the same glyphs at the same places.
    auto inked = [](const QImage& image, int x) {
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 160) return true;
        return false;
    };
    // The label and the line may place the text a pixel apart.
    bool same = false;
    for (int shift = -2; shift <= 2 && !same; ++shift) {
        same = true;
        for (int x = 3; x + 3 < columns && same; ++x) same = inked(shown, x + shift) == inked(expected, x);
    }
    EXPECT_TRUE(same) << w.info().toStdString();
    ProfileWindow* graph = w.main.profileWindow();
    ASSERT_TRUE(graph);
    EXPECT_TRUE(graph->isVisible());
    // The shell was grown from the fitted profiles: every stage of them.
    EXPECT_EQ(w.main.logic().run.lastBuiltStage, w.model->stageRange[1]);
    auto* view = w.main.findChild<ViewWindow*>("VIEW");
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->logic().hasSpecimen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->logic().hasShell() && !view->busy(); }, 20000));
    std::vector<std::uint32_t> pixels(320 * 240);
    PixelBuffer frame{pixels.data(), 320, 240, 320};
    view->logic().render(frame);
    EXPECT_TRUE(view->logic().specimenShown());

    // One undo restores the old profiles and α.
    graph->logic().UndoEdit();
    EXPECT_TRUE(w.model->curvatureProfile == before);
    EXPECT_EQ(w.model->alpha, alphaBefore);
}

TEST(FitToSpecimen, CancelLeavesTheProfilesAndABadFileIsNamed) {
    FitWindows w;
    const std::string path = (w.scratch.path() / "coil.csv").string();
    writeSpecimen(path);
    w.answer = QString::fromStdString(path);
    const ParameterProfile before = w.model->curvatureProfile;
    w.trigger();
    auto* progress = w.main.findChild<QProgressDialog*>("fitProgress");
    ASSERT_TRUE(progress);
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    ASSERT_TRUE(w.waitForFit());
    EXPECT_TRUE(w.model->curvatureProfile == before);
    EXPECT_TRUE(w.info().contains("cancelled")) << w.info().toStdString();

    std::ofstream(w.scratch.path() / "bad.csv") << "x_mm,y_mm\n1,2\nnan,3\n";
    w.answer = QString::fromStdString((w.scratch.path() / "bad.csv").string());
    w.trigger();
    EXPECT_FALSE(w.main.fitTask());
    const QString status = QString::fromStdString(w.main.logic().statusLine.caption());
    EXPECT_TRUE(status.contains("row 3")) << status.toStdString();
    EXPECT_TRUE(w.model->curvatureProfile == before);
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "ui/main_window.h"
#include "ui/profile_window.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

// Runs the test inside a fresh scratch folder (the "ammonite" folder is
// relative to the current directory) and returns to the old one at the end.
class InScratchDir {
public:
    InScratchDir() : old_(fs::current_path()) {
        dir_ = fs::temp_directory_path() / ("ammonite-ui-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(counter_++));
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    ~InScratchDir() {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const fs::path& path() const { return dir_; }

private:
    fs::path old_, dir_;
    static inline int counter_ = 0;
};

QRgb pixelAt(ProfileWindow& w, int x, int y) { return w.chartImage().image().pixel(x, y); }

// Chart pixel of a γ value at a stage.
QPoint gammaPoint(double stage, double value) {
    return QPoint(int(21 + stage / 2), int(400 - 40 * (value - 1)));
}

}  // namespace

TEST(ProfileWindowGui, OpensFromGraphWithTheDefaultProfiles) {
    InScratchDir scratch;
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    QTest::mouseClick(main.findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
    ProfileWindow* w = main.profileWindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(20);  // the 1 ms timer draws the profiles
    EXPECT_EQ(w->windowTitle(), "Form1");
    EXPECT_EQ(w->size(), QSize(1016, 730));
    EXPECT_EQ(model->profileWindowOpened, 1);
    EXPECT_TRUE(fs::is_directory(scratch.path() / "ammonite"));
    EXPECT_EQ(model->profileFolderPath, (fs::current_path() / "ammonite").string());
    // γ = 4 is drawn at y = 280 in its colour, β = 12 at y = 160.
    EXPECT_EQ(pixelAt(*w, 300, 280), qRgb(100, 100, 250));
    EXPECT_EQ(pixelAt(*w, 300, 160), qRgb(250, 200, 100));
    // C = 1 up to stage 90 (x 21..66), T = 0 on the baseline.
    EXPECT_EQ(pixelAt(*w, 40, 200), qRgb(250, 100, 100));
    EXPECT_EQ(pixelAt(*w, 300, 400), qRgb(100, 250, 100));
    // The background is not white and the grid lines are.
    EXPECT_NE(pixelAt(*w, 30, 30), qRgb(255, 255, 255));
    EXPECT_EQ(pixelAt(*w, 121, 33), qRgb(255, 255, 255));

    if (const char* dir = std::getenv("AMMONITE_SCREENSHOT_DIR")) {
        QTest::mouseClick(w->findChild<QPushButton*>("Ccmd"), Qt::LeftButton);
        QTest::mousePress(w->chartView(), Qt::LeftButton, {}, QPoint(109, 214));
        QTest::mouseRelease(w->chartView(), Qt::LeftButton, {}, QPoint(109, 214));
        w->grab().save(QString::fromUtf8(dir) + "/profile_window.png");
    }
}

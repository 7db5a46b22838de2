// ammonite-batch --shade: SHADE after the last run, the same picture as the
// main window's model gives; before any run it reports and draws nothing.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "support/batch_process.h"
#include "session/log_sink.h"
#include "window_rules.h"

using namespace ammonite;

namespace {

int runShadeBatch(const QStringList& args, std::string& err) {
    const batch_test::Result r = batch_test::runBatch(args);
    err = r.err;
    return r.status;
}

}  // namespace

TEST(BatchShade, WritesTheShadedPictureOfTheModel) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath(QStringLiteral("shade.png"));
    std::string err;
    ASSERT_EQ(runShadeBatch({"--runs", "2", "--shade", "--png", png, "--summary", dir.filePath("s.txt")}, err), 0)
        << err;
    QImage written(png);
    ASSERT_FALSE(written.isNull());

    // The same actions on the model in this process.
    batch_test::WindowRules window;
    window.start();
    window.start();
    window.shade();
    ASSERT_EQ(window.status, "");
    const RasterSurface& surface = window.surface;
    ASSERT_EQ(written.width(), 1000);
    ASSERT_EQ(written.height(), 760);
    long differing = 0, painted = 0;
    for (int y = 0; y < 760; ++y)
        for (int x = 0; x < 1000; ++x) {
            const std::uint32_t own = surface.pixel(x, y) & 0xFFFFFF;
            if (own != 0xFFFFFF) ++painted;
            if ((written.pixel(x, y) & 0xFFFFFF) != own) ++differing;
        }
    EXPECT_GT(painted, 30000);
    EXPECT_EQ(differing, 0);
}

TEST(BatchShade, BeforeAnyRunReportsAndFails) {
    std::string err;
    // The summary goes to standard output, which the runner reads.
    EXPECT_EQ(runShadeBatch({"--runs", "0", "--shade"}, err), 1);
    EXPECT_NE(err.find("press START first"), std::string::npos) << err;
}

// The windows under a real window manager at 200 %: the manager puts a frame
// and a title bar around each window, and the title bar must stay on the
// screen so that the window can be dragged. The test starts a virtual X
// screen of 1920 × 1080 and openbox on it, and runs this program again there
// with the toolkit's scale factor 2; the child runs WindowManagerAt below.
// Without Xvfb and openbox it is skipped.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include "ui/main_window.h"
#include "ui/scratch_dir.h"
#include "ui/window_place.h"

using namespace ammonite;

namespace {

bool underWindowManager() { return qEnvironmentVariableIsSet("AMMONITE_WM_CHILD"); }

// The frame as the windowing system reports it: the window's rectangle and
// the frame the manager put around it. QWidget::frameGeometry() would use the
// frame size the widget learnt at its last move, which may be none yet.
QRect frameOf(const QWidget* w) { return w->geometry().marginsAdded(w->windowHandle()->frameMargins()); }

std::string where(const QWidget* w) {
    const QRect f = frameOf(w), g = w->geometry();
    return w->objectName().toStdString() + ": frame at " + std::to_string(f.x()) + "," + std::to_string(f.y()) + " " +
           std::to_string(f.width()) + "x" + std::to_string(f.height()) + ", window at " + std::to_string(g.x()) +
           "," + std::to_string(g.y());
}

// Ends a helper process this test started.
struct Started {
    QProcess process;
    ~Started() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(3000)) process.kill();
        process.waitForFinished(3000);
    }
};

}  // namespace

TEST(WindowManager, EveryTitleBarOnTheScreenAt200Percent) {
    if (underWindowManager()) GTEST_SKIP() << "the child runs WindowManagerAt only";
#if defined(__SANITIZE_ADDRESS__)
    // The X keyboard library reads past its own buffer when the X platform
    // starts; the address sanitizer stops on it before any window opens.
    GTEST_SKIP() << "the X platform's keyboard library does not run under the address sanitizer";
#endif
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || openbox.isEmpty())
        GTEST_SKIP() << "needs Xvfb and openbox (Debian packages xvfb and openbox; tools/deps.sh installs them)";

    // A free display: the server names the one it took.
    Started server;
    server.process.start(xvfb, {"-displayfd", "1", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.process.waitForStarted(5000));
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.contains('\n') && clock.elapsed() < 10000) {
        server.process.waitForReadyRead(200);
        number += server.process.readAllStandardOutput();
    }
    ASSERT_TRUE(number.contains('\n')) << "Xvfb named no display";
    const QString display = ":" + QString::fromLatin1(number.trimmed());

    // The manager says it has taken over the display by running a command
    // once it is up: it creates a file the test waits for.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString ready = scratch.filePath(QStringLiteral("manager-ready"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    Started manager;
    manager.process.setProcessEnvironment(env);
    manager.process.setProcessChannelMode(QProcess::MergedChannels);
    manager.process.start(openbox, {"--sm-disable", "--startup", "touch '" + ready + "'"});
    ASSERT_TRUE(manager.process.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(ready) || manager.process.state() != QProcess::Running; },
                                30000));
    ASSERT_TRUE(QFileInfo::exists(ready)) << "openbox did not start: " << manager.process.readAll().toStdString();

    QProcess child;
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("AMMONITE_WM_CHILD", "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=WindowManagerAt.*"});
    ASSERT_TRUE(child.waitForFinished(180000));
    const QString out = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}

// Each window opens with its frame whole on the screen, the title bar's top
// edge included, once the manager has framed it and the window has settled.
TEST(WindowManagerAt, MainGraphSettingViewAndMorphoFramedWholeOnTheScreen) {
    if (!underWindowManager()) GTEST_SKIP() << "runs in a child under a window manager";
    InScratchDir scratch;
    WindowSettings().clear();
    auto model = std::make_unique<ModelState>();
    MainWindow main(*model);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    // Framed: the manager told the window the size of its frame.
    auto framed = [](QWidget* w) {
        return QTest::qWaitFor([w] { return w->windowHandle() && w->windowHandle()->frameMargins().top() > 0; },
                               10000);
    };
    ASSERT_TRUE(framed(&main)) << "no frame around the main window: is the window manager running?";
    const std::vector<std::pair<const char*, const char*>> windows = {
        {nullptr, nullptr}, {"GRAPHcmd", "GRAPHpct"}, {"SETcmd", "FRpct"}, {"VIEWcmd", "VIEWpct"}, {"MORPHOcmd", "map"}};
    for (const auto& [button, picture] : windows) {
        QWidget* window = &main;
        if (button) {
            QTest::mouseClick(main.findChild<QPushButton*>(button), Qt::LeftButton);
            window = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w != &main && w->findChild<QWidget*>(QString::fromLatin1(picture))) window = w;
            ASSERT_TRUE(window) << button;
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << button;
            ASSERT_TRUE(framed(window)) << button;
        }
        // The manager may map the window where it was asked, title bar above
        // the screen, and the program moves it once it has seen the frame:
        // wait for that (or for the time a user would notice), then check.
        const QRect free = window->screen()->availableGeometry();
        (void)QTest::qWaitFor([window, free] { return free.contains(frameOf(window)); }, 5000);
        const QRect frame = frameOf(window);
        EXPECT_LT(frame.top(), window->geometry().top()) << where(window);  // a title bar above it
        EXPECT_GE(frame.top(), free.top()) << where(window);
        EXPECT_TRUE(free.contains(frame)) << where(window) << " on " << free.width() << "x" << free.height();
        // The main window alone on the screen, as the user first sees it.
        const QByteArray dir = qgetenv("AMMONITE_SCREENSHOT_DIR");
        if (window == &main && !dir.isEmpty())
            main.screen()->grabWindow(0).save(QString::fromUtf8(dir) + "/scale-200-wm.png");
    }
    WindowSettings().clear();
}

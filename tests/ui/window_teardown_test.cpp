// Window teardown: every window can go away, by any quit path, while one of
// its text boxes has the focus and holds a value not yet checked. The box
// losing the focus on the way must not reach a logic that is already gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/main_window.h"
#include "ui/profile_window.h"
#include "ui/settings_window.h"
#include "ui/scratch_dir.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

// Gives `name` in `window` the focus and types `text` into it without leaving.
QLineEdit* typeWithoutLeaving(QWidget* window, const char* name, const char* text) {
    window->activateWindow();
    (void)QTest::qWaitForWindowActive(window);
    auto* box = window->findChild<QLineEdit*>(name);
    if (!box) return nullptr;
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    return box;
}

enum class Opened { MainOnly, Profile, Settings };

struct TeardownWindows {
    InScratchDir scratch;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    std::unique_ptr<MainWindow> main = std::make_unique<MainWindow>(*model);

    // Opens `which` and leaves a box of it with the focus and a value typed
    // in; false when the box could not take the focus.
    bool focusBoxIn(Opened which, const char* box) {
        main->show();
        QWidget* w = main.get();
        if (which == Opened::Profile) {
            QTest::mouseClick(main->findChild<QPushButton*>("GRAPHcmd"), Qt::LeftButton);
            w = main->profileWindow();
        } else if (which == Opened::Settings) {
            QTest::mouseClick(main->findChild<QPushButton*>("SETcmd"), Qt::LeftButton);
            w = main->settingsWindow();
        }
        if (!w) return false;
        QLineEdit* edit = typeWithoutLeaving(w, box, "7");
        return edit && QApplication::focusWidget() == edit;
    }
};

struct Case {
    Opened window;
    const char* box;
};
const Case kCases[] = {{Opened::MainOnly, "NUMtxt"},  {Opened::MainOnly, "SCLtxt"},
                       {Opened::MainOnly, "PTRtxt"},  {Opened::Profile, "XCMtxt"},
                       {Opened::Profile, "YCMtxt"},   {Opened::Settings, "GItxt"},
                       {Opened::Settings, "OXtxt"}};

}  // namespace

TEST(WindowTeardown, DestroyingTheMainWindowWithAFocusedBoxInAnyWindow) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.box);
        TeardownWindows w;
        ASSERT_TRUE(w.focusBoxIn(c.window, c.box));
        w.main.reset();  // the end of a test, or of main()
        EXPECT_EQ(w.main, nullptr);
    }
}

TEST(WindowTeardown, ClosingFromTheTitleBarThenDestroying) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.box);
        TeardownWindows w;
        ASSERT_TRUE(w.focusBoxIn(c.window, c.box));
        // The window manager closes the window with the box focused; the
        // program then ends.
        QWidget* top = QApplication::focusWidget()->window();
        top->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w.main->close();
        w.main.reset();
    }
}

TEST(WindowTeardown, QuittingTheApplicationThenDestroying) {
    TeardownWindows w;
    ASSERT_TRUE(w.focusBoxIn(Opened::Profile, "XCMtxt"));
    QTimer::singleShot(0, [] { QApplication::quit(); });
    QApplication::exec();
    w.main.reset();
}

TEST(WindowTeardown, TheProfileWindowAloneWithAFocusedBox) {
    InScratchDir scratch;
    ModelState model;
    ModelDocument document(model);
    auto profile = std::make_unique<ProfileWindow>(document, nullptr);
    profile->show();
    ASSERT_TRUE(typeWithoutLeaving(profile.get(), "XCMtxt", "3"));
    ASSERT_EQ(QApplication::focusWidget(), profile->findChild<QLineEdit*>("XCMtxt"));
    profile.reset();
}

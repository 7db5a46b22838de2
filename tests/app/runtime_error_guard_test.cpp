// One guard for every window's actions: a runtime error stops the action and
// shows its message, the program goes on, and actions nested in another
// belong to it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/runtime_error_guard.h"
#include "core/numeric.h"

using namespace ammonite;

TEST(RuntimeErrorGuard, AnErrorStopsTheActionKeepsWhatWasDoneAndShowsItsMessage) {
    LabelModel status;
    RuntimeErrorGuard guard(status);
    int ended = 0, assigned = 0;
    guard.ended = [&] { ++ended; };
    EXPECT_FALSE(guard.run([&] {
        assigned = 1;
        throwOverflow("number too large for the scale");
        assigned = 2;
    }));
    EXPECT_EQ(assigned, 1);
    EXPECT_NE(status.caption().find("number too large for the scale"), std::string::npos) << status.caption();
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(guard.running());
    // The next action starts with an empty line.
    EXPECT_TRUE(guard.run([] {}));
    EXPECT_EQ(status.caption(), "");
    EXPECT_EQ(ended, 2);
    // Anything else is no runtime error of the model: it passes, and the
    // guard is ready for the next action.
    EXPECT_THROW(guard.run([] { throw std::logic_error("bug"); }), std::logic_error);
    EXPECT_FALSE(guard.running());
}

TEST(RuntimeErrorGuard, NestedActionsBelongToTheOutermost) {
    LabelModel status;
    RuntimeErrorGuard guard(status);
    int ended = 0;
    guard.ended = [&] { ++ended; };
    EXPECT_TRUE(guard.run([&] {
        EXPECT_TRUE(guard.running());
        // An inner action that fails shows its message; the outer one goes on
        // and does not wipe it.
        EXPECT_FALSE(guard.run([] { throwOverflow("inner"); }));
        EXPECT_TRUE(guard.run([] {}));
    }));
    EXPECT_NE(status.caption().find("inner"), std::string::npos);
    EXPECT_EQ(ended, 1);

    // A window whose line says how it stands keeps it through actions that
    // say nothing.
    guard.clearsStatus = false;
    status.setCaption("Profile files are kept in /tmp/ammonite.");
    EXPECT_TRUE(guard.run([] {}));
    EXPECT_EQ(status.caption(), "Profile files are kept in /tmp/ammonite.");
}

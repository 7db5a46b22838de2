// A session asked to stop between its STARTs keeps what the runs before
// reached, exactly as a session of that many runs would.
#include <gtest/gtest.h>

#include <sstream>

#include "session/session.h"
#include "model/stage_results.h"
#include "session_results.h"

using namespace ammonite;

namespace {


SessionOptions shortRuns(int runs) {
    SessionOptions options;
    options.stagesText = "300";
    options.runs = runs;
    return options;
}

}  // namespace

TEST(SessionCancel, StopsBetweenStartsAndKeepsWhatWasGrown) {
    std::string error;
    Session two;
    ASSERT_TRUE(PerformSession(shortRuns(2), two, {}, error)) << error;
    EXPECT_FALSE(two.cancelled);

    Session stopped;
    int asked = 0;
    stopped.cancelRequested = [&] { return ++asked == 3; };  // before the third START
    ASSERT_TRUE(PerformSession(shortRuns(5), stopped, {}, error)) << error;
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(stopped.runtimeError, "");
    EXPECT_EQ(SessionResultsText(stopped), SessionResultsText(two));

    // A hook that never asks to stop changes nothing.
    Session never;
    never.cancelRequested = [] { return false; };
    ASSERT_TRUE(PerformSession(shortRuns(2), never, {}, error)) << error;
    EXPECT_FALSE(never.cancelled);
    EXPECT_EQ(SessionResultsText(never), SessionResultsText(two));
}

// A sweep point's session writes no log and keeps no decisions; its runs are
// the very runs of a session that keeps both.
TEST(SessionRecords, LeftOutTheyChangeNoResult) {
    SessionOptions options = shortRuns(2);
    options.stagesText = "600";  // regulated stages: the log has lines to leave out
    Session kept, bare;
    bare.keepsRecords = false;
    std::string error;
    ASSERT_TRUE(PerformSession(options, kept, {}, error)) << error;
    ASSERT_TRUE(PerformSession(options, bare, {}, error)) << error;
    EXPECT_FALSE(kept.log.empty());
    EXPECT_FALSE(kept.events.empty());
    EXPECT_TRUE(bare.log.empty());
    EXPECT_TRUE(bare.events.empty());
    bare.log = kept.log;
    EXPECT_EQ(SessionResultsText(bare), SessionResultsText(kept));
}

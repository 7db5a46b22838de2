// The regulation's decision at every regulated stage reaches the observer as
// values: the same event and rib mark its log line writes, the clocks it
// chose on, the γ it took and the step it made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "growth_test_fixture.h"

using namespace ammonite;
using growth_test::Window;

namespace {

struct Collector : GrowthObserver {
    std::vector<std::string> lines;
    std::vector<RegulationEvent> events;
    void logCleared() override {
        lines.clear();
        events.clear();
    }
    void logLine(const std::vector<std::string>& items) override { lines.push_back(MemoryLog::join(items)); }
    void regulated(const RegulationEvent& e) override { events.push_back(e); }
};

}  // namespace

TEST(RegulationEvents, EveryRegulatedStageReportsWhatItsLogLineSays) {
    // An upright shell (life orientation off, no curvature): γ is 4.5 from
    // stage 201, and β = 12 starts the clocks at F = 0, D = 0.0599, R = 0.0857.
    Window w;
    w.flatProfiles(7, 0, 0, 12);
    w.model->orientationMode = 0;
    w.model->shownStage = 260;
    Collector seen;
    Start(*w.model, w.run, RunInputs{}, &seen);
    const long last = w.run.lastBuiltStage;
    ASSERT_GE(last, 260);
    ASSERT_EQ(seen.events.size(), static_cast<size_t>(last - 200));
    ASSERT_EQ(seen.lines.size(), seen.events.size() + 3);  // header, empty line, the starting clocks

    const RegulationEvent& first = seen.events.front();
    EXPECT_EQ(first.stage, 201);
    EXPECT_EQ(first.gamma, 4.5);
    EXPECT_EQ(first.fatigueClock, 0);
    EXPECT_EQ(first.scheduleClock, 0.0599);
    EXPECT_EQ(first.ribClock, 0.0857);
    EXPECT_EQ(first.event, 3);
    EXPECT_EQ(first.step, 0.0599);
    EXPECT_EQ(seen.lines[2], "0 0.0599 0.0857");

    int ribStages = 0;
    for (size_t i = 0; i < seen.events.size(); ++i) {
        const RegulationEvent& e = seen.events[i];
        EXPECT_EQ(e.stage, 201 + static_cast<int>(i));
        EXPECT_EQ(seen.lines[i + 3], std::to_string(e.event) + "： " + std::to_string(e.ribMark)) << e.stage;
        EXPECT_EQ(e.ribMark, w.run.ribMark[e.stage]) << e.stage;
        EXPECT_EQ(e.gamma, w.model->gammaByStage[e.stage].toDouble()) << e.stage;
        if (e.event == 6) {
            ++ribStages;
            EXPECT_EQ(e.step, 0) << e.stage;  // the aperture does not widen while a rib is laid
        }
    }
    EXPECT_GT(ribStages, 0);

    // A second START reports its own stages only.
    w.model->shownStage = 230;
    Start(*w.model, w.run, RunInputs{}, &seen);
    EXPECT_EQ(seen.events.size(), static_cast<size_t>(w.run.lastBuiltStage - 200));
}

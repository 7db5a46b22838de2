// The regulation log as the main window prints it: a heading, a blank line
// and the three clocks when the regulation takes over, then one line per
// regulated stage with its event and rib mark.
#pragma once

#include <string>
#include <vector>

#include "model/growth_run.h"
#include "session/log_sink.h"

namespace ammonite {

// The heading printed above the clocks.
constexpr const char* kRegulationLogHeading = "疲労　定刻　肋";

class RegulationLogWriter : public GrowthObserver {
public:
    explicit RegulationLogWriter(LogSink& log) : log_(log), items_(2) {}
    void regulationBegan(double fatigue, double schedule, double rib) override;
    // The line of a stage reuses one buffer, so it costs no allocation of its own.
    void regulationStep(const RegulationEvent& decided) override;

private:
    LogSink& log_;
    std::vector<std::string> items_;
};

// A log kept in lines held elsewhere (a session's log).
class LinesLog : public LogSink {
public:
    explicit LinesLog(std::vector<std::vector<std::string>>& lines) : lines_(lines) {}
    void clear() override { lines_.clear(); }
    void line(const std::vector<std::string>& items) override { lines_.push_back(items); }

private:
    std::vector<std::vector<std::string>>& lines_;
};

}  // namespace ammonite

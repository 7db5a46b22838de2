// What the engine reported while a shell grew, kept for comparison: the
// clocks the regulation began with, each regulated stage's event and rib
// mark, and every ring point.
#pragma once

#include <vector>

#include "model/growth_run.h"

namespace test_support {

struct GrowthRecorder : ammonite::GrowthObserver {
    struct Step {
        int event, ribMark;
        bool operator==(const Step& o) const { return event == o.event && ribMark == o.ribMark; }
    };
    std::vector<double> clocks;  // fatigue, schedule, rib of each take-over
    std::vector<Step> steps;
    std::vector<ammonite::Vec3> ringPoints;
    int rings = 0;

    void regulationBegan(double f, double d, double r) override { clocks.insert(clocks.end(), {f, d, r}); }
    void regulationStep(const ammonite::RegulationEvent& d) override { steps.push_back({d.event, d.ribMark}); }
    void ring(const ammonite::RingVertex* v, int count) override {
        ++rings;
        for (int k = 0; k < count; ++k) ringPoints.push_back(v[k].point);
    }
};

inline bool SamePoints(const std::vector<ammonite::Vec3>& a, const std::vector<ammonite::Vec3>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
    return true;
}

}  // namespace test_support

// Every gallery form under five sets of options gives one shell however it
// is grown: opened in the main window after another form, as a sweep point,
// and by a fresh session.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

#include "app/window_scenario.h"
#include "model/scenario_file.h"
#include "model/stage_results.h"
#include "session/log_sink.h"
#include "session/scenario_session.h"
#include "session/sweep.h"

using namespace ammonite;

namespace ammonite {
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << "\n" << ScenarioToml(s); }
}  // namespace ammonite

namespace {

std::vector<Scenario> galleryForms() {
    std::vector<std::filesystem::path> paths;
    for (const auto& e : std::filesystem::directory_iterator(AMMONITE_GALLERY_DIR))
        if (e.path().extension() == ".toml") paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    std::vector<Scenario> forms;
    for (const auto& p : paths) {
        Scenario s;
        std::string error;
        EXPECT_TRUE(ReadScenarioFile(p.string(), s, error)) << error;
        forms.push_back(s);
    }
    return forms;
}

struct OptionSet {
    const char* name;
    std::function<void(Scenario&)> apply;
};

const OptionSet kOptionSets[] = {
    {"as in the gallery", [](Scenario&) {}},
    {"other densities, two STARTs",
     [](Scenario& s) {
         s.densityAir = 0.8;
         s.densityBody = 1.1;
         s.runs = 2;
     }},
    {"thresholds moved",
     [](Scenario& s) {
         s.st1 = 150;
         s.st2 = 420;
         s.ft1 = -20;
         s.ft2 = -10;
     }},
    {"no life orientation, no ribs",
     [](Scenario& s) {
         s.orientation = false;
         s.ribbing = false;
     }},
    {"150 stages, scale 3, shaded",
     [](Scenario& s) {
         s.stages = 150;
         s.scale = 3;
         s.shade = true;
     }},
};

struct MatrixWindow {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RasterSurface surface{1000, 760};
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic = std::make_unique<MainWindowLogic>(*model, surface, log);
    WindowScenario scenario{*logic};
    MatrixWindow() { logic->Load(); }

    std::string results() const {
        std::ostringstream out;
        WriteRunSummary(out, *model, logic->run);
        WriteStageTables(out, *model, logic->run, logic->run.lastBuiltStage);
        return out.str();
    }
};

std::string sessionResults(const Session& session) {
    std::ostringstream out;
    WriteSummary(out, session);
    WriteStageTables(out, *session.model, *session.run, session.run->lastBuiltStage);
    return out.str();
}

// The sweep row a grown session stands for.
std::string rowOf(const Session& session, const std::vector<double>& values) {
    SweepRow row;
    row.values = values;
    row.computed = true;
    row.error = session.runtimeError;
    row.shownStage = session.model->shownStage;
    row.orientationAngle = session.run->orientationAngle;
    row.meanDensity = session.run->meanDensity;
    row.ptRatio = session.run->ptRatio;
    row.stabilityIndex = session.run->stabilityIndex;
    row.ribs = CountRibs(*session.run);
    return SweepCsvRow(row);
}

}  // namespace

TEST(GalleryScenarioMatrix, WindowSweepPointAndSessionGrowTheSameShell) {
    const std::vector<Scenario> forms = galleryForms();
    ASSERT_GE(forms.size(), 8u);
    SweepAxis body, ft1;
    std::string error;
    ASSERT_TRUE(SweepAxisNamed("density_body", body, error)) << error;
    ASSERT_TRUE(SweepAxisNamed("ft1", ft1, error)) << error;

    MatrixWindow w;  // one window for the whole matrix: each form opens over the one before
    Session used;
    for (size_t f = 0; f < forms.size(); ++f) {
        for (const OptionSet& set : kOptionSets) {
            Scenario s = forms[f];
            set.apply(s);
            SCOPED_TRACE(s.name + ", " + set.name);

            Session fresh;
            GrowScenario(s, fresh);
            const std::string expected = sessionResults(fresh);

            // The window, after another form grown in it.
            Scenario before = forms[(f + 1) % forms.size()];
            before.runs = 2;
            w.scenario.open(before);
            w.scenario.open(s);
            EXPECT_EQ(w.logic->statusLine.caption(), fresh.runtimeError);
            EXPECT_EQ(w.results(), expected);

            // A session that grew something else first.
            GrowScenario(before, used);
            GrowScenario(s, used);
            EXPECT_EQ(sessionResults(used), expected);

            // A sweep point whose values are the scenario's own: the base the
            // sweep is run on holds other values.
            Scenario base = s;
            base.densityBody = 1.45;
            base.ft1 = -50;
            const std::vector<double> values{s.densityBody, double(s.ft1)};
            const SweepRow row = RunSweepValues(SessionOptionsFor(base), {body, ft1}, values);
            EXPECT_EQ(SweepCsvRow(row), rowOf(fresh, values));
        }
    }
}

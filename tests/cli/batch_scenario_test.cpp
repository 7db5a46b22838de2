// ammonite-batch --scenario / --save-scenario / --scenario-from: one file
// that says "this shell", and results that carry it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/scenario_session.h"
#include "app/sweep.h"
#include "model/scenario_file.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

class BatchScenario : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("ammonite-batch-scenario-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    int batch(const std::string& args, std::string& err) {
        const std::string cmd = std::string("\"") + AMMONITE_BATCH + "\" " + args + " 2>stderr.txt >stdout.txt";
        const int rc = std::system(cmd.c_str());
        err = read("stderr.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    static std::string read(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::ostringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static void write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path old_, dir_;
};

// A shell unlike the default: its own profiles, two STARTs, settings moved.
Scenario hamitesLike() {
    Scenario s;
    s.name = "test";
    s.alpha = 1.01;
    s.finalStage = 300;
    s.gamma = {{0, 4}};
    s.curvature = {{0, 0}, {60, 0}, {61, 0.935}, {75, 0.935}, {76, 0}, {300, 0}};
    s.torsion = {{0, 0.01}};
    s.beta = {{0, 12}};
    s.stages = 300;
    s.runs = 2;
    s.scale = 10;
    s.origin = {500, 680};
    s.view = {1, 1, 0};
    s.densityAir = 0.7;
    s.st1 = 150;
    s.ft2 = -20;
    return s;
}

const char* const kOutputs = "--tables T.csv --summary S.txt --log L.txt --png P.png --svg V.svg --stl M.stl";

}  // namespace

TEST_F(BatchScenario, DefaultScenarioGivesTheDefaultRunByteForByte) {
    write("default.toml", ScenarioToml(Scenario{}));
    std::string err;
    ASSERT_EQ(batch(std::string(kOutputs) + " --save-scenario saved.toml", err), 0) << err;
    EXPECT_EQ(read("saved.toml"), ScenarioToml(Scenario{}));
    fs::create_directory("b");
    fs::current_path("b");
    ASSERT_EQ(batch(std::string("--scenario ../default.toml ") + kOutputs, err), 0) << err;
    fs::current_path("..");
    for (const char* f : {"T.csv", "S.txt", "L.txt", "P.png", "V.svg", "M_phragmocone.stl", "M_volumes.txt"})
        EXPECT_EQ(read(f), read(std::string("b/") + f)) << f;
}

TEST_F(BatchScenario, OptionsOverrideTheScenarioAndSaveTheEffectiveOne) {
    write("h.toml", ScenarioToml(hamitesLike()));
    std::string err;
    ASSERT_EQ(batch("--scenario h.toml --stages 200 --runs 1 --densities 0.5,1.4 --save-scenario e.toml", err), 0)
        << err;
    Scenario effective;
    std::string error;
    ASSERT_TRUE(ReadScenarioFile("e.toml", effective, error)) << error;
    // The options changed what they name; the rest is the scenario's, its name too.
    Scenario expected = effective;
    expected.stages = hamitesLike().stages;
    expected.runs = hamitesLike().runs;
    expected.densityAir = hamitesLike().densityAir;
    expected.densityBody = hamitesLike().densityBody;
    expected.curvature = hamitesLike().curvature;
    EXPECT_EQ(effective.name, "test");
    EXPECT_EQ(effective.stages, 200);
    EXPECT_EQ(effective.runs, 1);
    EXPECT_EQ(effective.densityAir, 0.5);
    EXPECT_EQ(effective.densityBody, 1.4);
    EXPECT_EQ(effective.gamma, (std::vector<ScenarioPoint>{{0, 4}, {300, 4}}));  // a constant stays one
    expected.gamma = hamitesLike().gamma;
    expected.torsion = hamitesLike().torsion;
    expected.beta = hamitesLike().beta;
    EXPECT_TRUE(expected == hamitesLike()) << ScenarioToml(expected);
    // The summary on standard output is the scenario's own growth.
    Session session;
    GrowScenario(effective, session);
    std::ostringstream summary;
    WriteSummary(summary, session);
    EXPECT_EQ(read("stdout.txt"), summary.str());
}

TEST_F(BatchScenario, EveryResultRegrowsTheSameShell) {
    write("h.toml", ScenarioToml(hamitesLike()));
    std::string err;
    ASSERT_EQ(batch(std::string("--scenario h.toml ") + kOutputs, err), 0) << err;
    for (const char* carrier : {"P.png", "V.svg", "M_volumes.txt", "h.toml"}) {
        const fs::path sub = fs::path("from") / carrier;
        fs::create_directories(sub);
        ASSERT_EQ(batch(std::string("--scenario-from ") + carrier + " --tables " + sub.string() + "/T.csv --summary " +
                            sub.string() + "/S.txt --png " + sub.string() + "/P.png",
                        err),
                  0)
            << carrier << ": " << err;
        EXPECT_EQ(read(sub.string() + "/T.csv"), read("T.csv")) << carrier;
        EXPECT_EQ(read(sub.string() + "/S.txt"), read("S.txt")) << carrier;
        EXPECT_EQ(read(sub.string() + "/P.png"), read("P.png")) << carrier;
    }
}

TEST_F(BatchScenario, BadScenarioIsRefusedBeforeAnythingRuns) {
    write("bad.toml", "format = 1\nstages = 1200.5\n");
    std::string err;
    EXPECT_EQ(batch("--scenario bad.toml --summary S.txt", err), 2);
    EXPECT_NE(err.find("bad.toml: stages = 1200.5: must be a whole number from 1 to 3999"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists("S.txt"));
    write("P.png", "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(batch("--scenario-from P.png", err), 2);
    EXPECT_NE(err.find("P.png: the picture carries no scenario"), std::string::npos) << err;
    EXPECT_EQ(batch("--scenario a.toml --scenario-from b.png", err), 2);
    EXPECT_NE(err.find("cannot be combined"), std::string::npos) << err;
}

TEST_F(BatchScenario, SweepRowsGrowFromTheScenarioAndItsFixedPartIsSaved) {
    write("h.toml", ScenarioToml(hamitesLike()));
    std::string err;
    ASSERT_EQ(batch("--scenario h.toml --sweep density_body=1.1:1.5:3 --jobs 1 --sweep-out W.csv "
                    "--save-scenario W.csv.scenario.toml",
                    err),
              0)
        << err;
    Scenario fixed;
    std::string error;
    ASSERT_TRUE(ReadScenarioFile("W.csv.scenario.toml", fixed, error)) << error;
    // The middle row, grown as a scenario of its own, gives the row's numbers.
    fixed.densityBody = 1.3;
    Session session;
    GrowScenario(fixed, session);
    SweepAxis axis;
    ASSERT_TRUE(SweepAxisNamed("density_body", axis, error));
    const SweepRow row = RunSweepValues(SessionOptionsFor(hamitesLike()), {axis}, {1.3});
    EXPECT_EQ(row.shownStage, session.model->shownStage);
    EXPECT_EQ(row.meanDensity, session.run->meanDensity);
    EXPECT_NE(read("W.csv").find(SweepCsvRow(row)), std::string::npos) << read("W.csv");
}

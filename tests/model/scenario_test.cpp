#include <gtest/gtest.h>

#include "model/growth.h"
#include "model/scenario.h"
#include "model/scenario_file.h"

using namespace ammonite;

namespace ammonite {
// A scenario in a failure message: its file text.
inline void PrintTo(const Scenario& s, std::ostream* os) { *os << "\n" << ScenarioToml(s); }
}  // namespace ammonite

namespace {

// A refusal of `toml` (after the format line) that names `parts`.
void expectRefused(const std::string& body, std::initializer_list<const char*> parts) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenarioToml("format = 1\n" + body, s, error, "f.toml")) << body;
    for (const char* part : parts) EXPECT_NE(error.find(part), std::string::npos) << error << " lacks " << part;
    EXPECT_EQ(s, Scenario{}) << "a refused file changed the scenario";
}

Scenario unusual() {
    Scenario s;
    s.name = "test \"quoted\" \\ name";
    s.heading = "Heading with ünïcode α";
    s.description = "two\nlines\tand a tab";
    s.alpha = 1.0 + 1e-12;
    s.finalStage = 2500;
    s.gamma = {{0, 0.1 + 0.2}};
    s.curvature = {{0, 1}, {10.5, -0.3333333333333333}, {10.5, 2}, {2500, 1e-300}};
    s.torsion = {{0, 0}, {100, 0.147}, {2500, -7}};
    s.beta.clear();
    for (int i = 0; i < 51; ++i) s.beta.emplace_back(i == 50 ? 2500 : i * 10, 12 + i / 7.0);
    s.stages = 3999;
    s.runs = 0;
    s.shade = true;
    s.scale = 2.5;
    s.origin = {-600, 1400};
    s.view = {1, 1, 1};
    s.light = {0, -1e-5, 8e14};
    s.densityAir = 0;
    s.densityBody = 1e12;
    s.ribbing = false;
    s.orientation = false;
    s.st1 = 0;
    s.st2 = 1000;
    s.ft1 = -80;
    s.ft2 = -1;
    s.mmPerUnit = 0.1 + 0.2;
    s.firstMeasuredStage = 37;
    return s;
}

}  // namespace

TEST(Scenario, DefaultsAreTheWindowLoadStep) {
    ModelState model;
    RunState run;
    LoadModelDefaults(model, run);
    ResetRegulation(model, run, ThresholdBars{});
    Scenario fromModel;
    std::string error;
    ASSERT_TRUE(ScenarioProfilesFromModel(model, fromModel, error)) << error;
    EXPECT_EQ(fromModel, Scenario{});
    EXPECT_EQ(Scenario{}.stages, model.shownStage);
    EXPECT_TRUE(CheckScenario(Scenario{}, error)) << error;

    ModelState applied;
    ApplyScenarioProfiles(Scenario{}, applied);
    EXPECT_EQ(applied.curvatureProfile, model.curvatureProfile);
    EXPECT_EQ(applied.gammaProfile, model.gammaProfile);
    EXPECT_EQ(applied.alpha, model.alpha);
    EXPECT_EQ(applied.stageRange, model.stageRange);
}

TEST(Scenario, FileRoundTripIsIdentical) {
    for (const Scenario& s : {Scenario{}, unusual()}) {
        std::string error;
        ASSERT_TRUE(CheckScenario(s, error)) << error;
        const std::string text = ScenarioToml(s);
        Scenario back;
        ASSERT_TRUE(ParseScenarioToml(text, back, error)) << error << "\n" << text;
        EXPECT_EQ(back, s) << text;
        EXPECT_EQ(ScenarioToml(back), text);
    }
}

TEST(Scenario, MissingKeysKeepDefaultsAndCommentsAreAllowed) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenarioToml("# mine\nformat = 1\nstages = 300 # short\nC = [[0, 0.2]]\n", s, error)) << error;
    EXPECT_EQ(s.stages, 300);
    EXPECT_EQ(s.alpha, Scenario{}.alpha);
    // A one-point profile is a constant over the whole stage range.
    ModelState model;
    ApplyScenarioProfiles(s, model);
    EXPECT_EQ(model.curvatureProfile.count, 1);
    EXPECT_EQ(model.curvatureProfile.stages[1], 3000);
    EXPECT_EQ(model.curvatureProfile.values[1], 0.2);
    // A number given as the text of a whole number is taken.
    ASSERT_TRUE(ParseScenarioToml("format = 1\nstages = \"1e3\"\n", s, error)) << error;
    EXPECT_EQ(s.stages, 1000);
}

// A fitted shell's scenario says how it lies over its specimen; a shell no
// fit made writes neither key, so its file is what it always was, and a file
// without them reads as no fit.
TEST(Scenario, SpecimenScaleIsWrittenOnlyForAFit) {
    const std::string plain = ScenarioToml(Scenario{});
    EXPECT_EQ(plain.find("mm_per_unit"), std::string::npos);
    EXPECT_EQ(plain.find("first_measured_stage"), std::string::npos);
    EXPECT_EQ(plain.substr(plain.size() - 8), "ft2 = 0\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenarioToml("format = 1\nstages = 300\n", s, error)) << error;
    EXPECT_EQ(s.mmPerUnit, 0);
    EXPECT_EQ(s.firstMeasuredStage, 0);
    ASSERT_TRUE(ParseScenarioToml("format = 1\nmm_per_unit = 2.5\nfirst_measured_stage = 40\n", s, error)) << error;
    EXPECT_EQ(s.mmPerUnit, 2.5);
    EXPECT_EQ(s.firstMeasuredStage, 40);
    EXPECT_NE(s, Scenario{});
    // The scale alone (a specimen measured from the apex).
    s.firstMeasuredStage = 0;
    const std::string text = ScenarioToml(s);
    EXPECT_NE(text.find("mm_per_unit = 2.5\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("first_measured_stage"), std::string::npos) << text;
    expectRefused("mm_per_unit = -1\n", {"mm_per_unit = -1", "from 0 to 1e6"});
    expectRefused("mm_per_unit = \"two\"\n", {"mm_per_unit"});
    expectRefused("first_measured_stage = 201\n", {"first_measured_stage = 201", "0 to 200"});
    expectRefused("first_measured_stage = 3.5\n", {"first_measured_stage = 3.5", "whole"});
}

TEST(Scenario, RefusalsNameTheInputTheValueAndWhatIsAllowed) {
    expectRefused("stages = \"abc\"\n", {"f.toml", "stages", "\"abc\"", "whole number from 1 to 3999"});
    expectRefused("stages = -5\n", {"stages = -5", "from 1 to 3999"});
    expectRefused("stages = \"\"\n", {"stages = \"\""});
    expectRefused("stages = \"1,200\"\n", {"stages = \"1,200\""});
    expectRefused("stages = \"12abc\"\n", {"stages = \"12abc\""});
    expectRefused("stages = 1200.5\n", {"stages = 1200.5", "whole"});
    expectRefused("stages = 0\n", {"stages = 0"});
    expectRefused("runs = 100001\n", {"runs = 100001", "0 to 100000"});
    expectRefused("alpha = nan\n", {"alpha = nan"});
    expectRefused("alpha = inf\n", {"alpha = inf"});
    expectRefused("scale = 1e308\n", {"scale = 1", "922337203685477"});
    expectRefused("density_air = -0.1\n", {"density_air = -0.1", "from 0 to"});
    expectRefused("view = [1, 2]\n", {"view = [1, 2]", "3 numbers"});
    expectRefused("origin = [\"a\", 2]\n", {"origin"});
    expectRefused("ribbing = 1\n", {"ribbing = 1", "true or false"});
    expectRefused("st1 = 1001\n", {"st1 = 1001", "0 to 1000"});
    expectRefused("ft2 = 5\n", {"ft2 = 5", "-80 to 0"});
    expectRefused("curvature = [[0, 1]]\n", {"unknown key 'curvature'", "C"});
    expectRefused("[view]\nx = 1\n", {"view", "table"});
    // Profiles: points, order, ends.
    expectRefused("C = []\n", {"C = []", "1 to 51"});
    expectRefused("C = [[1500, 0.2]]\n", {"C starts at stage 1500", "stage 0"});
    expectRefused("C = [[0, 1], [300, 0.5], [200, 0.4], [3000, 0]]\n", {"stage 200 follows stage 300"});
    expectRefused("C = [[0, 1], [3500, 0]]\n", {"C", "3500", "final_stage (3000)"});
    expectRefused("C = [[0, 1], [2000, 0]]\n", {"C ends at stage 2000", "final_stage (3000)"});
    expectRefused("final_stage = 2000\n", {"gamma", "3000", "final_stage (2000)"});
    expectRefused("gamma = [[0, 1e13], [3000, 4]]\n", {"gamma = ", "-1e12"});
    std::string many = "beta = [";
    for (int i = 0; i < 52; ++i) many += "[" + std::to_string(i == 51 ? 3000 : i) + ", 12],";
    expectRefused(many + "]\n", {"beta", "1 to 51"});
}

TEST(Scenario, FileLevelRefusals) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenarioToml("stages = 5\n", s, error, "a.toml"));
    EXPECT_NE(error.find("no format key"), std::string::npos) << error;
    EXPECT_FALSE(ParseScenarioToml("format = 2\nstages = 5\n", s, error, "a.toml"));
    EXPECT_NE(error.find("format = 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseScenarioToml("format = 1\nstages = = 5\n", s, error, "a.toml"));
    EXPECT_NE(error.find("a.toml: line 2"), std::string::npos) << error;
}

TEST(Scenario, ResultFilesCarryTheScenario) {
    const Scenario s = unusual();
    const std::string toml = ScenarioToml(s);
    // A minimal PNG: signature, IHDR, IEND.
    std::string png("\x89PNG\r\n\x1a\n", 8);
    png += std::string("\0\0\0\x0dIHDR", 8) + std::string(13, '\1') + std::string(4, '\2');
    png += std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    const std::string tagged = PngWithScenario(png, toml);
    EXPECT_EQ(tagged.substr(0, 33), png.substr(0, 33));
    EXPECT_EQ(tagged.substr(tagged.size() - 12), png.substr(png.size() - 12));
    const std::string svg = "<?xml version=\"1.0\"?>\n<svg>\n" + SvgScenarioMetadata(toml) + "<g/></svg>\n";
    const std::string sidecar = "unit=mm\ngenerator=x\n" + SidecarScenarioBlock(toml);
    for (const std::string& carrier : {tagged, svg, sidecar, toml}) {
        std::string text, error;
        ASSERT_TRUE(ScenarioTextFromBytes(carrier, text, error)) << error;
        EXPECT_EQ(text, toml);
    }
    std::string text, error;
    EXPECT_FALSE(ScenarioTextFromBytes(png, text, error));
    EXPECT_NE(error.find("no scenario"), std::string::npos);
    EXPECT_FALSE(ScenarioTextFromBytes("<svg></svg>", text, error));
}

// The inclusive limits of the profile file reader, each loaded at its exact
// bound and refused one past it: a limit moved by one in either direction
// fails here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "model/profile_file.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

// A model whose file holds every limit at once, changed by `edit`; the file
// is written by the program's own writer, which does not check limits.
std::string fileWith(const std::function<void(ModelState&)>& edit) {
    ModelState m;
    m.setDefaultProfiles();
    m.alpha = 1.005;
    m.stageRange = {0, 3000};
    edit(m);
    return FormatProfileFile(m);
}

struct Loaded {
    bool ok = false;
    std::string error;
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
};

Loaded load(const std::string& bytes) {
    const fs::path path = fs::temp_directory_path() / ("ammonite-limits-" + std::to_string(::getpid()) + ".txt");
    std::ofstream(path, std::ios::binary) << bytes;
    Loaded out;
    out.model->setDefaultProfiles();
    out.ok = ReadProfileFile(path.string(), *out.model, out.error);
    fs::remove(path);
    return out;
}

// A profile of `count` + 1 points over stages 0..count.
void pointsUpTo(ParameterProfile& p, int count) {
    p.count = static_cast<std::int16_t>(count);
    for (int i = 0; i <= std::min(count, ParameterProfile::kMaxCount); ++i) p.setPoint(i, i, 0.5);
}

}  // namespace

TEST(ProfileFileLimits, EachInclusiveBoundLoadsAndOnePastIsRefused) {
    struct Bound {
        const char* what;
        std::function<void(ModelState&)> atBound, onePast;
        std::function<bool(const ModelState&)> loadedAsWritten;
        const char* refusal;
    };
    const std::vector<Bound> bounds = {
        {"final stage 4000", [](ModelState& m) { m.stageRange[1] = 4000; },
         [](ModelState& m) { m.stageRange[1] = 4001; },
         [](const ModelState& m) { return m.stageRange[1] == 4000 && m.lastStage == 4000; },
         "the final stage 4001 is outside 0..4000"},
        {"first stage 0", [](ModelState& m) { m.stageRange[0] = 0; },
         [](ModelState& m) { m.stageRange[0] = -1; },
         [](const ModelState& m) { return m.stageRange[0] == 0; }, "the first stage -1 is outside 0..4000"},
        {"point stage 4000", [](ModelState& m) { m.torsionProfile.setPoint(1, 4000, 0); },
         [](ModelState& m) { m.torsionProfile.setPoint(1, 4001, 0); },
         [](const ModelState& m) { return m.torsionProfile.stages[1] == 4000; }, "point 1 stage 4001 is outside"},
        {"point stage 0", [](ModelState& m) { m.torsionProfile.setPoint(0, 0, 0); },
         [](ModelState& m) { m.torsionProfile.setPoint(0, -1, 0); },
         [](const ModelState& m) { return m.torsionProfile.stages[0] == 0; }, "point 0 stage -1 is outside"},
        {"count 50", [](ModelState& m) { pointsUpTo(m.curvatureProfile, 50); },
         [](ModelState& m) { pointsUpTo(m.curvatureProfile, 51); },
         [](const ModelState& m) { return m.curvatureProfile.count == 50 && m.curvatureProfile.stages[50] == 50; },
         "count 51 is not a whole number from 0 to 50"},
        {"count 0", [](ModelState& m) { pointsUpTo(m.curvatureProfile, 0); },
         [](ModelState& m) { m.curvatureProfile.count = -1; },
         [](const ModelState& m) { return m.curvatureProfile.count == 0; },
         "count -1 is not a whole number from 0 to 50"},
    };
    for (const Bound& b : bounds) {
        Loaded at = load(fileWith(b.atBound));
        EXPECT_TRUE(at.ok) << b.what << ": " << at.error;
        EXPECT_TRUE(at.ok && b.loadedAsWritten(*at.model)) << b.what;
        Loaded past = load(fileWith(b.onePast));
        EXPECT_FALSE(past.ok) << b.what;
        EXPECT_NE(past.error.find(b.refusal), std::string::npos) << b.what << ": " << past.error;
    }
}

TEST(ProfileFileLimits, AFileOfExactlyTheLargestSizeLoadsAndOneByteMoreIsRefused) {
    const std::string file = fileWith([](ModelState&) {});
    // Blank lines after the last record are not read as fields.
    const std::string atLimit = file + std::string(kMaxProfileFileBytes - file.size(), '\n');
    Loaded at = load(atLimit);
    EXPECT_TRUE(at.ok) << at.error;
    Loaded past = load(atLimit + "\n");
    EXPECT_FALSE(past.ok);
    EXPECT_NE(past.error.find("is larger than 1 MiB"), std::string::npos) << past.error;
}

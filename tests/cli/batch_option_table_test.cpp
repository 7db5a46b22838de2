// The batch tool's command line is the option table's: every batch option of
// the table is known to the parser and takes a value its entry allows.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli/batch_options.h"
#include "core/numeric.h"
#include "session/option_table.h"

namespace ammonite {
namespace {

// A value the entry allows.
std::string AllowedValue(const OptionEntry& e) {
    switch (e.type) {
    case OptionType::Flag: return "";
    case OptionType::BoxText: return "3";
    case OptionType::Switch: return e.choices.at(0);
    case OptionType::Path: return "file.txt";
    case OptionType::SweepAxis: return "alpha=1.001:1.002:2";
    case OptionType::Numbers:
    case OptionType::Wholes: break;
    }
    std::string out;
    for (int i = 0; i < e.count; ++i) {
        const ValueRange* r = e.rangeOf(static_cast<size_t>(i));
        const double v = !r || r->contains(1) ? 1 : r->contains(r->lo) ? r->lo : r->hi;
        out += (i ? "," : "") + formatNumber(v);
    }
    return out;
}

TEST(BatchOptionTable, EveryTableOptionIsParsed) {
    for (const OptionEntry* e : OptionsFor(kBatchOption)) {
        std::vector<std::string> args = {"--" + e->name};
        if (e->type != OptionType::Flag) args.push_back(AllowedValue(*e));
        // Texts a film's or a fit's own parser reads stand for themselves.
        static const std::map<std::string, std::string> ownTexts = {
            {"film", "film.gif"},   {"film-kind", "both"}, {"film-size", "1280x720"}, {"film-fps", "30"},
            {"film-seconds", "10"}, {"fit-knots", "6"},    {"fit-budget", "5"},       {"fit-beta", "12"}};
        if (auto own = ownTexts.find(e->name); own != ownTexts.end()) args.back() = own->second;
        // Options that act on a sweep, a film or a fit only are given one.
        if (e->name == "sweep-out" || e->name == "jobs") args.insert(args.end(), {"--sweep", "alpha=1:2:2"});
        if (e->name.rfind("film-", 0) == 0 && e->name != "film-frames") args.insert(args.end(), {"--film-frames", "f"});
        if (e->name.rfind("fit-", 0) == 0) args.insert(args.end(), {"--fit", "s.csv"});
        batch::Options options;
        std::string error;
        EXPECT_TRUE(batch::ParseArguments(args, options, error)) << e->name << ": " << error;
    }
}

TEST(BatchOptionTable, LimitsComeFromTheTable) {
    batch::Options options;
    std::string error;
    const std::string tooMany = std::to_string(static_cast<long>(kRunsRange.hi) + 1);
    EXPECT_FALSE(batch::ParseArguments({"--runs", tooMany}, options, error));
    EXPECT_EQ(error, "bad value '" + tooMany + "' for --runs (see --help)");
    batch::Options bars;
    error.clear();
    EXPECT_TRUE(batch::ParseArguments({"--thresholds", "1000,0,-80,0"}, bars, error)) << error;
    EXPECT_EQ(bars.thresholds, (std::array<int, 4>{1000, 0, -80, 0}));
}

}  // namespace
}  // namespace ammonite

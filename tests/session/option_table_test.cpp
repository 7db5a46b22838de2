// The table of options: its readers find every entry, each value is read by
// the entry's own rule, and the usage text lists what the table holds.
#include "session/option_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "session/sweep.h"

namespace ammonite {
namespace {

bool Reads(const char* name, const std::string& text, OptionValue& value, std::string& reason) {
    const OptionEntry* e = FindOption(name, kBatchOption);
    EXPECT_NE(e, nullptr) << name;
    return e && ReadOptionText(*e, std::string("--") + name, text, value, reason);
}

TEST(OptionTable, EveryEntryIsComplete) {
    std::set<std::string> batch, sweep;
    for (const OptionEntry& e : OptionTable()) {
        EXPECT_FALSE(e.name.empty());
        EXPECT_NE(e.uses, 0u) << e.name;
        EXPECT_FALSE(e.help.empty()) << e.name;
        EXPECT_EQ(e.oneLineHelp().find('\n'), std::string::npos) << e.name;
        if (e.uses & kBatchOption) {
            EXPECT_TRUE(batch.insert(e.name).second) << "--" << e.name << " twice";
            EXPECT_FALSE(e.group.empty()) << e.name;
            EXPECT_EQ(e.metavar.empty(), e.type == OptionType::Flag) << e.name;
        }
        if (e.uses & kSweepInput) {
            EXPECT_TRUE(sweep.insert(e.name).second) << e.name;
            EXPECT_NE(e.target, SweepTarget::None) << e.name;
            ASSERT_EQ(e.ranges.size(), 1u) << e.name;
            // The morphospace window's first range lies inside what a sweep allows.
            EXPECT_TRUE(e.ranges[0].contains(std::stod(e.menuFrom))) << e.name;
            EXPECT_TRUE(e.ranges[0].contains(std::stod(e.menuTo))) << e.name;
        }
        for (const ValueRange& r : e.ranges) EXPECT_LE(r.lo, r.hi) << e.name;
        if (!e.ranges.empty() && e.ranges.size() != 1) {
            EXPECT_EQ(e.ranges.size(), static_cast<size_t>(e.count));
        }
    }
    // Every keyword of the Python package is a batch option of the same name.
    for (const OptionEntry* e : OptionsFor(kGrowKeyword)) EXPECT_TRUE(batch.count(e->name)) << e->name;
}

TEST(OptionTable, ValuesAreReadByTheirEntrysRule) {
    OptionValue v;
    std::string reason;
    // Box texts: what the box would take, refused with the box's range named.
    EXPECT_TRUE(Reads("stages", "12abc", v, reason));
    EXPECT_EQ(v.numbers.at(0), 12);
    EXPECT_FALSE(Reads("stages", "1e9", v, reason));
    EXPECT_EQ(reason, "--stages: 1e9 is too large (at most 32767)");
    // Lists: the count, every value a number, the ranges per value.
    EXPECT_TRUE(Reads("view", "1,-2.5,3", v, reason));
    EXPECT_EQ(v.numbers, (std::vector<double>{1, -2.5, 3}));
    EXPECT_FALSE(Reads("view", "1,2", v, reason));
    EXPECT_FALSE(Reads("view", "1,2,9e14", v, reason));  // the model field's bound is open
    EXPECT_TRUE(Reads("view", "1,2,8.9e14", v, reason));
    EXPECT_TRUE(Reads("thresholds", "0,1000,-80,0", v, reason));
    EXPECT_FALSE(Reads("thresholds", "0,1001,-80,0", v, reason));
    EXPECT_FALSE(Reads("thresholds", "0,100,1,0", v, reason));
    EXPECT_FALSE(Reads("thresholds", "0,100.5,-1,0", v, reason));
    EXPECT_FALSE(Reads("densities", "1,-0.1", v, reason));
    EXPECT_EQ(reason, "--densities: 1,-0.1: a density cannot be negative");
    // Whole numbers, their range and a divisor rule.
    EXPECT_TRUE(Reads("runs", "100000", v, reason));
    EXPECT_FALSE(Reads("runs", "100001", v, reason));
    EXPECT_TRUE(reason.empty());
    EXPECT_TRUE(Reads("mesh-ring-points", "120", v, reason));
    EXPECT_FALSE(Reads("mesh-ring-points", "7", v, reason));
    EXPECT_FALSE(Reads("mesh-scale", "0", v, reason));  // open at 0
    EXPECT_TRUE(Reads("mesh-scale", "1e6", v, reason));
    // Switches and paths.
    EXPECT_TRUE(Reads("ribbing", "off", v, reason));
    EXPECT_FALSE(v.on);
    EXPECT_FALSE(Reads("ribbing", "yes", v, reason));
    EXPECT_FALSE(Reads("tables", "", v, reason));
    // -h is the help's other spelling.
    ASSERT_NE(FindOption("-h", kBatchOption), nullptr);
    EXPECT_EQ(FindOption("-h", kBatchOption)->name, "help");
    EXPECT_EQ(FindOption("-h", kGrowKeyword), nullptr);
}

TEST(OptionTable, SweepAndMenuReadTheSameInputs) {
    std::string names;
    for (const OptionEntry* e : OptionsFor(kSweepInput)) names += (names.empty() ? "" : ", ") + e->name;
    EXPECT_EQ(SweepNames(), names);
    EXPECT_EQ(MorphoMenuInputs().size(), OptionsFor(kSweepInput).size());
    EXPECT_EQ(MorphoMenuInputs().front()->name, "alpha");
    // A sweep refuses a value outside the table's range, saying which.
    SweepAxis axis;
    std::string error;
    ASSERT_TRUE(SweepAxisNamed("ft1", axis, error));
    double value = 1;
    EXPECT_FALSE(CheckSweepValue(axis, value, error));
    EXPECT_EQ(error, "ft1 must lie in " + RangeText(kFatigueBarRange) + ", not 1");
    EXPECT_FALSE(ParseSweepAxis("alpha=1:2:" + std::to_string(static_cast<long>(kSweepStepsRange.hi) + 1), axis, error));
}

TEST(OptionTable, UsageListsEveryBatchOptionOnce) {
    const std::string usage = BatchOptionsUsage();
    for (const OptionEntry* e : OptionsFor(kBatchOption)) {
        const std::string head = "  --" + e->name + (e->metavar.empty() ? "" : " " + e->metavar);
        const auto at = usage.find(head + ' ');
        const auto alone = usage.find(head + '\n');
        EXPECT_TRUE(at != std::string::npos || alone != std::string::npos) << e->name;
    }
    EXPECT_NE(usage.find("A grid has at most " + std::to_string(kMaxSweepPoints) + " points."), std::string::npos);
}

}  // namespace
}  // namespace ammonite

// ammonite-batch --fit: the fitted shell's outputs, the residuals file, and
// the refusals of bad specimens and of options that need --fit.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <iterator>

#include "support/batch_process.h"

namespace {

using batch_test::parseSummary;
using batch_test::runBatch;

std::string coil(const QTemporaryDir& dir) {
    const std::string path = dir.filePath("coil.csv").toStdString();
    std::ofstream out(path);
    out << "x_mm,y_mm,radius_mm\n";
    for (int i = 0; i < 40; ++i) {
        const double t = 2.5 * 3.14159 * i / 39;
        out << (5 + 3 * t) * std::cos(t) << ',' << (5 + 3 * t) * std::sin(t) << ',' << 0.8 + 0.25 * t << '\n';
    }
    return path;
}

TEST(BatchFit, FitsTheSpecimenAndDescribesTheFittedShell) {
    QTemporaryDir dir;
    const std::string specimen = coil(dir);
    const QString residuals = dir.filePath("res.csv"), tables = dir.filePath("t.csv");
    const auto r = runBatch({"--fit", QString::fromStdString(specimen), "--fit-knots", "4", "--fit-out", residuals,
                             "--tables", tables});
    ASSERT_EQ(r.status, 0) << r.err;
    auto s = parseSummary(r.out);
    EXPECT_TRUE(s["fit_verdict"] == "good" || s["fit_verdict"] == "rough") << r.out;
    EXPECT_EQ(s["fit_last_stage"], s["last_stage"]);
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1, 10), "generator=");
    std::ifstream in(residuals.toStdString());
    int lines = 0;
    for (std::string l; std::getline(in, l);) ++lines;
    EXPECT_EQ(lines, 41);
    EXPECT_NE(r.err.find("fit: "), std::string::npos);
}

// The saved scenario of a fit grows the fitted shell and says how it lies
// over the specimen; grown again (and saved again) it keeps both.
TEST(BatchFit, SavedScenarioCarriesTheScaleAndFirstStageOfTheFit) {
    QTemporaryDir dir;
    const std::string specimen = coil(dir);
    const QString saved = dir.filePath("fit.toml"), again = dir.filePath("again.toml");
    const auto r = runBatch({"--fit", QString::fromStdString(specimen), "--fit-knots", "4", "--save-scenario", saved});
    ASSERT_EQ(r.status, 0) << r.err;
    auto fit = parseSummary(r.out);
    std::ifstream in(saved.toStdString());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("mm_per_unit = " + fit["fit_mm_per_unit"] + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("first_measured_stage = " + fit["fit_first_stage"] + "\n"), std::string::npos) << text;
    const auto grown = runBatch({"--scenario", saved, "--save-scenario", again});
    ASSERT_EQ(grown.status, 0) << grown.err;
    auto s = parseSummary(grown.out);
    EXPECT_EQ(s["density_label"], fit["density_label"]);
    EXPECT_EQ(s["stability_index"], fit["stability_index"]);
    EXPECT_EQ(s["last_stage"], fit["fit_last_stage"]);
    std::ifstream in2(again.toStdString());
    const std::string text2((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text2, text);
}

TEST(BatchFit, RefusesBadSpecimensAndOptionsThatNeedAFit) {
    QTemporaryDir dir;
    const std::string bad = dir.filePath("bad.csv").toStdString();
    std::ofstream(bad) << "x_mm,y_mm\n0,0\n1,1\nnan,2\n";
    auto r = runBatch({"--fit", QString::fromStdString(bad)});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("row 4"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());

    r = runBatch({"--fit-knots", "8"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--fit-knots needs --fit"), std::string::npos);
    r = runBatch({"--fit", "x.csv", "--fit-knots", "13"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("4 to 12"), std::string::npos);
    r = runBatch({"--fit", "x.csv", "--sweep", "alpha=1.004:1.006:2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--fit cannot be combined with --sweep"), std::string::npos);
    r = runBatch({"--fit", "x.csv", "--fit-budget", "0"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace

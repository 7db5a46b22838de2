// Morphospace sweeps and the take-away files of ammonite-batch: the grid CSV
// against single runs of the same model, the refusals, and the SVG and mesh
// outputs.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_process.h"
#include "cli/batch_options.h"
#include "window_rules.h"
#include "session/sweep.h"
#include "model/growth.h"
#include "model/stage_results.h"

using namespace ammonite;

namespace {

using Outcome = batch_test::Result;
Outcome run(const QStringList& args) { return batch_test::runBatch(args); }

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::string cell;
        std::istringstream l(line);
        while (std::getline(l, cell, ',')) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        rows.push_back(cells);
    }
    return rows;
}

// The result columns of one run of the window's model with α and the
// body-chamber density set, as the sweep CSV writes them.
std::vector<std::string> resultsOfSingleRun(double alpha, double densityBody) {
    batch_test::WindowRules window;
    ModelState* model = window.model.get();
    model->densities[1] = densityBody;
    model->alpha = alpha;
    window.start();
    const RunState& r = *window.run;
    return {std::to_string(model->shownStage), NumberText(r.orientationAngle), NumberText(r.meanDensity),
            NumberText(100 * r.ptRatio),      NumberText(r.stabilityIndex),   std::to_string(CountRibs(r))};
}

}  // namespace

TEST(BatchSweep, GridOfAlphaAndBodyDensityMatchesSingleRuns) {
    QTemporaryDir dir;
    const QString csv = dir.filePath("sweep.csv");
    Outcome o = run({"--sweep", "alpha=1.004:1.006:2", "--sweep", "density_body=1.0:1.5:10", "--sweep-out", csv});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("20/20 points"), std::string::npos) << o.err;
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    auto rows = csvRows(f.readAll().toStdString());
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"alpha", "density_body", "shown_stage", "orientation_angle_deg",
                                                 "mean_density_g_cm3", "pt_ratio_percent", "stability_index", "ribs",
                                                 "error"}));
    // The first axis runs slowest; both ends of each range are exact.
    EXPECT_EQ(rows[1][0], "1.004");
    EXPECT_EQ(rows[1][1], "1");
    EXPECT_EQ(rows[10][1], "1.5");
    EXPECT_EQ(rows[11][0], "1.006");

    // Every point agrees with a run of its own, and a heavier body chamber
    // turns the shell: the orientation is not the same over the grid.
    std::map<std::string, int> angles;
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 9u) << i;
        EXPECT_EQ(rows[i][8], "") << i;
        // Every result column, each under its own header.
        const auto expected = resultsOfSingleRun(std::stod(rows[i][0]), std::stod(rows[i][1]));
        EXPECT_EQ(std::vector<std::string>(rows[i].begin() + 2, rows[i].end() - 1), expected) << "row " << i;
        ++angles[rows[i][3]];
        EXPECT_GT(std::stoi(rows[i][7]), 0);  // the regulated shell has ribs
    }
    EXPECT_GT(angles.size(), 10u);
    // Mean density grows with the body chamber's density.
    EXPECT_LT(std::stod(rows[1][4]), std::stod(rows[10][4]));
}

TEST(BatchSweep, OnePointEqualsThePlainRunAndJobsDoNotChangeResults) {
    Outcome plain = run({"--densities", "0.6,1.2"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    Outcome one = run({"--sweep", "density_body=1.2:1.2:1"});
    ASSERT_EQ(one.status, 0) << one.err;
    auto rows = csvRows(one.out);
    ASSERT_EQ(rows.size(), 2u);
    auto summary = batch_test::parseSummary(plain.out);
    EXPECT_EQ(std::stod(rows[1][5]), std::stod(summary["stability_index"]));
    EXPECT_EQ(rows[1][1], summary["shown_stage"]);

    // In process: one thread or two, the same rows.
    batch::Options options;
    std::string error;
    ASSERT_TRUE(batch::ParseArguments({"--sweep", "stages=100:400:4", "--sweep", "ft1=-80:0:3"}, options, error))
        << error;
    batch::SweepTiming t1, t2;
    SweepControl oneThread, twoThreads;
    oneThread.jobs = 1;
    twoThreads.jobs = 2;
    auto a = RunSweep(options, options.sweeps, oneThread, t1);
    auto b = RunSweep(options, options.sweeps, twoThreads, t2);
    ASSERT_EQ(a.size(), 12u);
    EXPECT_EQ(t2.threads, 2);
    std::ostringstream ca, cb;
    WriteSweepCsv(ca, options.sweeps, a);
    WriteSweepCsv(cb, options.sweeps, b);
    EXPECT_EQ(ca.str(), cb.str());
    EXPECT_EQ(a[0].shownStage, 99);  // "100" typed: the run ends one stage lower
}

// Rows streamed in grid order as they are done, none kept: the same rows as
// a kept grid, each once, and only a few points run ahead of the first row
// still missing.
TEST(BatchSweep, StreamedRowsComeInGridOrderFromASmallWindow) {
    batch::Options options;
    std::string error;
    ASSERT_TRUE(batch::ParseArguments({"--sweep", "stages=1:300:40"}, options, error)) << error;
    batch::SweepTiming timing;
    SweepControl kept;
    kept.jobs = 2;
    const std::vector<SweepRow> rows = RunSweep(options, options.sweeps, kept, timing);

    SweepControl streamed;
    streamed.jobs = 2;
    streamed.keepRows = false;
    std::vector<size_t> order;
    std::string csv = SweepCsvHeader(options.sweeps);
    size_t farthestAhead = 0;
    streamed.pointDone = [&](size_t index, const SweepRow&) {
        farthestAhead = std::max(farthestAhead, index - order.size());
    };
    streamed.rowInOrder = [&](size_t index, const SweepRow& row) {
        order.push_back(index);
        csv += SweepCsvRow(row);
    };
    EXPECT_TRUE(RunSweep(options, options.sweeps, streamed, timing).empty());
    ASSERT_EQ(order.size(), 40u);
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    std::ostringstream whole;
    WriteSweepCsv(whole, options.sweeps, rows);
    EXPECT_EQ(csv, whole.str());
    EXPECT_LE(farthestAhead, 4u * 2 + 4);

    // Cancelled from the start: every row still comes, saying so.
    std::atomic<bool> cancel{true};
    streamed.cancel = &cancel;
    streamed.pointDone = nullptr;
    order.clear();
    csv.clear();
    RunSweep(options, options.sweeps, streamed, timing);
    ASSERT_EQ(order.size(), 40u);
    EXPECT_NE(csv.find("1,,,,,,,\"cancelled\"\n"), std::string::npos) << csv.substr(0, 200);
}

TEST(BatchSweep, BadSweepsAndMixedOutputsAreRefused) {
    const std::vector<QStringList> bad = {
        {"--sweep", "alpha"},
        {"--sweep", "alpha=1:2"},
        {"--sweep", "colour=1:2:3"},
        {"--sweep", "alpha=1:2:0"},
        {"--sweep", "alpha=1:2:2.5"},
        {"--sweep", "st1=0:2000:3"},
        {"--sweep", "stages=0:10:2"},
        {"--sweep", "alpha=1:2:2", "--sweep", "beta=1:2:2", "--sweep", "gamma=1:2:2"},
        {"--sweep", "alpha=1:2:2", "--sweep", "alpha=1:3:2"},
        {"--sweep", "alpha=1:2:2", "--tables", "x.csv"},
        {"--sweep", "alpha=1:2:2", "--stl", "x.stl"},
        {"--sweep", "alpha=1:2:2", "--shade"},
        {"--sweep-out", "x.csv"},
        {"--jobs", "2"},
        {"--mesh-ring-points", "7"},
        {"--mesh-scale", "0"},
    };
    for (const QStringList& args : bad) {
        Outcome o = run(args);
        EXPECT_EQ(o.status, 2) << args.join(' ').toStdString();
        EXPECT_NE(o.err.find("ammonite-batch: "), std::string::npos) << args.join(' ').toStdString();
        EXPECT_EQ(o.out, "") << args.join(' ').toStdString();
    }
}

TEST(BatchSweep, PointsThatStopOnAnErrorSayWhyAndTheOthersStand) {
    // γ = 1 makes the regulation's rib spacing divide by zero; γ = 4 is fine.
    Outcome o = run({"--sweep", "gamma=1:4:2", "--stages", "300"});
    EXPECT_EQ(o.status, 1) << o.err;
    auto rows = csvRows(o.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[1].back(), "");
    EXPECT_EQ(rows[1][3], "");  // no results for a point that stopped
    EXPECT_EQ(rows[2].back(), "");
    EXPECT_NE(rows[2][3], "");
    EXPECT_NE(o.err.find("1 points stopped"), std::string::npos) << o.err;
}

TEST(BatchExports, SvgAndMeshesOfTheDefaultShell) {
    QTemporaryDir dir;
    Outcome o = run({"--svg", dir.filePath("w.svg"), "--stl", dir.filePath("shell.stl"), "--ply",
                     dir.filePath("shell.ply"), "--obj", dir.filePath("shell.obj"), "--mesh-ring-points", "36",
                     "--mesh-scale", "0.5"});
    ASSERT_EQ(o.status, 0) << o.err;
    for (const char* name : {"w.svg", "shell_phragmocone.stl", "shell_body_chamber.stl", "shell_phragmocone.ply",
                             "shell_body_chamber.ply", "shell.obj", "shell_volumes.txt"})
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name;
    QFile svg(dir.filePath("w.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray doc = svg.readAll();
    EXPECT_TRUE(doc.contains("<svg"));
    EXPECT_TRUE(doc.contains("<path"));
    EXPECT_FALSE(doc.contains("<image"));
    QFile side(dir.filePath("shell_volumes.txt"));
    ASSERT_TRUE(side.open(QIODevice::ReadOnly));
    EXPECT_TRUE(side.readAll().contains("mm_per_unit=0.5"));

    // Before a run can finish there is no shell: a message, status 1 kept
    // from the run's own error, no mesh file.
    Outcome failed = run({"--sweep-out", "x"});  // refused outright
    EXPECT_EQ(failed.status, 2);
    Outcome broken = run({"--stages", "300", "--densities", "0,0", "--stl", dir.filePath("none.stl")});
    EXPECT_NE(broken.status, 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("none_phragmocone.stl")));
}

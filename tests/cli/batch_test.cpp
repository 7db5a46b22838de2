// ammonite-batch run as a separate program, compared with the main window's
// model run in this process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <charconv>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/batch_process.h"
#include "session/log_sink.h"
#include "window_rules.h"
#include "core/version.h"

using namespace ammonite;

namespace {

using batch_test::contains;
using batch_test::readFile;

using batch_test::Result;
using batch_test::parseSummary;
using batch_test::runBatch;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<double> csvNumbers(const std::string& line) {
    std::vector<double> out;
    std::string::size_type start = 0;
    for (;;) {
        auto comma = line.find(',', start);
        std::string cell = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        double v = 0;
        auto res = std::from_chars(cell.data(), cell.data() + cell.size(), v);
        if (res.ec != std::errc() || res.ptr != cell.data() + cell.size()) v = -1e300;  // not a number
        out.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

// The main window's model, run in this process.
using InProcess = batch_test::WindowRules;

const char* const kHeader =
    "stage,radius,centre_x,centre_y,centre_z,rim_x,rim_y,rim_z,gamma,curvature,torsion,beta,step,rib_mark,"
    "cumulative_length,volume,buoyancy_x,buoyancy_y,buoyancy_z,view_x,view_y,view_depth,orientation_angle,"
    "mean_density_g_cm3,pt_ratio_percent,air_centre_x_mm,air_centre_y_mm,air_centre_z_mm,body_centre_x_mm,"
    "body_centre_y_mm,body_centre_z_mm,mass_centre_x_mm,mass_centre_y_mm,mass_centre_z_mm,stability_index";
constexpr double kEmpty = -1e300;  // what csvNumbers reads for an empty cell

}  // namespace

TEST(Batch, WithoutOptionsPrintsTheSummaryOfTheDefaultRun) {
    Result r = runBatch({});
    ASSERT_EQ(r.status, 0) << r.err;
    auto summary = parseSummary(r.out);
    const char* keys[] = {"shown_stage",      "last_stage",          "alpha",
                          "orientation_label", "density_label",      "pt_ratio_text",
                          "tangent_stage",    "view_vector",         "life_view_vector",
                          "orientation_sin",  "orientation_cos",     "orientation_shift_x",
                          "orientation_shift_y", "pending_ribs",     "rib_countdown",
                          "segments",         "stability_index",     "stability_label",
                          "generator"};
    EXPECT_EQ(summary.size(), std::size(keys));
    for (const char* k : keys) EXPECT_EQ(summary.count(k), 1u) << k;
    // The last line names the program that wrote the summary.
    const std::string generatorLine = std::string("generator=ammonite ") + kVersion + "\n";
    ASSERT_GE(r.out.size(), generatorLine.size());
    EXPECT_EQ(r.out.substr(r.out.size() - generatorLine.size()), generatorLine);

    InProcess w;
    w.start();
    EXPECT_EQ(summary["shown_stage"], "1699");
    EXPECT_EQ(summary["last_stage"], "3000");
    EXPECT_EQ(summary["alpha"], "1.005");
    EXPECT_EQ(summary["segments"], "61200");
    EXPECT_EQ(std::stod(summary["stability_index"]), w.run->stabilityIndex);
    EXPECT_EQ(summary["stability_label"], w.run->report.stabilityLabel);
    EXPECT_EQ(summary["orientation_label"], w.run->report.orientationLabel);
    EXPECT_EQ(summary["density_label"], w.run->report.densityLabel);
    EXPECT_EQ(summary["pt_ratio_text"], w.run->report.ptRatioText);
    EXPECT_EQ(summary["tangent_stage"], std::to_string(w.run->tangentStage));
    EXPECT_EQ(std::stod(summary["orientation_sin"]), w.model->orientationSin);
    EXPECT_EQ(std::stod(summary["orientation_shift_y"]), w.model->orientationShiftY);
}

TEST(Batch, TablesAndLogAgreeWithTheWindow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.filePath("t.csv"), log = dir.filePath("l.txt"), sum = dir.filePath("s.txt");
    Result r = runBatch({"--runs", "2", "--tables", csv, "--log", log, "--summary", sum});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");  // the summary went to its file

    InProcess w;
    w.start();
    w.start();
    const RunState& run = *w.run;
    const ModelState& m = *w.model;

    std::vector<std::string> rows = splitLines(readFile(csv));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], kHeader);
    // One row per stage, 0 up to the last stage built (shown stage + 1).
    ASSERT_EQ(rows.size(), static_cast<size_t>(m.shownStage) + 3);
    for (long s = 0; s <= m.shownStage + 1; ++s) {
        std::vector<double> v = csvNumbers(rows[static_cast<size_t>(s) + 1]);
        ASSERT_EQ(v.size(), 35u) << s;
        const double expected[23] = {static_cast<double>(s),
                                     run.radiusByStage[s],
                                     run.centreXByStage[s],
                                     run.centreYByStage[s],
                                     run.centreZByStage[s],
                                     run.rimXByStage[s],
                                     run.rimYByStage[s],
                                     run.rimZByStage[s],
                                     m.gammaByStage[s],
                                     m.curvatureByStage[s],
                                     m.torsionByStage[s],
                                     m.betaByStage[s],
                                     m.gammaBetaByStage[s],
                                     static_cast<double>(run.ribMark[s]),
                                     run.cumulativeLength[s],
                                     run.volumeByStage[s],
                                     run.buoyancyXByStage[s],
                                     run.buoyancyYByStage[s],
                                     run.buoyancyZByStage[s],
                                     run.viewXByStage[s],
                                     run.viewYByStage[s],
                                     run.viewDepthByStage[s],
                                     static_cast<double>(run.orientationAngleByStage[s])};
        for (size_t c = 0; c < 23; ++c) {
            if (c == 22)
                ASSERT_EQ(static_cast<float>(v[c]), static_cast<float>(expected[c])) << "stage " << s;
            else
                ASSERT_EQ(v[c], expected[c]) << "stage " << s << " column " << c;
        }
        // The hydrostatic columns: empty where the stage took no part (stage 0
        // and the stage past the requested count), the stage's results otherwise.
        const StageHydrostatics& h = run.hydrostaticsByStage[s];
        ASSERT_EQ(h.valid, s >= 1 && s <= m.shownStage + 1) << s;
        if (!h.valid) {
            for (size_t c = 23; c < 35; ++c) ASSERT_EQ(v[c], kEmpty) << "stage " << s << " column " << c;
            continue;
        }
        const double more[12] = {h.meanDensity,  100 * h.ptRatio, h.airCentre.x,  h.airCentre.y,
                                 h.airCentre.z,  h.bodyCentre.x,  h.bodyCentre.y, h.bodyCentre.z,
                                 h.massCentre.x, h.massCentre.y,  h.massCentre.z, h.stabilityIndex};
        for (size_t c = 0; c < 12; ++c) ASSERT_EQ(v[23 + c], more[c]) << "stage " << s << " column " << 23 + c;
    }
    // The last stage's row holds what the window shows.
    const StageHydrostatics& last = run.hydrostaticsByStage[m.shownStage + 1];
    EXPECT_EQ(last.stabilityIndex, run.stabilityIndex);
    EXPECT_EQ(last.meanDensity, run.meanDensity);
    // Whole numbers are written without a decimal point.
    EXPECT_EQ(rows[1].substr(0, 4), "0,1,");

    std::vector<std::string> logLines = splitLines(readFile(log));
    ASSERT_EQ(logLines.size(), w.log.lines.size());
    for (size_t i = 0; i < logLines.size(); ++i) EXPECT_EQ(logLines[i], MemoryLog::join(w.log.lines[i])) << i;
    EXPECT_EQ(logLines[0], "疲労　定刻　肋");

    auto summary = parseSummary(readFile(sum));
    EXPECT_EQ(summary["shown_stage"], "1698");
}

TEST(Batch, OptionsReachTheModel) {
    QTemporaryDir dir;
    const QString png = dir.filePath("w.png");
    Result r = runBatch({"--stages", "300", "--scale", "3", "--view", "0,0,1", "--orientation", "off",
                         "--densities", "0.5,1.5", "--origin", "400,300", "--png", png});
    ASSERT_EQ(r.status, 0) << r.err;
    auto summary = parseSummary(r.out);
    EXPECT_EQ(summary["view_vector"], "0,0,1");  // orientation off: unchanged
    EXPECT_EQ(summary["orientation_sin"], "0");
    EXPECT_EQ(summary["orientation_cos"], "1");

    InProcess w;
    w.typeStages("300");
    w.typeScale("3");
    w.model->viewVector = {0, 0, 1};
    w.model->orientationMode = 0;
    w.model->densities = {0.5, 1.5};
    w.model->originX = 400;
    w.model->originY = 300;
    w.start();
    ASSERT_EQ(w.status, "");
    // A rib under way at stage 300 is finished: at least 300 stages.
    EXPECT_GE(w.run->segmentsDrawn, 300 * 36);
    EXPECT_EQ(summary["shown_stage"], std::to_string(w.model->shownStage));
    EXPECT_EQ(summary["segments"], std::to_string(w.run->segmentsDrawn));
    EXPECT_EQ(summary["density_label"], w.run->report.densityLabel);
    EXPECT_EQ(summary["orientation_label"], w.run->report.orientationLabel);

    // The picture is the window's drawing: the same pixels as in process,
    // apart from the text the toolkit draws.
    QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), 1000);
    EXPECT_EQ(img.height(), 760);
    long cyan = 0, same = 0;
    for (int y = 0; y < 760; ++y)
        for (int x = 0; x < 1000; ++x) {
            const QRgb p = img.pixel(x, y);
            if (p == qRgb(0, 128, 128)) ++cyan;
            if ((p & 0xFFFFFF) == (w.surface.pixel(x, y) & 0xFFFFFF)) ++same;
        }
    EXPECT_GT(cyan, 300);
    EXPECT_GT(same, 1000L * 760 * 98 / 100);
}

TEST(Batch, ThresholdsAreAppliedBeforeTheRun) {
    QTemporaryDir dir;
    const QString plain = dir.filePath("a.txt"), moved = dir.filePath("b.txt");
    ASSERT_EQ(runBatch({"--log", plain}).status, 0);
    Result r = runBatch({"--thresholds", "150,250,-30,-10", "--log", moved});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readFile(plain), readFile(moved));

    InProcess w;
    w.moveBar(ThresholdBar::St1, 150);
    w.moveBar(ThresholdBar::St2, 250);
    w.moveBar(ThresholdBar::Ft1, -30);
    w.moveBar(ThresholdBar::Ft2, -10);
    w.start();
    std::vector<std::string> lines = splitLines(readFile(moved));
    ASSERT_EQ(lines.size(), w.log.lines.size());
    EXPECT_EQ(lines.back(), MemoryLog::join(w.log.lines.back()));
}

TEST(Batch, BadArgumentsAreNamedAndExitWithTwo) {
    const std::vector<std::pair<QStringList, std::string>> cases = {
        {{"--frobnicate"}, "--frobnicate"},
        {{"--view", "1,2"}, "--view"},
        {{"--view", "1,x,2"}, "--view"},
        {{"--origin", "1,2,3"}, "--origin"},
        {{"--orientation", "maybe"}, "--orientation"},
        {{"--thresholds", "0,0,10,0"}, "--thresholds"},
        {{"--thresholds", "2000,0,0,0"}, "--thresholds"},
        {{"--runs", "-1"}, "--runs"},
        {{"--runs", "1.5"}, "--runs"},
        {{"--tables"}, "--tables"},
        // Typed values beyond their box, negative densities, a grid too large to run.
        {{"--stages", "1e308"}, "--stages: 1e308 is too large (at most 32767)"},
        {{"--stages", "-40000"}, "--stages: -40000 is too small (at least -32768)"},
        {{"--stages", "1e999"}, "--stages: 1e999 is too large (at most 32767)"},
        {{"--scale", "1e300"}, "--scale: 1e300 is too large (at most 922337203685477)"},
        {{"--densities", "-0.736,1.3"}, "--densities: -0.736,1.3: a density cannot be negative"},
        {{"--densities", "0.6,inf"}, "--densities"},
        {{"--sweep", "density_body=-1:1:3"}, "--sweep 'density_body=-1:1:3': density_body must lie in 0.."},
        {{"--sweep", "density_air=0.5:nan:3"}, "--sweep"},
        {{"--sweep", "alpha=1:2:100000", "--sweep", "gamma=1:2:100000", "--stages", "1"},
         "--sweep: the grid has 10000000000 points, more than 10000000"},
    };
    for (const auto& [args, name] : cases) {
        Result r = runBatch(args);
        EXPECT_EQ(r.status, 2) << name;
        std::vector<std::string> lines = splitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_NE(lines[0].find(name), std::string::npos) << lines[0];
        EXPECT_EQ(r.out, "") << name;
    }
}

TEST(Batch, DensitiesTooLargeForTheMassSayWhatHappened) {
    Result r = runBatch({"--densities", "1e308,1e308", "--stages", "20"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the mass of the shell is infinite at these densities"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("no mass"), std::string::npos) << r.err;
}

TEST(Batch, HelpListsTheOptions) {
    Result r = runBatch({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--stages", "--scale", "--view", "--light", "--origin", "--densities",
                               "--orientation", "--ribbing", "--thresholds", "--runs", "--tables", "--log",
                               "--summary", "--png", "--shade"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    // One meaning per exit status.
    for (const char* status : {"  0  done", "  1  the model stopped", "  2  bad arguments", "  3  an output"})
        EXPECT_NE(r.out.find(status), std::string::npos) << status;
}

TEST(Batch, VersionPrintsTheNameAndVersionAndRunsNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath("v.png");
    Result r = runBatch({"--version", "--png", png});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("ammonite ") + kVersion + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(QFileInfo::exists(png));
    EXPECT_TRUE(std::regex_match(std::string(kVersion), std::regex(R"([0-9]+\.[0-9]+\.[0-9]+)"))) << kVersion;

    // --help wins over --version; --version takes no value.
    EXPECT_NE(runBatch({"--version", "--help"}).out.find("Usage: ammonite-batch"), std::string::npos);
    r = runBatch({"--version=1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ammonite-batch: option --version takes no value\n");
    EXPECT_NE(runBatch({"--help"}).out.find("--version"), std::string::npos);
}

TEST(Batch, RuntimeErrorExitsWithOneAndStillWritesTheResults) {
    QTemporaryDir dir;
    const QString csv = dir.filePath("t.csv"), sum = dir.filePath("s.txt"), png = dir.filePath("p.png");
    // A shell of no mass: the first hydrostatic step divides by zero.
    Result r = runBatch({"--densities", "0,0", "--tables", csv, "--summary", sum, "--png", png});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Division by zero"), std::string::npos) << r.err;
    auto summary = parseSummary(readFile(sum));
    EXPECT_EQ(summary["shown_stage"], "1700");  // START wrote it; the run never ended
    EXPECT_EQ(summary["segments"], "0");
    std::vector<std::string> rows = splitLines(readFile(csv));
    ASSERT_EQ(rows.size(), 2u);  // header and stage 0
    EXPECT_EQ(rows[0], kHeader);
    EXPECT_FALSE(QImage(png).isNull());

    // A scale that is not a number stops START before the run.
    Result s = runBatch({"--scale", "abc"});
    EXPECT_EQ(s.status, 1);
    EXPECT_NE(s.err.find("SCALE: \"abc\" is not a number"), std::string::npos) << s.err;
    EXPECT_EQ(splitLines(s.err).size(), 1u) << s.err;  // nothing but the message
    EXPECT_NE(s.out.find("shown_stage=1700"), std::string::npos);
}

// The gallery of heteromorph forms must keep its forms: every scenario file of
// gallery/ (its profiles and options together) runs through the batch tool,
// and the tube centres of the per-stage table are checked for the property
// that makes the form (a straight shaft, an open coil, a climbing helix, a
// late half-turn hook, ...). A change of the growth model that spoils a form
// fails here before it silently spoils the pictures.
#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/batch_process.h"
#include "cli/stage_csv.h"
#include "model/profile_file.h"
#include "model/scenario_file.h"

namespace {

const std::string kGallery = AMMONITE_GALLERY_DIR;

// name -> batch options of the form: its scenario file gallery/NAME.toml.
std::map<std::string, QStringList> readForms() {
    std::map<std::string, QStringList> forms;
    for (const QString& f : QDir(QString::fromStdString(kGallery)).entryList({"*.toml"}, QDir::Files))
        forms[f.chopped(5).toStdString()] = QStringList{"--scenario", QString::fromStdString(kGallery) + "/" + f};
    return forms;
}

struct Vec {
    double x = 0, y = 0, z = 0;
    Vec operator-(const Vec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator+(const Vec& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator*(double k) const { return {x * k, y * k, z * k}; }
    double dot(const Vec& o) const { return x * o.x + y * o.y + z * o.z; }
    Vec cross(const Vec& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double length() const { return std::sqrt(dot(*this)); }
    Vec unit() const { return *this * (1 / length()); }
};

double degreesBetween(const Vec& a, const Vec& b) {
    return std::acos(std::clamp(a.unit().dot(b.unit()), -1.0, 1.0)) * 180 / M_PI;
}

// The tube of one gallery run: centre and radius per stage.
struct Shell {
    batch_test::Result run;
    std::vector<Vec> centre;
    std::vector<double> radius;

    size_t last() const { return centre.size() - 1; }
    // Growth direction over stage s (s >= 1).
    Vec dir(size_t s) const { return (centre[s] - centre[s - 1]).unit(); }
    // Turn of the growth direction from stage s-1 to s, degrees.
    double turnAt(size_t s) const { return degreesBetween(dir(s - 1), dir(s)); }
    // Total turning from stage `from` to `to`, degrees.
    double turning(size_t from, size_t to) const {
        double sum = 0;
        for (size_t s = std::max<size_t>(from + 1, 2); s <= to; ++s) sum += turnAt(s);
        return sum;
    }
    // First stage after the initial coil where the tube stops turning.
    size_t coilEnd() const {
        for (size_t s = 2; s <= last(); ++s)
            if (turnAt(s) < 0.01) return s;
        return last();
    }
};

// Runs a gallery form once per test program and keeps the result.
const Shell& grow(const std::string& name) {
    static std::map<std::string, Shell> grown;
    static QTemporaryDir work;
    auto found = grown.find(name);
    if (found != grown.end()) return found->second;

    Shell& shell = grown[name];
    const QString csv = work.filePath(QString::fromStdString(name) + ".csv");
    QStringList args = readForms()[name];
    args << "--tables" << csv << "--summary"
         << work.filePath(QString::fromStdString(name) + ".txt");
    shell.run = batch_test::runBatch(args);
    batch_test::StageCsv table;
    if (shell.run.status == 0 && batch_test::readStageCsv(csv.toStdString(), table)) {
        for (size_t r = 0; r < table.rows.size(); ++r) {
            shell.centre.push_back({table.at(r, "centre_x"), table.at(r, "centre_y"), table.at(r, "centre_z")});
            shell.radius.push_back(table.at(r, "radius"));
        }
    }
    return shell;
}

// Largest distance of a centre from the plane of the stages from..to, relative
// to the size of that part (0 for a planispiral tube).
double offPlane(const Shell& s, size_t from, size_t to) {
    Vec normal;
    double extent = 0;
    const size_t step = std::max<size_t>(1, (to - from) / 40);
    for (size_t i = from + step; i <= to; i += step) {
        extent = std::max(extent, (s.centre[i] - s.centre[from]).length());
        for (size_t j = i + step; j <= to; j += step) {
            Vec n = (s.centre[i] - s.centre[from]).cross(s.centre[j] - s.centre[from]);
            if (n.length() > normal.length()) normal = n;
        }
    }
    double worst = 0;
    for (size_t i = from; i <= to; ++i)
        worst = std::max(worst, std::abs((s.centre[i] - s.centre[from]).dot(normal.unit())));
    return worst / extent;
}

// For every stage one whorl past the first: the clearance between its tube and
// the tube one whorl (360° of turning) earlier; negative where the whorls touch.
std::vector<double> whorlClearances(const Shell& s, size_t to) {
    std::vector<double> turned(to + 1, 0.0);
    for (size_t k = 2; k <= to; ++k) turned[k] = turned[k - 1] + s.turnAt(k);
    std::vector<double> out;
    size_t i = 1;
    for (size_t j = 2; j <= to; ++j) {
        if (turned[j] < 360) continue;
        while (turned[i + 1] <= turned[j] - 360) ++i;
        out.push_back((s.centre[j] - s.centre[i]).length() - s.radius[i] - s.radius[j]);
    }
    return out;
}

// The stage from which the growth direction turns round to the final one
// (the last stage still pointing at least 165° away from it), or 0.
size_t lastReversal(const Shell& s) {
    for (size_t k = s.last() - 1; k >= 1; --k)
        if (degreesBetween(s.dir(k), s.dir(s.last())) >= 165) return k;
    return 0;
}

// A U-shaped hook late in the run: the final limb points back along the
// direction the tube had in the last 40 % of its stages, after a half turn.
void expectLateHalfTurnHook(const Shell& s) {
    const size_t k = lastReversal(s);
    EXPECT_GE(k, s.last() * 6 / 10) << "no reversal of the growth direction late in the run";
    EXPECT_LE(s.turning(k, s.last()), 225) << "the end is more than a hook";
}

// Centres climb along one axis: the axis runs from the mean of the first fifth
// of the stages to the mean of the last fifth; the mean height of every eighth
// of the run must lie above the one before, and the tube winds round the axis.
void expectClimbingHelix(const Shell& s, size_t to, double minWhorls) {
    const size_t fifth = to / 5, eighth = to / 8;
    Vec low, high;
    for (size_t i = 0; i <= fifth; ++i) {
        low = low + s.centre[i] * (1.0 / (fifth + 1));
        high = high + s.centre[to - i] * (1.0 / (fifth + 1));
    }
    const Vec axis = (high - low).unit();
    double previous = -INFINITY, aside = 0, radius = 0;
    for (size_t start = 0; start + eighth <= to; start += eighth) {
        double height = 0;
        for (size_t i = start; i < start + eighth; ++i) height += (s.centre[i] - low).dot(axis) / eighth;
        EXPECT_GT(height, previous) << "the helix sinks back at stage " << start;
        previous = height;
    }
    for (size_t i = 0; i <= to; ++i) {
        const Vec r = s.centre[i] - low;
        aside += (r - axis * r.dot(axis)).length() / (to + 1);
        radius += s.radius[i] / (to + 1);
    }
    EXPECT_GT(aside, radius) << "the tube does not wind round the axis";
    EXPECT_GE(s.turning(1, to), minWhorls * 360);
    EXPECT_GT(offPlane(s, 0, to), 0.1);
}

#define GROW_OR_FAIL(var, name)                                                  \
    const Shell& var = grow(name);                                               \
    ASSERT_EQ(var.run.status, 0) << var.run.err;                                 \
    ASSERT_GT(var.centre.size(), 100u) << "no per-stage table for " << (name)

TEST(Gallery, EveryProfileFileHasItsScenarioAndRuns) {
    const auto forms = readForms();
    std::set<std::string> files;
    for (const QString& f : QDir(QString::fromStdString(kGallery)).entryList({"*.txt"}, QDir::Files))
        files.insert(f.chopped(4).toStdString());
    std::set<std::string> listed;
    for (const auto& form : forms) listed.insert(form.first);
    EXPECT_EQ(files, listed) << "every gallery profile file needs its scenario file NAME.toml, and only those";
    EXPECT_GE(files.size(), 8u);
    for (const auto& form : forms) {
        const Shell& s = grow(form.first);
        EXPECT_EQ(s.run.status, 0) << form.first << ": " << s.run.err;
        EXPECT_GT(s.centre.size(), 100u) << form.first;
    }
}

TEST(Gallery, BaculitesIsAStraightShaftAfterASmallCoil) {
    GROW_OR_FAIL(s, "baculites");
    const size_t coil = s.coilEnd();
    EXPECT_LT(coil, s.last() / 10);
    EXPECT_GE(s.turning(1, coil), 300) << "the shaft should start from a coil";
    const Vec axis = (s.centre[s.last()] - s.centre[coil]).unit();
    const double length = (s.centre[s.last()] - s.centre[coil]).length();
    for (size_t i = coil; i <= s.last(); ++i) {
        const Vec r = s.centre[i] - s.centre[coil];
        ASSERT_LT((r - axis * r.dot(axis)).length(), 0.005 * length) << "the shaft bends at stage " << i;
    }
}

TEST(Gallery, CrioceratitesIsAnOpenPlanispiral) {
    GROW_OR_FAIL(s, "crioceratites");
    EXPECT_LT(offPlane(s, 0, s.last()), 1e-3);
    EXPECT_GE(s.turning(1, s.last()), 2.5 * 360);
    const auto gaps = whorlClearances(s, s.last());
    ASSERT_FALSE(gaps.empty());
    EXPECT_GT(*std::min_element(gaps.begin(), gaps.end()), 0) << "whorls touch";
}

TEST(Gallery, AncylocerasCoilsThenHooksBackLate) {
    GROW_OR_FAIL(s, "ancyloceras");
    EXPECT_LT(offPlane(s, 0, s.last()), 1e-3);
    const size_t coil = s.coilEnd();
    EXPECT_GE(s.turning(1, coil), 1.5 * 360);
    const auto gaps = whorlClearances(s, coil);
    ASSERT_FALSE(gaps.empty());
    EXPECT_GT(*std::min_element(gaps.begin(), gaps.end()), 0) << "the coil should be open";
    // A straight shaft of at least a tenth of the run between coil and hook.
    EXPECT_LT(s.turning(coil, coil + s.last() / 10), 0.5);
    expectLateHalfTurnHook(s);
}

TEST(Gallery, HamitesShaftsAreJoinedByUBends) {
    GROW_OR_FAIL(s, "hamites");
    EXPECT_LT(offPlane(s, 0, s.last()), 1e-3);
    // Shafts: at least 10 stages without a turn of the growth direction.
    std::vector<Vec> shafts;
    for (size_t k = 2; k <= s.last();) {
        size_t end = k;
        while (end <= s.last() && s.turnAt(end) < 0.2) ++end;
        if (end - k >= 10) shafts.push_back(s.dir(end - 1));
        k = end + 1;
    }
    ASSERT_GE(shafts.size(), 3u);
    for (size_t i = 1; i < shafts.size(); ++i)
        EXPECT_GT(degreesBetween(shafts[i - 1], shafts[i]), 175) << "shafts " << i << " and " << i + 1;
}

TEST(Gallery, TurrilitesClimbsAsAHelix) {
    GROW_OR_FAIL(s, "turrilites");
    expectClimbingHelix(s, s.last(), 4);
}

TEST(Gallery, DidymocerasHelixEndsInAUHook) {
    GROW_OR_FAIL(s, "didymoceras");
    const size_t hook = lastReversal(s);
    ASSERT_GT(hook, 0u);
    expectClimbingHelix(s, hook - 10, 3);
    expectLateHalfTurnHook(s);
}

TEST(Gallery, NipponitesBendsTurnInAlternatingPlanes) {
    GROW_OR_FAIL(s, "nipponites");
    struct Bend { size_t first, last; };
    std::vector<Bend> bends;
    for (size_t k = 2; k <= s.last(); ++k) {
        if (s.turnAt(k) < 1) continue;
        size_t end = k;
        while (end + 1 <= s.last() && s.turnAt(end + 1) >= 1) ++end;
        bends.push_back({k - 1, end});
        k = end;
    }
    ASSERT_GE(bends.size(), 5u);
    Vec previousNormal;
    for (size_t i = 0; i < bends.size(); ++i) {
        const Vec in = s.dir(bends[i].first), mid = s.dir((bends[i].first + bends[i].last) / 2);
        EXPECT_NEAR(degreesBetween(in, s.dir(bends[i].last)), 180, 10) << "bend " << i + 1 << " is no U";
        const Vec normal = in.cross(mid).unit();
        if (i > 0) {
            EXPECT_LT(std::abs(normal.dot(previousNormal)), 0.5) << "bends " << i << " and " << i + 1;
        }
        previousNormal = normal;
    }
}

TEST(Gallery, ScaphitesCoilIsCompactAndEndsInAShortHook) {
    GROW_OR_FAIL(s, "scaphites");
    EXPECT_LT(offPlane(s, 0, s.last()), 1e-3);
    const size_t coil = s.coilEnd();
    EXPECT_GE(s.turning(1, coil), 4 * 360);
    const auto gaps = whorlClearances(s, coil);
    ASSERT_FALSE(gaps.empty());
    EXPECT_LT(*std::max_element(gaps.begin(), gaps.end()), 0) << "the coil should be closed";
    expectLateHalfTurnHook(s);
    EXPECT_GE(coil, s.last() * 8 / 10) << "the hook should be short";
}

}  // namespace

// The profile folder still gets the gallery's profile files: each holds the
// very profiles, α and final stage of its form's scenario.
TEST(Gallery, ProfileFilesAgreeWithTheirScenarios) {
    for (const auto& form : readForms()) {
        ammonite::Scenario scenario, fromFile;
        std::string error;
        ASSERT_TRUE(ammonite::ReadScenarioFile(form.second[1].toStdString(), scenario, error)) << error;
        EXPECT_EQ(scenario.name, form.first);
        EXPECT_FALSE(scenario.heading.empty()) << form.first;
        auto model = std::make_unique<ammonite::ModelState>();
        model->setDefaultProfiles();
        ASSERT_TRUE(ammonite::ReadProfileFile(kGallery + "/" + form.first + ".txt", *model, error)) << error;
        ASSERT_TRUE(ammonite::ScenarioProfilesFromModel(*model, fromFile, error)) << form.first << ": " << error;
        EXPECT_EQ(fromFile.alpha, scenario.alpha) << form.first;
        EXPECT_EQ(fromFile.finalStage, scenario.finalStage) << form.first;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(fromFile.profile(i), scenario.profile(i)) << form.first << " " << i;
    }
}

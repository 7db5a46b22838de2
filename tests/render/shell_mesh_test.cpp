// The shell mesh and its files: closed objects with outward normals, volumes
// against the run's own, the split at the body chamber, the scale, ribbing,
// the three file formats read back, the sidecar, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/mesh_reader.h"
#include "core/version.h"
#include "support/grown_shell.h"
#include "render/mesh_files.h"
#include "render/shading.h"
#include "render/shell_mesh.h"

using namespace ammonite;
namespace fs = std::filesystem;

namespace {

// A fresh folder, removed with everything in it at the end of the test.
struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "ammonite_mesh_XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

meshread::Mesh AsRead(const MeshObject& o) {
    meshread::Mesh m;
    m.vertices = o.vertices;
    m.faces = o.triangles;
    return m;
}

std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
    std::map<std::string, std::string> kv;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return kv;
}

// The default 1700-stage START, smooth or ribbed.
struct DefaultRun {
    test_support::GrownShell w;
    explicit DefaultRun(int ribbing) {
        w.model->ribbingOn = static_cast<std::int16_t>(ribbing);
        w.start();
    }
    const ModelState& model() const { return *w.model; }
    const RunState& run() const { return w.run; }
    // The run's volume of its last segment, from the centre of row
    // shownStage (where the last ring sits) to the centre of the next row.
    double lastSegment() const {
        const long last = w.run.lastBuiltStage;
        return w.run.volumeByStage[last] - w.run.volumeByStage[last - 1];
    }
};

ShellMesh Build(const ModelState& model, const RunState& run, int ringPoints, double mmPerUnit = 1) {
    ShellMesh mesh;
    std::string error;
    EXPECT_TRUE(BuildShellMesh(model, run, MeshOptions{mmPerUnit, ringPoints}, mesh, error)) << error;
    return mesh;
}

double Total(const ShellMesh& m) { return MeshVolume(m.phragmocone) + MeshVolume(m.bodyChamber); }

void ExpectClosed(const MeshObject& o, const char* what) {
    const meshread::Topology t = meshread::CheckTopology(AsRead(o));
    EXPECT_TRUE(t.closed) << what;
    EXPECT_TRUE(t.oriented) << what;
    EXPECT_EQ(t.degenerate, 0u) << what;
    EXPECT_EQ(t.unusedVertices, 0u) << what;
    EXPECT_GT(MeshVolume(o), 0) << what;
}

}  // namespace

TEST(ShellMesh, DefaultRunIsTheRunsRingsSplitInTwoClosedObjects) {
    DefaultRun d(0);
    ASSERT_TRUE(d.run().hasRun);
    const int shown = d.model().shownStage;
    ASSERT_EQ(shown + 1, d.run().lastBuiltStage);
    const ShellMesh mesh = Build(d.model(), d.run(), 72);
    ExpectClosed(mesh.phragmocone, "phragmocone");
    ExpectClosed(mesh.bodyChamber, "body chamber");
    // The default body chamber starts between two rings: an interpolated ring
    // ends one object and starts the other.
    const int j = d.run().bodyStartStage;
    const double t = d.run().bodyStartFraction;
    ASSERT_GT(t, 1e-9);
    ASSERT_LT(t, 1 - 1e-9);
    EXPECT_DOUBLE_EQ(mesh.bodyStartRing, j + 1 + t);
    // Rings 1..j + 1 and the cut; the cut and rings j + 2..shown + 1; two
    // fan centres each.
    EXPECT_EQ(mesh.phragmocone.vertices.size(), static_cast<size_t>((j + 2) * 72 + 2));
    EXPECT_EQ(mesh.bodyChamber.vertices.size(), static_cast<size_t>((shown + 1 - j) * 72 + 2));
    EXPECT_EQ(mesh.phragmocone.triangles.size(), static_cast<size_t>((j + 1) * 2 * 72 + 2 * 72));
    EXPECT_EQ(mesh.bodyChamber.triangles.size(), static_cast<size_t>((shown - j) * 2 * 72 + 2 * 72));
    // The last ring of the phragmocone is the first of the body chamber.
    for (int k = 0; k < 72; ++k)
        EXPECT_EQ(mesh.phragmocone.vertices[static_cast<size_t>((j + 1) * 72 + k)],
                  mesh.bodyChamber.vertices[static_cast<size_t>(k)]);
}

TEST(ShellMesh, RingsAreShadesRingsInModelCoordinates) {
    DefaultRun d(1);  // ribbed
    const ShellMesh mesh = Build(d.model(), d.run(), 360);
    // With the identity view, no orientation turn and a scale of 1, SHADE's
    // rings are the model points themselves.
    ModelState model = d.model();
    RunState run = d.run();
    run.view = ViewPairs{};
    model.orientationSin = 0, model.orientationCos = 1;
    model.orientationShiftX = 0, model.orientationShiftY = 0;
    model.drawScale = 1;
    StageTable<std::int16_t> marks = run.ribMark;
    CountRibGaps(marks, model.shownStage);
    const std::vector<double> factor = RibProfile(marks, model.shownStage);
    Ring ring;
    for (int j : {1, 2, 150, 600, 1405}) {
        ComputeRing(ShadeScene{run, model, factor}, j, ring);
        for (int k : {0, 1, 90, 200, 359}) {
            const auto& v = mesh.phragmocone.vertices[static_cast<size_t>((j - 1) * 360 + k)];
            EXPECT_EQ(v[0], static_cast<float>(ring[static_cast<size_t>(k)].x)) << j << ' ' << k;
            EXPECT_EQ(v[1], static_cast<float>(ring[static_cast<size_t>(k)].y)) << j << ' ' << k;
            EXPECT_EQ(v[2], static_cast<float>(ring[static_cast<size_t>(k)].z)) << j << ' ' << k;
        }
    }
    // Every tenth point of the full ring at 36 points.
    const ShellMesh coarse = Build(d.model(), d.run(), 36);
    for (int k = 0; k < 36; ++k)
        EXPECT_EQ(coarse.phragmocone.vertices[static_cast<size_t>(36 * 9 + k)],
                  mesh.phragmocone.vertices[static_cast<size_t>(360 * 9 + 10 * k)]);
}

// The smooth tube against the run's own volume. The run adds, for each stage
// S = 1..N, a cylinder of the radius at its start, π·r[S−1]²·(step·r[S−1]),
// from the centre of row S − 1 to that of row S. The mesh (rings 1..shown + 1
// = centres 0..shown, shown = N − 1 after a run) differs by: the run's last
// segment, which no ring reaches (0.68 % of the default shell); frustums
// between r[S−1] and r[S] instead of cylinders of r[S−1] (+0.2 %); the
// polygon of n points (−0.0051 % at 360 points).
TEST(ShellMesh, SmoothDefaultTubeHasTheRunsVolumeWithinOnePercent) {
    DefaultRun d(0);
    const ShellMesh mesh = Build(d.model(), d.run(), 360);
    const double total = d.run().totalVolume;
    EXPECT_NEAR(Total(mesh) / total, 1, 0.01);
    // Without the segment the rings do not reach, within 0.3 %.
    EXPECT_NEAR(Total(mesh) / (total - d.lastSegment()), 1, 0.003);
    EXPECT_GT(Total(mesh), total - d.lastSegment());  // frustums hold more than the start cylinders
}

// The split against the run's air and body volumes. The run puts the body
// chamber start at the same place (fraction t of segment j + 1, between
// ring j + 1 and ring j + 2), so the phragmocone differs only by the
// frustum/cylinder and polygon effects (within 0.5 %); the body chamber also
// lacks the run's last segment (0.86 % of the default body chamber): it is
// within 0.5 % of the run's body volume less that segment, 1.5 % of the whole.
TEST(ShellMesh, SplitVolumesAreCloseToTheRunsAirAndBodyVolumes) {
    DefaultRun d(0);
    const ShellMesh mesh = Build(d.model(), d.run(), 72);
    const double air = MeshVolume(mesh.phragmocone), body = MeshVolume(mesh.bodyChamber);
    EXPECT_NEAR(air / d.run().airVolume, 1, 0.005);
    EXPECT_NEAR(body / (d.run().bodyVolume - d.lastSegment()), 1, 0.005);
    EXPECT_NEAR(body / d.run().bodyVolume, 1, 0.015);
}

TEST(ShellMesh, TwiceTheScaleIsEightTimesTheVolume) {
    DefaultRun d(0);
    const ShellMesh one = Build(d.model(), d.run(), 36);
    const ShellMesh two = Build(d.model(), d.run(), 36, 2);
    EXPECT_NEAR(MeshVolume(two.phragmocone) / MeshVolume(one.phragmocone), 8, 8e-9);
    EXPECT_NEAR(MeshVolume(two.bodyChamber) / MeshVolume(one.bodyChamber), 8, 8e-9);
    EXPECT_EQ(two.bodyChamber.vertices[5][0], 2 * one.bodyChamber.vertices[5][0]);
}

// Ribbing scales each ring by its rib factor c (the section circle has radius
// c·R), so the volume follows c². On the default shell every factor is below 1
// (the gaps decay toward 0.94 and from stage 201 everything is thinned × 0.85,
// ribs included), so the ribbed shell is smaller, about 0.8 of the smooth one. The ratio agrees with the segment volumes
// weighted by the mean c² of their two rings within 3 % (the swollen section
// is also moved off the axis by c·(c − 1)·R, which the weighting ignores).
TEST(ShellMesh, RibbingScalesTheVolumeByTheRibProfile) {
    DefaultRun smooth(0), ribbed(1);
    const double vs = Total(Build(smooth.model(), smooth.run(), 72));
    const double vr = Total(Build(ribbed.model(), ribbed.run(), 72));
    EXPECT_NE(vr, vs);
    EXPECT_LT(vr, vs);
    StageTable<std::int16_t> marks = ribbed.run().ribMark;
    const int shown = ribbed.model().shownStage;
    CountRibGaps(marks, shown);
    const std::vector<double> c = RibProfile(marks, shown);
    double weighted = 0, plain = 0;
    for (int s = 1; s <= shown; ++s) {
        const double segment = ribbed.run().volumeByStage[s] - ribbed.run().volumeByStage[s - 1];
        weighted += segment * (c[s] * c[s] + c[s + 1] * c[s + 1]) / 2;
        plain += segment;
    }
    EXPECT_NEAR((vr / vs) / (weighted / plain), 1, 0.03);


    // Ring by ring: the section through θ = 90° and 270° is 2·c·R wide, so a
    // ribbed ring is c times as wide as the smooth one.
    const ShellMesh smoothMesh = Build(smooth.model(), smooth.run(), 72);
    const ShellMesh ribbedMesh = Build(ribbed.model(), ribbed.run(), 72);
    auto width = [](const MeshObject& o, int j) {
        const auto& p = o.vertices[static_cast<size_t>((j - 1) * 72 + 18)];
        const auto& q = o.vertices[static_cast<size_t>((j - 1) * 72 + 54)];
        return std::hypot(double(p[0]) - q[0], double(p[1]) - q[1], double(p[2]) - q[2]);
    };
    double least = 10, most = 0;
    for (int j = 1; j <= ribbed.run().bodyStartStage + 1; ++j) {
        const double cj = c[static_cast<size_t>(j)];
        ASSERT_NEAR(width(ribbedMesh.phragmocone, j) / width(smoothMesh.phragmocone, j), cj, 2e-5) << j;
        least = std::min(least, cj), most = std::max(most, cj);
    }
    // The default factors run from 0.799 (thinned, just after a rib) to 0.995
    // (stage 1): no ring of the default shell is wider than the smooth one.
    EXPECT_NEAR(least, 0.799, 1e-3);
    EXPECT_LT(most, 1);
}

TEST(ShellMesh, ExportLeavesTheRunAndTheModelAsTheyWere) {
    DefaultRun d(1);
    const RunState before = d.run();
    const ModelState modelBefore = d.model();
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Ply, dir / "shell.ply", d.model(), d.run(), MeshOptions{1, 36}, written,
                                error))
        << error;
    const RunState& after = d.run();
    for (int a = 0; a <= kMaxStage; ++a) {
        ASSERT_EQ(after.ribMark[a], before.ribMark[a]) << a;
        ASSERT_EQ(after.paintOrder[a], before.paintOrder[a]) << a;
        ASSERT_EQ(after.radiusByStage[a].raw(), before.radiusByStage[a].raw()) << a;
        ASSERT_EQ(after.centreXByStage[a].raw(), before.centreXByStage[a].raw()) << a;
    }
    EXPECT_EQ(after.sectionAngleStep, before.sectionAngleStep);
    EXPECT_EQ(after.totalVolume, before.totalVolume);
    EXPECT_EQ(after.airVolume, before.airVolume);
    EXPECT_EQ(after.bodyStartStage, before.bodyStartStage);
    EXPECT_EQ(after.bodyStartFraction, before.bodyStartFraction);
    EXPECT_EQ(after.hasRun, before.hasRun);
    EXPECT_EQ(d.model().shownStage, modelBefore.shownStage);
    EXPECT_EQ(d.model().lightVector.x.raw(), modelBefore.lightVector.x.raw());
    EXPECT_EQ(d.model().ribbingOn, modelBefore.ribbingOn);
}

TEST(ShellMesh, ACutOnARingUsesThatRing) {
    DefaultRun d(0);
    RunState run = d.run();
    const int j = run.bodyStartStage, n = 36, shown = d.model().shownStage;
    const ShellMesh whole = Build(d.model(), d.run(), n);
    for (double t : {0.0, 4e-10, 1.0, 1 - 4e-10}) {
        run.bodyStartFraction = t;
        const ShellMesh mesh = Build(d.model(), run, n);
        const int cutRing = t < 0.5 ? j + 1 : j + 2;
        EXPECT_EQ(mesh.phragmocone.vertices.size(), static_cast<size_t>(cutRing * n + 2)) << t;
        EXPECT_EQ(mesh.bodyChamber.vertices.size(), static_cast<size_t>((shown + 2 - cutRing) * n + 2)) << t;
        ExpectClosed(mesh.phragmocone, "phragmocone");
        ExpectClosed(mesh.bodyChamber, "body chamber");
        // The cut ring is the existing ring itself.
        const auto& ring = cutRing == j + 1 ? whole.phragmocone.vertices[static_cast<size_t>(j * n)]
                                            : whole.bodyChamber.vertices[static_cast<size_t>(n)];
        EXPECT_EQ(mesh.bodyChamber.vertices[0], ring) << t;
        EXPECT_EQ(mesh.phragmocone.vertices[static_cast<size_t>((cutRing - 1) * n)], ring) << t;
    }
}

TEST(ShellMesh, BodyChamberTakingTheWholeTubeLeavesNoPhragmocone) {
    // Five stages are shorter than the 12 radii of the body chamber.
    test_support::GrownShell w;
    w.model->ribbingOn = 0;
    w.start(5);
    ASSERT_TRUE(w.run.hasRun);
    ASSERT_EQ(w.run.bodyStartStage, 0);
    ASSERT_LT(w.run.bodyStartFraction, 0);
    const ShellMesh mesh = Build(*w.model, w.run, 36);
    EXPECT_TRUE(mesh.phragmocone.empty());
    EXPECT_TRUE(mesh.phragmocone.vertices.empty());
    ExpectClosed(mesh.bodyChamber, "body chamber");
    EXPECT_EQ(mesh.bodyChamber.vertices.size(), static_cast<size_t>((w.model->shownStage + 1) * 36 + 2));

    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Stl, dir / "short.stl", *w.model, w.run, MeshOptions{1, 36}, written,
                                error))
        << error;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"short_body_chamber.stl", "short_volumes.txt"}));
    EXPECT_EQ(written, (std::vector<std::string>{dir / "short_body_chamber.stl", dir / "short_volumes.txt"}));
    auto kv = ReadKeyValues(dir / "short_volumes.txt");
    EXPECT_EQ(kv["phragmocone"], "empty");
    EXPECT_EQ(kv.count("phragmocone_file"), 0u);
    EXPECT_EQ(kv["phragmocone_volume_mm3"], "0");
    // The body chamber, longer than the tube, starts at the first ring; no value reads "-0".
    EXPECT_EQ(kv["body_chamber_start_stage"], "0");
    EXPECT_EQ(kv["body_chamber_start_fraction"], "0");
    EXPECT_EQ(kv["body_chamber_start_ring"], "1");
    for (const auto& [key, value] : kv) EXPECT_NE(value, "-0") << key;
    // OBJ: only the body chamber group.
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Obj, dir / "short.obj", *w.model, w.run, MeshOptions{1, 36}, written,
                                error))
        << error;
    std::map<std::string, meshread::Mesh> groups;
    std::vector<std::string> order;
    ASSERT_TRUE(meshread::ReadObj(dir / "short.obj", groups, order, error)) << error;
    EXPECT_EQ(order, std::vector<std::string>{"body_chamber"});
}

TEST(MeshFiles, StlPlyAndObjReadBackClosedWithTheMeshVolumes) {
    DefaultRun d(1);
    const MeshOptions options{1.5, 36};
    const ShellMesh mesh = Build(d.model(), d.run(), 36, 1.5);
    const double air = MeshVolume(mesh.phragmocone), body = MeshVolume(mesh.bodyChamber);
    TempDir dir;
    std::vector<std::string> written;
    std::string error;

    ASSERT_TRUE(ExportShellMesh(MeshFormat::Stl, dir / "shell.stl", d.model(), d.run(), options, written, error))
        << error;
    EXPECT_EQ(written, (std::vector<std::string>{dir / "shell_phragmocone.stl", dir / "shell_body_chamber.stl",
                                                 dir / "shell_volumes.txt"}));
    for (const auto& [file, name, volume, object] :
         {std::tuple{std::string("shell_phragmocone.stl"), std::string("phragmocone"), air, &mesh.phragmocone},
          std::tuple{std::string("shell_body_chamber.stl"), std::string("body_chamber"), body, &mesh.bodyChamber}}) {
        meshread::Mesh m;
        ASSERT_TRUE(meshread::ReadStl(dir / file, m, error)) << error;
        EXPECT_EQ(m.header.rfind("ammonite shell: " + name + ", unit mm", 0), 0u) << m.header;
        EXPECT_EQ(m.faces.size(), object->triangles.size());
        EXPECT_EQ(m.vertices.size(), object->vertices.size());  // welded back to the shared points
        const meshread::Topology t = meshread::CheckTopology(m);
        EXPECT_TRUE(t.closed && t.oriented) << file;
        EXPECT_EQ(t.degenerate, 0u);
        EXPECT_NEAR(meshread::Volume(m) / volume, 1, 1e-9) << file;
        // Stored normals are unit vectors along the winding.
        for (size_t i = 0; i < m.faces.size(); i += 97) {
            const auto &a = m.vertices[m.faces[i][0]], &b = m.vertices[m.faces[i][1]], &c = m.vertices[m.faces[i][2]];
            const double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
            const double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
            const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
            const auto& n = m.normals[i];
            EXPECT_NEAR(std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]), 1, 1e-6);
            EXPECT_GT(nx * n[0] + ny * n[1] + nz * n[2], 0) << i;
        }
    }

    ASSERT_TRUE(ExportShellMesh(MeshFormat::Ply, dir / "shell", d.model(), d.run(), options, written, error))
        << error;
    EXPECT_EQ(written, (std::vector<std::string>{dir / "shell_phragmocone.ply", dir / "shell_body_chamber.ply",
                                                 dir / "shell_volumes.txt"}));
    for (const auto& [file, name, object] :
         {std::tuple{std::string("shell_phragmocone.ply"), std::string("phragmocone"), &mesh.phragmocone},
          std::tuple{std::string("shell_body_chamber.ply"), std::string("body_chamber"), &mesh.bodyChamber}}) {
        meshread::Mesh m;
        ASSERT_TRUE(meshread::ReadPly(dir / file, m, error)) << error;
        EXPECT_EQ(m.header, "ammonite shell: " + name + ", unit mm");
        EXPECT_EQ(m.vertices, object->vertices);
        EXPECT_EQ(m.faces, object->triangles);
        const meshread::Topology t = meshread::CheckTopology(m);
        EXPECT_TRUE(t.closed && t.oriented) << file;
        EXPECT_NEAR(meshread::Volume(m) / MeshVolume(*object), 1, 1e-9);
    }

    ASSERT_TRUE(ExportShellMesh(MeshFormat::Obj, dir / "shell.OBJ", d.model(), d.run(), options, written, error))
        << error;
    EXPECT_EQ(written, (std::vector<std::string>{dir / "shell.OBJ", dir / "shell_volumes.txt"}));
    std::map<std::string, meshread::Mesh> groups;
    std::vector<std::string> order;
    ASSERT_TRUE(meshread::ReadObj(dir / "shell.OBJ", groups, order, error)) << error;
    EXPECT_EQ(order, (std::vector<std::string>{"phragmocone", "body_chamber"}));
    EXPECT_EQ(groups["phragmocone"].vertices, mesh.phragmocone.vertices);  // shortest texts read back exactly
    EXPECT_EQ(groups["body_chamber"].faces, mesh.bodyChamber.triangles);
    for (auto& [name, m] : groups) {
        const meshread::Topology t = meshread::CheckTopology(m);
        EXPECT_TRUE(t.closed && t.oriented) << name;
    }
    EXPECT_NEAR(meshread::Volume(groups["phragmocone"]) / air, 1, 1e-9);
    EXPECT_NEAR(meshread::Volume(groups["body_chamber"]) / body, 1, 1e-9);

    // Everything written is there, and no temporary is left.
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"shell.OBJ", "shell_body_chamber.ply", "shell_body_chamber.stl",
                                                     "shell_phragmocone.ply", "shell_phragmocone.stl",
                                                     "shell_volumes.txt"}));
}

TEST(MeshFiles, SidecarHasScaleVolumesDensitiesAndMass) {
    DefaultRun d(0);
    const MeshOptions options{2, 36};
    const ShellMesh mesh = Build(d.model(), d.run(), 36, 2);
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Stl, dir / "a.stl", d.model(), d.run(), options, written, error)) << error;
    auto kv = ReadKeyValues(dir / "a_volumes.txt");
    EXPECT_EQ(kv["format"], "stl");
    EXPECT_EQ(kv["phragmocone"], "written");
    EXPECT_EQ(kv["phragmocone_file"], "a_phragmocone.stl");
    EXPECT_EQ(kv["body_chamber_file"], "a_body_chamber.stl");
    EXPECT_EQ(kv["unit"], "mm");
    EXPECT_EQ(kv["mm_per_unit"], "2");
    EXPECT_EQ(kv["ribbing"], "off");
    EXPECT_EQ(kv["first_stage"], "1");
    EXPECT_EQ(kv["last_stage"], std::to_string(d.model().shownStage));
    EXPECT_EQ(kv["rings"], "1.." + std::to_string(d.model().shownStage + 1));
    EXPECT_EQ(kv["ring_points"], "36");
    EXPECT_EQ(kv["generator"], std::string("ammonite ") + kVersion);
    auto number = [&](const std::string& key) {
        EXPECT_EQ(kv.count(key), 1u) << key;
        return std::stod(kv[key]);
    };
    const double air = MeshVolume(mesh.phragmocone), body = MeshVolume(mesh.bodyChamber);
    EXPECT_NEAR(number("phragmocone_volume_mm3") / air, 1, 1e-11);
    EXPECT_NEAR(number("body_chamber_volume_mm3") / body, 1, 1e-11);
    EXPECT_NEAR(number("mesh_volume_mm3") / (air + body), 1, 1e-11);
    EXPECT_NEAR(number("run_total_volume_mm3") / (8 * d.run().totalVolume), 1, 1e-11);
    EXPECT_NEAR(number("run_air_volume_mm3") / (8 * d.run().airVolume), 1, 1e-11);
    EXPECT_NEAR(number("run_body_volume_mm3") / (8 * d.run().bodyVolume), 1, 1e-11);
    const double d0 = d.model().densities[0], d1 = d.model().densities[1];
    EXPECT_EQ(number("density_air_chamber_g_cm3"), d0);
    EXPECT_EQ(number("density_body_chamber_g_cm3"), d1);
    EXPECT_NEAR(number("mass_g") / ((air * d0 + body * d1) / 1000), 1, 1e-11);
    EXPECT_NEAR(number("run_mass_g") / (8 * d.run().totalMass / 1000), 1, 1e-9);
}

// A global C++ locale with a decimal comma and digit grouping.
struct CommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(MeshFiles, NumbersUseAPointAndNoGroupingWhateverTheLocale) {
    DefaultRun d(0);
    // The C locale too, where one with a decimal comma is installed.
    const std::string oldC = std::setlocale(LC_NUMERIC, nullptr);
    const bool commaC = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    const std::locale oldGlobal = std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    const bool obj =
        ExportShellMesh(MeshFormat::Obj, dir / "c.obj", d.model(), d.run(), MeshOptions{1, 36}, written, error);
    const bool ply =
        obj && ExportShellMesh(MeshFormat::Ply, dir / "c.ply", d.model(), d.run(), MeshOptions{1, 36}, written, error);
    std::locale::global(oldGlobal);
    std::setlocale(LC_NUMERIC, oldC.c_str());
    ASSERT_TRUE(obj && ply) << error;
    std::ifstream in(dir / "c.obj");
    std::string line;
    size_t vertices = 0, faces = 0;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) == 0) ++vertices;
        if (line.rfind("f ", 0) == 0) ++faces;
        if (line[0] != '#') {
            ASSERT_EQ(line.find_first_not_of("vfog 0123456789.-+e_abcdhmnoprty"), std::string::npos) << line;
        }
    }
    EXPECT_GT(vertices, 1000u);
    EXPECT_GT(faces, 100000u);  // indices past 1000 are not grouped
    EXPECT_EQ(meshread::readAll(dir / "c_volumes.txt").find(','), std::string::npos);
    meshread::Mesh m;
    EXPECT_TRUE(meshread::ReadPly(dir / "c_phragmocone.ply", m, error)) << error;  // a vertex count past 1000
    if (!commaC) GTEST_LOG_(INFO) << "no C locale with a decimal comma is installed: the C++ locale was checked";
}

TEST(MeshFiles, FileNames) {
    auto paths = MeshFilePathsFor(MeshFormat::Stl, "out/shell.stl");
    EXPECT_EQ(paths.phragmocone, "out/shell_phragmocone.stl");
    EXPECT_EQ(paths.bodyChamber, "out/shell_body_chamber.stl");
    EXPECT_EQ(paths.volumes, "out/shell_volumes.txt");
    paths = MeshFilePathsFor(MeshFormat::Ply, "out/shell");
    EXPECT_EQ(paths.phragmocone, "out/shell_phragmocone.ply");
    EXPECT_EQ(paths.volumes, "out/shell_volumes.txt");
    paths = MeshFilePathsFor(MeshFormat::Stl, "Shell.STL");
    EXPECT_EQ(paths.bodyChamber, "Shell_body_chamber.stl");
    paths = MeshFilePathsFor(MeshFormat::Stl, "out.v2/shell.ply");  // not the format's extension
    EXPECT_EQ(paths.phragmocone, "out.v2/shell.ply_phragmocone.stl");
    paths = MeshFilePathsFor(MeshFormat::Obj, "out/shell.obj");
    EXPECT_EQ(paths.phragmocone, "out/shell.obj");
    EXPECT_EQ(paths.bodyChamber, "out/shell.obj");
    EXPECT_EQ(paths.volumes, "out/shell_volumes.txt");
    paths = MeshFilePathsFor(MeshFormat::Obj, "out/shell");
    EXPECT_EQ(paths.phragmocone, "out/shell.obj");
    paths = MeshFilePathsFor(MeshFormat::Obj, ".obj");  // a name that is only the extension
    EXPECT_EQ(paths.phragmocone, ".obj");
    EXPECT_EQ(paths.volumes, "_volumes.txt");
}

TEST(MeshExport, RefusesBeforeAnyRunAndAfterAFailedRun) {
    test_support::GrownShell w;
    TempDir dir;
    std::vector<std::string> written{"stale"};
    std::string error;
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x.stl", *w.model, w.run, MeshOptions{}, written, error));
    EXPECT_EQ(error, "Nothing to export yet: press START first");
    EXPECT_TRUE(written.empty());
    EXPECT_TRUE(dir.names().empty());

    // β drops to 0 at stage 250: the run stops with a division by zero.
    ParameterProfile& beta = w.model->betaProfile;
    beta.count = 3;
    beta.setPoint(0, 0, 12);
    beta.setPoint(1, 249, 12);
    beta.setPoint(2, 250, 0);
    beta.setPoint(3, 3000, 0);
    EXPECT_THROW(w.start(), RuntimeError);
    ASSERT_FALSE(w.run.hasRun);
    ASSERT_GT(w.run.lastBuiltStage, 0);
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Obj, dir / "x.obj", *w.model, w.run, MeshOptions{}, written, error));
    EXPECT_EQ(error, "Cannot export: the last run stopped on an error at stage 250, before the shell was complete");
    EXPECT_TRUE(dir.names().empty());
}

TEST(MeshExport, RefusesBadOptionsAndStagesTheRunDidNotBuild) {
    DefaultRun d(0);
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    for (int n : {0, 1, 2, 7, 359, 720, -36}) {
        EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", d.model(), d.run(), MeshOptions{1, n}, written, error));
        EXPECT_EQ(error.rfind("Bad mesh option: ring points", 0), 0u) << n << ": " << error;
    }
    for (double s : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", d.model(), d.run(), MeshOptions{s, 36}, written, error));
        EXPECT_EQ(error.rfind("Bad mesh option: the scale", 0), 0u) << s << ": " << error;
    }
    // Finite but too large for single precision.
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", d.model(), d.run(), MeshOptions{1e300, 36}, written, error));
    EXPECT_NE(error.find("not a finite number"), std::string::npos) << error;
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir.path.string() + "/", d.model(), d.run(), MeshOptions{}, written,
                                 error));
    EXPECT_EQ(error, "Bad mesh option: no file name given");

    ModelState model = d.model();
    model.shownStage = 4000;
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", model, d.run(), MeshOptions{}, written, error));
    EXPECT_EQ(error, "Cannot export: stage 4000 is beyond the last stage that can be shaded (3999)");
    model.shownStage = static_cast<std::int16_t>(d.run().lastBuiltStage);  // typed in after the run
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", model, d.run(), MeshOptions{}, written, error));
    EXPECT_NE(error.find("beyond the last run"), std::string::npos) << error;
    model.shownStage = 0;
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "x", model, d.run(), MeshOptions{}, written, error));
    EXPECT_TRUE(dir.names().empty());

    // A shorter tube than the run built is fine: it ends before the body
    // chamber starts, so it is all phragmocone.
    model.shownStage = 1000;
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Stl, dir / "part", model, d.run(), MeshOptions{1, 36}, written, error))
        << error;
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"part_phragmocone.stl", "part_volumes.txt"}));
    EXPECT_EQ(ReadKeyValues(dir / "part_volumes.txt")["body_chamber"], "empty");
}

TEST(MeshExport, AFileThatCannotBeWrittenIsNamedAndNothingIsLeftBehind) {
    DefaultRun d(0);
    TempDir dir;
    std::vector<std::string> written;
    std::string error;
    const std::string missing = dir / "no_such_folder/shell.stl";
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, missing, d.model(), d.run(), MeshOptions{1, 36}, written, error));
    EXPECT_EQ(error, "cannot write " + dir / "no_such_folder/shell_phragmocone.stl" + ": No such file or directory");
    EXPECT_TRUE(written.empty());

    // Earlier files of an export that fails later stay unwritten: the
    // sidecar's name is taken by a folder, so the export stops before any
    // file is moved into place; old files keep their content, and an
    // unrelated ".part" file is not touched.
    {
        std::ofstream old(dir / "s_phragmocone.stl");
        old << "old";
        std::ofstream part(dir / "s_phragmocone.stl.part");
        part << "not ours";
    }
    fs::create_directory(dir / "s_volumes.txt");
    EXPECT_FALSE(ExportShellMesh(MeshFormat::Stl, dir / "s.stl", d.model(), d.run(), MeshOptions{1, 36}, written, error));
    EXPECT_EQ(error, "cannot write " + dir / "s_volumes.txt" + ": it is a folder");
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"s_phragmocone.stl", "s_phragmocone.stl.part", "s_volumes.txt"}));
    EXPECT_EQ(meshread::readAll(dir / "s_phragmocone.stl.part"), "not ours");
    EXPECT_EQ(meshread::readAll(dir / "s_phragmocone.stl"), "old");
}

// The tube as it stood at an earlier stage: its rings up to that stage, cut
// where the body chamber began then, with the volumes the run had there.
TEST(ShellMesh, TheTubeAtAnEarlierStageIsCutWhereItsBodyChamberBeganThen) {
    DefaultRun d(0);
    const RunState& run = d.run();
    const int s = 800;
    ShellMesh mesh;
    std::string error;
    MeshOptions options{1, 72};
    options.stage = s;
    ASSERT_TRUE(BuildShellMesh(d.model(), run, options, mesh, error)) << error;
    EXPECT_EQ(mesh.lastStage, s);
    ExpectClosed(mesh.phragmocone, "phragmocone");
    ExpectClosed(mesh.bodyChamber, "body chamber");
    const StageHydrostatics& row = run.hydrostaticsByStage[s];
    const long j = row.bodyStartStage;
    const double t = row.bodyStartFraction;
    EXPECT_NE(j, run.bodyStartStage);  // not the grown shell's cut
    EXPECT_DOUBLE_EQ(mesh.bodyStartRing, j + 1 + t);
    const double air = run.volumeByStage[j] + t * (run.volumeByStage[j + 1] - run.volumeByStage[j]);
    const double total = run.volumeByStage[s], lastSegment = total - run.volumeByStage[s - 1];
    EXPECT_NEAR(MeshVolume(mesh.phragmocone) / air, 1, 0.005);
    EXPECT_NEAR(Total(mesh) / (total - lastSegment), 1, 0.005);

    // A stage past the tube the model shows is refused, although the run
    // has its hydrostatics (the run's last stage is not shown).
    options.stage = d.model().shownStage + 1;
    ASSERT_TRUE(run.hydrostaticsByStage[options.stage].valid);
    EXPECT_FALSE(BuildShellMesh(d.model(), run, options, mesh, error));
    EXPECT_NE(error.find("stage " + std::to_string(options.stage)), std::string::npos) << error;
}

#include "render/shell_mesh.h"

#include <cmath>
#include <exception>
#include <new>

#include "render/ring_model.h"
#include "render/shading.h"

namespace ammonite {

namespace {

// A fraction this close to 0 or 1 puts the cut on an existing ring.
constexpr double kOnRing = 1e-9;

// Rings in model coordinates times the scale, `n` points each, stored one
// after the other: ring i (1-based) starts at (i - 1)·n.
struct TubeRings {
    int n = 0;
    std::vector<Vec3> points;
    const Vec3* ring(int i) const { return &points[static_cast<size_t>(i - 1) * static_cast<size_t>(n)]; }
};

void computeRings(const ModelState& model, const RunState& run, const std::vector<double>& ribFactor,
                  int lastRing, int n, double scale, TubeRings& out) {
    const RingAngles& angles = ringAngles();
    const int step = kRingSteps / n;
    out.n = n;
    out.points.resize(static_cast<size_t>(lastRing) * static_cast<size_t>(n));
    for (int j = 1; j <= lastRing; ++j) {
        const double c = model.ribbingOn == 1 ? ribFactor.at(static_cast<size_t>(j)) : 1.0;
        const RingPlacement placement = RingPlacementOf(run, j, c);
        Vec3* dst = &out.points[static_cast<size_t>(j - 1) * static_cast<size_t>(n)];
        for (int i = 0; i < n; ++i) {
            const Vec3 p = RingPointInModel(placement, angles, i * step);
            dst[i] = {p.x * scale, p.y * scale, p.z * scale};
        }
    }
}

std::array<float, 3> toFloat(const Vec3& p) {
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

// A closed tube over the given rings (at least two): side quads split in two
// triangles, a fan to the mean point of each end ring. Normals are made to
// point out by the sign of the enclosed volume.
void buildObject(const std::vector<const Vec3*>& rings, int n, MeshObject& out) {
    out.vertices.clear();
    out.triangles.clear();
    if (rings.size() < 2) return;
    const size_t count = rings.size();
    out.vertices.reserve(count * static_cast<size_t>(n) + 2);
    out.triangles.reserve((count - 1) * 2 * static_cast<size_t>(n) + 2 * static_cast<size_t>(n));
    for (const Vec3* ring : rings)
        for (int i = 0; i < n; ++i) out.vertices.push_back(toFloat(ring[i]));
    auto meanOf = [n](const Vec3* ring) {
        Vec3 m;
        for (int i = 0; i < n; ++i) m.x += ring[i].x, m.y += ring[i].y, m.z += ring[i].z;
        return Vec3{m.x / n, m.y / n, m.z / n};
    };
    const auto startCentre = static_cast<std::uint32_t>(out.vertices.size());
    out.vertices.push_back(toFloat(meanOf(rings.front())));
    const auto endCentre = static_cast<std::uint32_t>(out.vertices.size());
    out.vertices.push_back(toFloat(meanOf(rings.back())));

    const auto un = static_cast<std::uint32_t>(n);
    auto at = [un](size_t ring, std::uint32_t k) { return static_cast<std::uint32_t>(ring) * un + k % un; };
    for (std::uint32_t k = 0; k < un; ++k) out.triangles.push_back({startCentre, at(0, k + 1), at(0, k)});
    for (size_t r = 0; r + 1 < count; ++r) {
        for (std::uint32_t k = 0; k < un; ++k) {
            out.triangles.push_back({at(r, k), at(r, k + 1), at(r + 1, k + 1)});
            out.triangles.push_back({at(r, k), at(r + 1, k + 1), at(r + 1, k)});
        }
    }
    for (std::uint32_t k = 0; k < un; ++k) out.triangles.push_back({endCentre, at(count - 1, k), at(count - 1, k + 1)});

    if (MeshVolume(out) < 0)
        for (auto& t : out.triangles) std::swap(t[1], t[2]);
}

bool fail(std::string& error, const std::string& message) {
    error = message;
    return false;
}

}  // namespace

bool CheckMeshOptions(const MeshOptions& options, std::string& error) {
    const int n = options.ringPoints;
    if (n < 3 || n > kRingSteps || kRingSteps % n != 0)
        return fail(error, "Bad mesh option: ring points must be a divisor of 360 from 3 up (got " +
                               std::to_string(n) + ")");
    if (!(options.mmPerUnit > 0) || !std::isfinite(options.mmPerUnit))
        return fail(error, "Bad mesh option: the scale must be a positive number of mm per model unit (got " +
                               formatNumber(options.mmPerUnit) + ")");
    return true;
}

bool ShellMeshAvailable(const ModelState& model, const RunState& run, std::string& error, int stage) {
    // A run that stopped on an error leaves its tables half written: the
    // rings it built are there, but not the body chamber of that tube.
    if (!run.hasRun)
        return fail(error, run.currentStage >= 1
                               ? "Cannot export: the last run stopped on an error at stage " +
                                     std::to_string(static_cast<long>(run.currentStage)) +
                                     ", before the shell was complete"
                               : "Nothing to export yet: press START first");
    const bool earlier = stage > 0;
    const int shown = earlier ? stage : model.shownStage;
    if (earlier && (stage > model.shownStage || stage >= kMaxStage || !run.hydrostaticsByStage[stage].valid))
        return fail(error, "Cannot build the tube at stage " + std::to_string(stage) +
                               ": the last run has no hydrostatics there");
    if (shown > kMaxStage - 1)
        return fail(error, "Cannot export: stage " + std::to_string(shown) +
                               " is beyond the last stage that can be shaded (3999)");
    if (shown < 1)
        return fail(error, "Cannot export: the shell has no stage to show (" + std::to_string(shown) + ")");
    // Ring shown + 1 needs the frame of row shown + 1, which only a run that
    // reached that stage has written.
    if (shown + 1 > run.lastBuiltStage)
        return fail(error, "Cannot export: stage " + std::to_string(shown) +
                               " is beyond the last run (its tube ends at stage " +
                               std::to_string(run.lastBuiltStage - 1) + "); press START");
    return true;
}

bool BuildShellMesh(const ModelState& model, const RunState& run, const MeshOptions& options, ShellMesh& mesh,
                    std::string& error) {
    mesh = ShellMesh{};
    if (!ShellMeshAvailable(model, run, error, options.stage)) return false;
    const bool earlier = options.stage > 0;
    const int shown = earlier ? options.stage : model.shownStage;
    if (!CheckMeshOptions(options, error)) return false;

    try {
        const int n = options.ringPoints;
        const int lastRing = shown + 1;
        mesh.mmPerUnit = options.mmPerUnit;
        mesh.ringPoints = n;
        mesh.ribbing = model.ribbingOn == 1;
        mesh.lastStage = shown;

        // Rib factors from a copy of the marks: the export leaves the run as it is.
        std::vector<double> ribFactor;
        if (mesh.ribbing) {
            StageTable<std::int16_t> marks = run.ribMark;
            CountRibGaps(marks, shown);
            ribFactor = RibProfile(marks, shown);
        }
        TubeRings tube;
        computeRings(model, run, ribFactor, lastRing, n, options.mmPerUnit, tube);
        for (const Vec3& p : tube.points) {
            const std::array<float, 3> f = toFloat(p);
            if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2]))
                return fail(error, "Cannot export: a point of the tube is not a finite number at this scale");
        }

        // The cut: ring j + 1 + t, between ring j + 1 (centre j) and ring j + 2
        // (centre j + 1).
        const StageHydrostatics& atStage = run.hydrostaticsByStage[shown];
        const int j = earlier ? atStage.bodyStartStage : run.bodyStartStage;
        double t = earlier ? atStage.bodyStartFraction : run.bodyStartFraction;
        double cut = j + 1 + t;
        int below = j + 1;  // the last whole ring before the cut
        if (!(t >= -kOnRing && t <= 1 + kOnRing)) {
            // Not between its own two rings: place the cut by its position.
            below = static_cast<int>(std::floor(cut));
            t = cut - below;
        }
        mesh.bodyStartRing = cut;

        std::vector<Vec3> cutRing;
        std::vector<const Vec3*> air, body;
        if (!(cut > 1 + kOnRing)) {
            // The body chamber takes the whole tube (or the cut lies before it).
            for (int i = 1; i <= lastRing; ++i) body.push_back(tube.ring(i));
        } else if (!(cut < lastRing - kOnRing)) {
            // The cut lies at or past the last ring: no body chamber in this tube.
            for (int i = 1; i <= lastRing; ++i) air.push_back(tube.ring(i));
        } else {
            const Vec3* cutPoints = nullptr;
            int lastAir = below, firstBody = below + 1;
            if (t <= kOnRing) {
                cutPoints = tube.ring(below);
                lastAir = below - 1;
            } else if (t >= 1 - kOnRing) {
                cutPoints = tube.ring(below + 1);
                firstBody = below + 2;
            } else {
                const Vec3* a = tube.ring(below);
                const Vec3* b = tube.ring(below + 1);
                cutRing.resize(static_cast<size_t>(n));
                for (int i = 0; i < n; ++i)
                    cutRing[static_cast<size_t>(i)] = {a[i].x + t * (b[i].x - a[i].x), a[i].y + t * (b[i].y - a[i].y),
                                                       a[i].z + t * (b[i].z - a[i].z)};
                cutPoints = cutRing.data();
            }
            for (int i = 1; i <= lastAir; ++i) air.push_back(tube.ring(i));
            air.push_back(cutPoints);
            body.push_back(cutPoints);
            for (int i = firstBody; i <= lastRing; ++i) body.push_back(tube.ring(i));
        }
        buildObject(air, n, mesh.phragmocone);
        buildObject(body, n, mesh.bodyChamber);
        return true;
    } catch (const std::bad_alloc&) {
        mesh = ShellMesh{};
        return fail(error, "Cannot export: not enough memory for the mesh");
    } catch (const std::exception& e) {
        mesh = ShellMesh{};
        return fail(error, std::string("Cannot export: ") + e.what());
    }
}

double MeshVolume(const MeshObject& object) {
    if (object.triangles.empty()) return 0;
    // Tetrahedra from a point of the object keep the terms small.
    const auto& o = object.vertices.front();
    const double ox = o[0], oy = o[1], oz = o[2];
    double sum = 0;
    for (const auto& t : object.triangles) {
        const auto& a = object.vertices[t[0]];
        const auto& b = object.vertices[t[1]];
        const auto& c = object.vertices[t[2]];
        const double ax = a[0] - ox, ay = a[1] - oy, az = a[2] - oz;
        const double bx = b[0] - ox, by = b[1] - oy, bz = b[2] - oz;
        const double cx = c[0] - ox, cy = c[1] - oy, cz = c[2] - oz;
        sum += ax * (by * cz - bz * cy) + ay * (bz * cx - bx * cz) + az * (bx * cy - by * cx);
    }
    return sum / 6;
}

}  // namespace ammonite

#include "render/film.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

#include "core/numeric.h"
#include "render/shell_mesh.h"

namespace ammonite {

namespace {

using namespace vec3;

constexpr double kFullTurn = 2 * 3.14159265358979323846;
// The camera looks down on the water line a little, so that it reads as a plane.
constexpr double kFilmPitch = 0.25;
// Share of a film of both kinds given to the growth.
constexpr double kGrowthShare = 0.6;
// Points per ring of the meshes the camera is fitted to.
constexpr int kFitRingPoints = 24;
// Stages the camera is fitted to, at most (evenly spread, the last among them).
constexpr int kFitStages = 24;
// Turns a turntable's camera is fitted at.
constexpr int kFitTurns = 16;
// The part of the frame the shell may fill at most, from the centre out.
constexpr double kFill = 0.88;


bool buildMesh(const ModelState& model, const RunState& run, int stage, int ringPoints, ViewMesh& out,
               std::string& error) {
    try {
        ShellMesh mesh;
        MeshOptions options;
        options.ringPoints = ringPoints;
        options.stage = stage;
        if (!BuildShellMesh(model, run, options, mesh, error)) {
            const std::string exportWords = "Cannot export: ";
            if (error.compare(0, exportWords.size(), exportWords) == 0)
                error = "Cannot film the shell: " + error.substr(exportWords.size());
            return false;
        }
        MakeViewMesh(mesh, out);
        return true;
    } catch (const std::exception& e) {
        error = "The shell at stage " + std::to_string(stage) + " could not be drawn: " + e.what();
        return false;
    }
}

// A model point in the world of a scene.
Vec3 toWorld(const MeshScene& scene, const Vec3& p) {
    const Vec3 d = sub(p, scene.pivot);
    return {dot(d, scene.frame.right), dot(d, scene.frame.up), dot(d, scene.frame.back)};
}

}  // namespace

const char* FilmKindName(FilmKind kind) {
    switch (kind) {
    case FilmKind::Growth: return "growth";
    case FilmKind::Turntable: return "turntable";
    case FilmKind::Both: return "both";
    }
    return "growth";
}

bool ParseFilmKind(const std::string& text, FilmKind& kind) {
    for (FilmKind k : {FilmKind::Growth, FilmKind::Turntable, FilmKind::Both}) {
        if (text == FilmKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

bool ParseFilmSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    auto whole = [](const std::string& part, int& out) {
        if (part.empty() || part.size() > 6) return false;
        for (char c : part)
            if (c < '0' || c > '9') return false;
        out = std::stoi(part);
        return true;
    };
    return whole(text.substr(0, x), width) && whole(text.substr(x + 1), height);
}

bool CheckFilmSettings(const FilmSettings& s, std::string& error) {
    auto side = [&](const char* name, int v) {
        if (v < kFilmMinSide || v > kFilmMaxSide) {
            error = std::string("Bad film ") + name + ": " + std::to_string(v) + " pixels; it must lie from " +
                    std::to_string(kFilmMinSide) + " to " + std::to_string(kFilmMaxSide);
            return false;
        }
        if (v % 2 != 0) {
            error = std::string("Bad film ") + name + ": " + std::to_string(v) +
                    " pixels; it must be even, as video encoders need it";
            return false;
        }
        return true;
    };
    if (!side("width", s.width) || !side("height", s.height)) return false;
    if (s.fps < 1 || s.fps > kFilmMaxFps) {
        error = "Bad film frame rate: " + std::to_string(s.fps) + " frames per second; it must lie from 1 to " +
                std::to_string(kFilmMaxFps);
        return false;
    }
    if (!(s.seconds > 0) || !(s.seconds <= kFilmMaxSeconds)) {
        error = "Bad film duration: " + formatNumber(s.seconds) + " s; it must be above 0 and at most " +
                formatNumber(kFilmMaxSeconds) + " s";
        return false;
    }
    if (s.turnStage < 0) {
        error = "Bad turntable stage: " + std::to_string(s.turnStage);
        return false;
    }
    return true;
}

int FilmFrameCount(const FilmSettings& s) {
    const double frames = std::round(s.fps * s.seconds);
    return frames < 1 ? 1 : static_cast<int>(std::min(frames, kFilmMaxFps * kFilmMaxSeconds));
}

bool FilmPlan::prepare(const ModelState& model, const RunState& run, const FilmSettings& settings,
                       std::string& error) {
    model_ = nullptr;
    run_ = nullptr;
    frames_.clear();
    if (!CheckFilmSettings(settings, error)) return false;
    settings_ = settings;
    if (!run.hasRun) {
        error = run.currentStage >= 1 ? "Cannot film the shell: the last run stopped on an error at stage " +
                                            std::to_string(static_cast<long>(run.currentStage))
                                      : "Nothing to film yet: grow a shell first";
        return false;
    }
    lastStage_ = std::min<int>(model.shownStage, kMaxStage - 1);
    // The stages that took part in the hydrostatics, each with its own orientation.
    std::vector<int> stages;
    for (int s = 1; s <= lastStage_; ++s)
        if (run.hydrostaticsByStage[s].valid) stages.push_back(s);
    if (stages.empty()) {
        error = "Cannot film the shell: the last run has no stage with hydrostatics";
        return false;
    }
    firstStage_ = stages.front();
    lastStage_ = stages.back();
    const int turnStage = settings.turnStage > 0 ? settings.turnStage : lastStage_;
    if (settings.kind != FilmKind::Growth &&
        (turnStage > lastStage_ || turnStage < 1 || !run.hydrostaticsByStage[turnStage].valid)) {
        error = "Bad turntable stage: " + std::to_string(turnStage) + "; the last run has stages " +
                std::to_string(firstStage_) + " to " + std::to_string(lastStage_);
        return false;
    }
    model_ = &model;
    run_ = &run;

    // ---- the frames ----
    const int total = FilmFrameCount(settings);
    int growthFrames = 0;
    if (settings.kind == FilmKind::Growth) growthFrames = total;
    if (settings.kind == FilmKind::Both)
        growthFrames = std::clamp(static_cast<int>(std::lround(total * kGrowthShare)), 1, total);
    const int turnFrames = total - growthFrames;
    frames_.reserve(static_cast<size_t>(total));
    const size_t m = stages.size();
    for (int k = 0; k < growthFrames; ++k) {
        const size_t i = growthFrames == 1 ? m - 1
                                           : static_cast<size_t>(std::llround(static_cast<double>(k) * (m - 1) /
                                                                              (growthFrames - 1)));
        frames_.push_back({stages[std::min(i, m - 1)], 0.0});
    }
    for (int k = 0; k < turnFrames; ++k) frames_.push_back({turnStage, kFullTurn * k / turnFrames});

    // ---- the camera: fitted once to every stage and turn the film shows ----
    std::vector<int> fitStages;
    const int growthStages = growthFrames > 0 ? static_cast<int>(m) : 0;
    for (int i = 0; i < std::min(growthStages, kFitStages); ++i) {
        const size_t at = growthStages <= kFitStages ? static_cast<size_t>(i)
                                                     : static_cast<size_t>(std::llround(
                                                           static_cast<double>(i) * (m - 1) / (kFitStages - 1)));
        fitStages.push_back(stages[at]);
    }
    if (turnFrames > 0) fitStages.push_back(turnStage);
    struct Sample {
        MeshScene scene;
        std::vector<Vec3> world;  // the mesh's points in the stage's world
        bool turns = false;
    };
    std::vector<Sample> samples;
    ViewMesh last;
    if (!buildMesh(model, run, lastStage_, kFitRingPoints, last, error)) return false;
    planeRadius_ = 1.3 * std::max(last.radius, 1e-6);
    for (size_t i = 0; i < fitStages.size(); ++i) {
        const int stage = fitStages[i];
        ViewMesh mesh;
        if (stage == lastStage_) {
            mesh = last;
        } else if (!buildMesh(model, run, stage, kFitRingPoints, mesh, error)) {
            return false;
        }
        Sample sample;
        sample.scene = scene(stage);
        sample.turns = turnFrames > 0 && stage == turnStage && i + 1 == fitStages.size();
        const size_t count = mesh.part.size();
        const size_t step = std::max<size_t>(1, count / 3000);
        for (size_t v = 0; v < count; v += step)
            sample.world.push_back(toWorld(sample.scene, {mesh.xyz[3 * v], mesh.xyz[3 * v + 1], mesh.xyz[3 * v + 2]}));
        samples.push_back(std::move(sample));
    }

    // The camera looks at the broad side of the grown shell: across the
    // longest horizontal spread of its points.
    {
        const std::vector<Vec3>& w = samples.empty() ? std::vector<Vec3>{} : samples.back().world;
        double mx = 0, mz = 0;
        for (const Vec3& p : w) mx += p.x, mz += p.z;
        const double n = std::max<double>(1, static_cast<double>(w.size()));
        mx /= n, mz /= n;
        double sxx = 0, szz = 0, sxz = 0;
        for (const Vec3& p : w) {
            sxx += (p.x - mx) * (p.x - mx);
            szz += (p.z - mz) * (p.z - mz);
            sxz += (p.x - mx) * (p.z - mz);
        }
        const double angle = 0.5 * std::atan2(2 * sxz, sxx - szz);  // major axis from the x axis
        camera_ = OrbitCamera{};
        camera_.yaw = std::atan2(-std::sin(angle), std::cos(angle));
        camera_.pitch = kFilmPitch;
    }
    // The target: the middle of what the film shows, on the vertical through
    // the centre of mass when the shell turns about it.
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Sample& s : samples)
        for (const Vec3& p : s.world) {
            const double c[3] = {p.x, p.y, p.z};
            for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], c[a]), hi[a] = std::max(hi[a], c[a]);
        }
    if (!(lo[0] <= hi[0])) lo[0] = lo[1] = lo[2] = hi[0] = hi[1] = hi[2] = 0;
    camera_.target = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    if (turnFrames > 0) camera_.target.x = camera_.target.z = 0;
    // First a distance that holds every point's sphere about the target...
    double radius = 1e-6;
    for (const Sample& s : samples)
        for (const Vec3& p : s.world) radius = std::max(radius, std::sqrt(dot(sub(p, camera_.target), sub(p, camera_.target))));
    const double aspect = static_cast<double>(settings.width) / settings.height;
    const double halfAngle = std::atan(std::tan(camera_.fieldOfView / 2) * std::min(1.0, aspect));
    camera_.distance = radius / std::sin(halfAngle) * 1.02;
    // ... then closer, until the widest view fills the frame.
    const double cx = settings.width / 2.0, cy = settings.height / 2.0;
    for (int pass = 0; pass < 4; ++pass) {
        double fill = 0, nearest = 0;
        bool behind = false;
        Vec3 right, up, back;
        for (const Sample& s : samples) {
            const int turns = s.turns ? kFitTurns : 1;
            for (int t = 0; t < turns; ++t) {
                OrbitCamera c = camera_;
                c.yaw += kFullTurn * t / turns;
                CameraAxes(c, right, up, back);
                for (const Vec3& p : s.world) {
                    nearest = std::max(nearest, dot(sub(p, c.target), back));
                    // The point's model coordinates are not needed: the scene's
                    // frame at the origin turns world points into themselves.
                    MeshScene world;
                    const ScreenPoint q = ProjectToScreen(p, c, world, settings.width, settings.height);
                    if (!q.inFront) {
                        behind = true;
                        break;
                    }
                    fill = std::max({fill, std::abs(q.x - cx) / cx, std::abs(q.y - cy) / cy});
                }
            }
        }
        if (behind || !(fill > 0)) break;
        const double next = std::max(camera_.distance * fill / kFill, 1.3 * nearest);
        if (!std::isfinite(next) || next <= 0) break;
        camera_.distance = next;
    }
    return true;
}

OrbitCamera FilmPlan::camera(int k) const {
    OrbitCamera c = camera_;
    c.yaw += frame(k).turn;
    return c;
}

MeshScene FilmPlan::scene(int stage) const {
    MeshScene scene;
    if (!run_ || stage < 0 || stage >= kMaxStage) return scene;
    const StageHydrostatics& row = run_->hydrostaticsByStage[stage];
    scene.frame = FrameWithUp(row.upVector);
    scene.pivot = row.massCentre;
    scene.centres = true;
    scene.buoyancyCentre = row.buoyancyCentre;
    scene.massCentre = row.massCentre;
    scene.planeRadius = planeRadius_;
    return scene;
}

std::vector<std::string> FilmPlan::caption(int stage) const {
    std::vector<std::string> lines;
    if (!run_ || stage < 0 || stage >= kMaxStage) return lines;
    const StageHydrostatics& row = run_->hydrostaticsByStage[stage];
    lines.push_back("Stage " + std::to_string(stage) + " of " + std::to_string(lastStage_));
    lines.push_back("Orientation " + OrientationLabel(run_->orientationAngleByStage[stage]) + "\xC2\xB0");
    lines.push_back("Density " + formatNumber(std::floor(1000 * row.meanDensity) / 1000) + " g/cm\xC2\xB3");
    lines.push_back("Stability " + formatDecimals(row.stabilityIndex, 3));
    return lines;
}

bool FilmPlan::stageMesh(int stage, ViewMesh& out, std::string& error) const {
    if (!model_ || !run_) {
        error = "No film is planned";
        return false;
    }
    return buildMesh(*model_, *run_, stage, kFilmRingPoints, out, error);
}

bool FilmPlan::render(int k, DrawingSurface& surface, FilmScratch& scratch, std::string& error) const {
    if (!model_ || !run_ || k < 0 || k >= frameCount()) {
        error = "No such frame: " + std::to_string(k + 1);
        return false;
    }
    PixelBuffer* buffer = surface.pixelBuffer();
    if (!buffer || buffer->width != settings_.width || buffer->height != settings_.height) {
        error = "The film's frames need a picture of " + std::to_string(settings_.width) + " x " +
                std::to_string(settings_.height) + " pixels";
        return false;
    }
    const FilmFrame& f = frame(k);
    if (scratch.meshStage != f.stage) {
        scratch.meshStage = -1;
        if (!stageMesh(f.stage, scratch.mesh, error)) return false;
        scratch.meshStage = f.stage;
    }
    RenderMeshView(*buffer, scratch.mesh, camera(k), scene(f.stage), scratch.view);
    surface.pixelsChanged();
    // The caption, top left, in a size that grows with the frame.
    const double margin = std::max(4.0, settings_.height / 40.0);
    surface.setForeColour(Rgb(24, 32, 44));
    surface.setCurrentPosition(margin, margin);
    for (const std::string& line : caption(f.stage)) {
        surface.print(line);
        surface.setCurrentPosition(margin, surface.currentY());
    }
    return true;
}

}  // namespace ammonite

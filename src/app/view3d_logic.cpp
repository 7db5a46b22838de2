#include "app/view3d_logic.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/numeric.h"
#include "model/growth.h"
#include "session/scenario_session.h"
#include "session/start_rules.h"

namespace ammonite {

namespace {

using namespace vec3;

double since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}


constexpr double kMaxPitch = 1.5608;  // π/2 − 0.01
constexpr double kHalfPi = 1.5707963267948966;

}  // namespace

bool RegrowthQueue::inputsAre(std::uint64_t key) {
    wanted_ = key;
    if (running_ || requested_ == key) return false;
    requested_ = key;
    running_ = true;
    ++started_;
    return true;
}

bool RegrowthQueue::growthEnded() {
    running_ = false;
    if (!wanted_ || wanted_ == requested_) return false;
    requested_ = wanted_;
    running_ = true;
    ++started_;
    return true;
}

void RegrowthQueue::acceptShown(std::uint64_t key) {
    requested_ = key;
    if (!running_) wanted_ = key;
}

ViewShell PrepareViewShell(std::unique_ptr<ModelState> model, std::unique_ptr<RunState> run, bool grow,
                           const std::string& scaleText, bool fullMesh) {
    ViewShell shell;
    const auto start = std::chrono::steady_clock::now();
    if (grow) {
        try {
            PressStart(*model, *run, scaleText);
        } catch (const RuntimeError& e) {
            shell.error = std::string("The shell stopped growing: ") + e.what();
        } catch (const std::exception& e) {
            shell.error = std::string("The shell could not be grown: ") + e.what();
        }
    }
    shell.growMilliseconds = since(start);
    const auto meshStart = std::chrono::steady_clock::now();
    if (shell.error.empty() && !run->hasRun)
        shell.error = run->currentStage >= 1
                          ? "The last run stopped on an error at stage " +
                                std::to_string(static_cast<long>(run->currentStage)) + ": there is no whole shell to show"
                          : "No shell yet: press START in the main window, or switch Live on";
    if (shell.error.empty()) {
        try {
            for (int points : {kInteractiveRingPoints, kFullRingPoints}) {
                if (points == kFullRingPoints && !fullMesh) break;
                ShellMesh mesh;
                MeshOptions options;
                options.ringPoints = points;
                if (!BuildShellMesh(*model, *run, options, mesh, shell.error)) {
                    const std::string exportWords = "Cannot export: ";
                    if (shell.error.compare(0, exportWords.size(), exportWords) == 0)
                        shell.error = "Cannot show the shell: " + shell.error.substr(exportWords.size());
                    break;
                }
                MakeViewMesh(mesh, points == kFullRingPoints ? shell.fine : shell.coarse);
            }
        } catch (const std::exception& e) {
            shell.error = std::string("The shell could not be drawn: ") + e.what();
        }
    }
    if (!shell.error.empty()) {
        shell.coarse = ViewMesh{};
        shell.fine = ViewMesh{};
    }
    shell.meshMilliseconds = since(meshStart);
    shell.model = std::move(model);
    shell.run = std::move(run);
    return shell;
}

bool BuildFullMesh(const ViewShell& shell, ViewMesh& out, std::string& error) {
    if (!shell.model || !shell.run) {
        error = "No shell to draw";
        return false;
    }
    try {
        ShellMesh mesh;
        MeshOptions options;
        options.ringPoints = kFullRingPoints;
        if (!BuildShellMesh(*shell.model, *shell.run, options, mesh, error)) return false;
        MakeViewMesh(mesh, out);
        return true;
    } catch (const std::exception& e) {
        error = std::string("The shell could not be drawn: ") + e.what();
        return false;
    }
}

ViewShellWorker::ViewShellWorker(LightReady lightReady, FullReady fullReady)
    : lightReady_(std::move(lightReady)), fullReady_(std::move(fullReady)), thread_([this] { loop(); }) {}

ViewShellWorker::~ViewShellWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        next_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

void ViewShellWorker::submit(ViewJob job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = std::move(job);
    }
    wake_.notify_all();
}

void ViewShellWorker::loop() {
    for (;;) {
        ViewJob job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || next_.has_value(); });
            if (stop_) return;
            job = std::move(*next_);
            next_.reset();
        }
        std::string stopped;
        if (job.scenario) {
            Session session;
            GrowScenario(*job.scenario, session);
            stopped = session.runtimeError;
            job.model = std::move(session.model);
            job.run = std::move(session.run);
            job.grow = false;
        }
        auto shell = std::make_shared<ViewShell>(
            PrepareViewShell(std::move(job.model), std::move(job.run), job.grow, job.scaleText, false));
        if (!stopped.empty()) shell->error = "The shell stopped growing: " + stopped;
        if (job.scenario) job.grow = true;
        const bool whole = shell->error.empty();
        // The callback may move the shell's contents away: keep what the full mesh needs.
        ViewShell source;
        source.model = shell->model;
        source.run = shell->run;
        if (lightReady_) lightReady_(shell, job.grow);
        if (!whole) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_ || next_) continue;  // a newer shell is wanted: its light mesh first
        }
        auto full = std::make_shared<ViewMesh>();
        std::string error;
        if (BuildFullMesh(source, *full, error) && fullReady_) fullReady_(source.run, full);
    }
}

// ---- the shell and its stages ----

void View3DLogic::setShell(ViewShell shell) {
    shell_ = std::move(shell);
    stageFineBuilt_ = false;
    stageCoarse_ = ViewMesh{};
    stageFine_ = ViewMesh{};
    if (!hasShell()) {
        message_ = shell_.error.empty() ? "Nothing to show: the last run built no shell" : shell_.error;
        stage_ = 0;
        return;
    }
    message_.clear();
    stage_ = lastStage();
    placeScene();
    if (!fitted_) fit();
}

bool View3DLogic::setFullMesh(const RunState* run, ViewMesh full) {
    if (!hasShell() || shell_.run.get() != run) return false;
    shell_.fine = std::move(full);
    return true;
}

int View3DLogic::lastStage() const { return hasShell() ? shell_.model->shownStage : 0; }

const ViewMesh& View3DLogic::shownMesh() const {
    static const ViewMesh none;
    if (!hasShell()) return none;
    const bool last = stage_ == lastStage();
    if (last) return interacting_ || shell_.fine.empty() ? shell_.coarse : shell_.fine;
    return interacting_ || !stageFineBuilt_ ? stageCoarse_ : stageFine_;
}

bool View3DLogic::buildStage(int s, int ringPoints, ViewMesh& out) {
    ShellMesh mesh;
    MeshOptions options;
    options.ringPoints = ringPoints;
    options.stage = s;
    std::string error;
    try {
        if (!BuildShellMesh(*shell_.model, *shell_.run, options, mesh, error)) {
            message_ = error;
            return false;
        }
        MakeViewMesh(mesh, out);
    } catch (const std::exception& e) {
        message_ = std::string("The shell at stage ") + std::to_string(s) + " could not be drawn: " + e.what();
        return false;
    }
    return true;
}

bool View3DLogic::setStage(int s) {
    if (!hasShell()) return false;
    s = std::clamp(s, 1, lastStage());
    if (s == stage_) return true;
    if (s != lastStage()) {
        ViewMesh coarse;
        if (!buildStage(s, kInteractiveRingPoints, coarse)) return false;
        stageCoarse_ = std::move(coarse);
        stageFine_ = ViewMesh{};
        stageFineBuilt_ = false;
    }
    message_.clear();
    stage_ = s;
    placeScene();
    return true;
}

void View3DLogic::settle() {
    interacting_ = false;
    if (!hasShell() || stage_ == lastStage() || stageFineBuilt_) return;
    ViewMesh fine;
    if (buildStage(stage_, kFullRingPoints, fine)) {
        stageFine_ = std::move(fine);
        stageFineBuilt_ = true;
    }
}

void View3DLogic::placeScene() {
    const StageHydrostatics& row = shell_.run->hydrostaticsByStage[stage_];
    MeshScene scene;
    if (row.valid) {
        scene.frame = FrameWithUp(row.upVector);
        scene.pivot = row.massCentre;
        scene.centres = true;
        scene.buoyancyCentre = row.buoyancyCentre;
        scene.massCentre = row.massCentre;
    } else {
        scene.pivot = shownMesh().centre;
    }
    // The plane keeps the size of the grown shell while earlier stages are shown.
    scene.planeRadius = 1.3 * std::max(shell_.coarse.radius, 1e-6);
    scene_ = scene;
}

// ---- camera ----

void View3DLogic::setViewport(int width, int height) {
    width_ = std::max(1, width);
    height_ = std::max(1, height);
}

void View3DLogic::press(int x, int y, DragMode mode) {
    dragMode_ = mode;
    lastX_ = x;
    lastY_ = y;
    interacting_ = true;
}

void View3DLogic::drag(int x, int y) {
    if (!dragMode_) return;
    const int dx = x - lastX_, dy = y - lastY_;
    lastX_ = x;
    lastY_ = y;
    if (*dragMode_ == DragMode::Orbit) {
        // Half a turn across the window's height.
        const double perPixel = 3.14159265358979 / std::max(200, height_);
        camera_.yaw -= dx * perPixel;
        camera_.pitch = std::clamp(camera_.pitch + dy * perPixel, -kMaxPitch, kMaxPitch);
        camera_.yaw = std::remainder(camera_.yaw, 2 * 3.14159265358979);
    } else {
        // The point under the cursor at the target's depth follows the cursor.
        const double perPixel = 2 * camera_.distance * std::tan(camera_.fieldOfView / 2) / height_;
        Vec3 right, up, back;
        CameraAxes(camera_, right, up, back);
        camera_.target = {camera_.target.x - (dx * right.x - dy * up.x) * perPixel,
                          camera_.target.y - (dx * right.y - dy * up.y) * perPixel,
                          camera_.target.z - (dx * right.z - dy * up.z) * perPixel};
    }
}

void View3DLogic::release() {
    dragMode_.reset();
    settle();
}

void View3DLogic::zoom(double wheelSteps) {
    const double size = std::max(hasShell() ? shell_.coarse.radius : 1.0, 1e-6);
    camera_.distance = std::clamp(camera_.distance * std::pow(0.85, wheelSteps), 0.05 * size, 50 * size);
}

void View3DLogic::fit() {
    if (!hasShell()) return;
    const ViewMesh& mesh = shownMesh();
    const Vec3 d = sub(mesh.centre, scene_.pivot);
    camera_.target = {dot(d, scene_.frame.right), dot(d, scene_.frame.up), dot(d, scene_.frame.back)};
    // First the bounding sphere in the narrower side of the window...
    const double aspect = static_cast<double>(width_) / height_;
    const double half = std::atan(std::tan(camera_.fieldOfView / 2) * std::min(1.0, aspect));
    const double radius = std::max(mesh.radius, 1e-6);
    camera_.distance = radius / std::sin(half) * 1.05;
    fitted_ = true;
    // ... then the shell's outline as seen from here, centred and filling
    // 85 % of the window (a long shell seen end on is small in its sphere).
    const size_t count = mesh.part.size();
    const size_t step = std::max<size_t>(1, count / 4000);
    const WorldFrame& f = scene_.frame;
    for (int pass = 0; pass < 2; ++pass) {
        Vec3 right, up, back;
        CameraAxes(camera_, right, up, back);
        double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300, nearest = 0;
        for (size_t v = 0; v < count; v += step) {
            const Vec3 point{mesh.xyz[3 * v], mesh.xyz[3 * v + 1], mesh.xyz[3 * v + 2]};
            const Vec3 o = sub(point, scene_.pivot);
            const Vec3 w{dot(o, f.right) - camera_.target.x, dot(o, f.up) - camera_.target.y,
                         dot(o, f.back) - camera_.target.z};
            nearest = std::max(nearest, dot(w, back));
            const ScreenPoint p = ProjectToScreen(point, camera_, scene_, width_, height_);
            if (!p.inFront) return;
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        const double fill = std::max((maxX - minX) / width_, (maxY - minY) / height_);
        if (!(fill > 0)) return;
        // Screen pixels at the target's depth, in model units.
        const double unitsPerPixel = 2 * camera_.distance * std::tan(camera_.fieldOfView / 2) / height_;
        const double dx = ((minX + maxX) / 2 - width_ / 2.0) * unitsPerPixel;
        const double dy = ((minY + maxY) / 2 - height_ / 2.0) * unitsPerPixel;
        camera_.target = {camera_.target.x + dx * right.x - dy * up.x, camera_.target.y + dx * right.y - dy * up.y,
                          camera_.target.z + dx * right.z - dy * up.z};
        // Never into the shell: its nearest part stays well in front of the eye.
        camera_.distance = std::max(camera_.distance * fill / 0.85, 1.5 * nearest);
    }
}

void View3DLogic::axisView(AxisView view) {
    switch (view) {
    case AxisView::Front: camera_.yaw = 0, camera_.pitch = 0; break;
    case AxisView::Back: camera_.yaw = 2 * kHalfPi, camera_.pitch = 0; break;
    case AxisView::Right: camera_.yaw = kHalfPi, camera_.pitch = 0; break;
    case AxisView::Left: camera_.yaw = -kHalfPi, camera_.pitch = 0; break;
    case AxisView::Top: camera_.yaw = 0, camera_.pitch = kMaxPitch; break;
    case AxisView::Bottom: camera_.yaw = 0, camera_.pitch = -kMaxPitch; break;
    }
}

void View3DLogic::setSpecimen(std::vector<std::pair<Vec3, Vec3>> points, int stage, const Vec3& centre) {
    specimen_ = std::move(points);
    specimenStage_ = stage;
    specimenCentre_ = centre;
}

long View3DLogic::render(PixelBuffer& target) {
    setViewport(target.width, target.height);
    // The specimen lies over the fitted shell only: a shell grown from other
    // inputs has another centre line.
    scene_.specimen.clear();
    if (!specimen_.empty() && hasShell() && shell_.run->lastBuiltStage >= specimenStage_) {
        const RunState& r = *shell_.run;
        const Vec3 c{r.centreXByStage[specimenStage_], r.centreYByStage[specimenStage_],
                     r.centreZByStage[specimenStage_]};
        if (std::fabs(c.x - specimenCentre_.x) + std::fabs(c.y - specimenCentre_.y) +
                std::fabs(c.z - specimenCentre_.z) < 1e-6)
            scene_.specimen = specimen_;
    }
    return RenderMeshView(target, shownMesh(), camera_, scene_, scratch_);
}

// ---- readout ----

View3DLogic::Readout View3DLogic::readout() const {
    Readout r;
    if (!hasShell()) return r;
    const RunState& run = *shell_.run;
    r.stage = std::to_string(stage_) + " of " + std::to_string(lastStage());
    if (stage_ == lastStage()) {
        // The grown shell: the texts the main window shows after this run.
        r.orientation = run.report.orientationLabel;
        r.density = run.report.densityLabel;
        r.ptRatio = run.report.ptRatioText;
        r.stability = run.report.stabilityLabel;
        return r;
    }
    const StageHydrostatics& row = run.hydrostaticsByStage[stage_];
    r.orientation = OrientationLabel(run.orientationAngleByStage[stage_]);
    if (!row.valid) return r;
    r.density = formatNumber(std::floor(1000 * row.meanDensity) / 1000);
    r.ptRatio = formatNumber(std::floor(1000 * row.ptRatio) / 10);
    r.stability = formatDecimals(row.stabilityIndex, 3);
    return r;
}

}  // namespace ammonite

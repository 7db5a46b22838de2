// The VIEW window's behaviour without the toolkit: the shell of a run as a
// shaded mesh seen through an orbiting camera (turn, pan, zoom, fit, the six
// axis views), the stage slider that shows the shell as it stood at an
// earlier stage in the life orientation it had then, the readout of that
// stage, and the bookkeeping of live regrowth (which model inputs count, and
// how changes that arrive during a growth are merged into one more).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "model/model_state.h"
#include "model/scenario.h"
#include "model/run_state.h"
#include "render/mesh_view.h"

namespace ammonite {

// At most one growth at a time: inputs that change while one runs are merged
// into a single growth started when it ends.
class RegrowthQueue {
public:
    // The inputs now have fingerprint `key`; true when a growth is to start now.
    bool inputsAre(std::uint64_t key);
    // The growth under way ended; true when another is to start now (the
    // inputs changed while it ran).
    bool growthEnded();
    // The inputs with fingerprint `key` are shown already (START ran on them).
    void acceptShown(std::uint64_t key);
    // Nothing runs and nothing is shown: the next inputs start a growth.
    void forget() {
        wanted_.reset();
        requested_.reset();
        running_ = false;
    }
    bool running() const { return running_; }
    // Inputs changed while a growth runs: another will follow it.
    bool pending() const { return running_ && wanted_ != requested_; }
    int started() const { return started_; }

private:
    std::optional<std::uint64_t> wanted_, requested_;
    bool running_ = false;
    int started_ = 0;
};

// A run ready to be shown: its model and run, and the meshes of its last
// stage at the two ring resolutions (the full one may follow later).
struct ViewShell {
    std::shared_ptr<const ModelState> model;
    std::shared_ptr<const RunState> run;
    ViewMesh coarse, fine;
    std::string error;  // why there is nothing to show ("" when there is)
    double growMilliseconds = 0, meshMilliseconds = 0;
};

// Points per ring while the shell is being turned or scrubbed, and at rest.
constexpr int kInteractiveRingPoints = 24;
constexpr int kFullRingPoints = 72;

// Grows the shell on these copies as START does (with `grow`; otherwise the
// run is shown as it is) and builds the light mesh of its last stage, and the
// full one with `fullMesh`. Safe on any thread; never throws: a run that
// stops leaves the message in `error`.
ViewShell PrepareViewShell(std::unique_ptr<ModelState> model, std::unique_ptr<RunState> run, bool grow,
                           const std::string& scaleText, bool fullMesh = true);
// The full mesh of a prepared shell's last stage; false with the reason.
bool BuildFullMesh(const ViewShell& shell, ViewMesh& out, std::string& error);

// What the worker is asked to do: a copy of the model and run, grown or not.
struct ViewJob {
    std::unique_ptr<ModelState> model;
    std::unique_ptr<RunState> run;
    bool grow = false;
    std::string scaleText = "2";
    // A growth of this scenario from a fresh start instead (live regrowth:
    // never one more START on what the main window's runs left).
    std::optional<Scenario> scenario;
};

// One thread that prepares shells one after another: first the run and its
// light mesh (lightReady), then, unless another job is already waiting, the
// full mesh (fullReady). A job submitted while another waits replaces it.
// The callbacks run on the worker's thread.
class ViewShellWorker {
public:
    using LightReady = std::function<void(std::shared_ptr<ViewShell> shell, bool grown)>;
    using FullReady = std::function<void(std::shared_ptr<const RunState> run, std::shared_ptr<ViewMesh> full)>;
    ViewShellWorker(LightReady lightReady, FullReady fullReady);
    ~ViewShellWorker();  // finishes the job under way, drops a waiting one
    ViewShellWorker(const ViewShellWorker&) = delete;
    ViewShellWorker& operator=(const ViewShellWorker&) = delete;
    void submit(ViewJob job);

private:
    void loop();
    LightReady lightReady_;
    FullReady fullReady_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<ViewJob> next_;
    bool stop_ = false;
    std::thread thread_;
};

enum class AxisView { Front, Back, Left, Right, Top, Bottom };
enum class DragMode { Orbit, Pan };

class View3DLogic {
public:
    // Shows the last stage of a new run; the camera stays where it was, or
    // is fitted to the shell when it shows the first one.
    void setShell(ViewShell shell);
    // The full mesh of the shell shown, when it comes after it; false (and
    // nothing changes) when it belongs to another run.
    bool setFullMesh(const RunState* run, ViewMesh full);
    bool hasShell() const { return shell_.run != nullptr && !shell_.coarse.empty(); }
    const ViewShell& shell() const { return shell_; }
    // Why there is no shell to show ("" when there is).
    const std::string& message() const { return message_; }

    // ---- stage slider: 1 .. lastStage() ----
    int lastStage() const;
    int stage() const { return stage_; }
    // Shows the shell as it stood at stage s (clamped to the range), with a
    // light mesh until settle(); false with the reason in message() when it
    // cannot be built.
    bool setStage(int s);

    // ---- camera ----
    void setViewport(int width, int height);
    void press(int x, int y, DragMode mode);
    void drag(int x, int y);
    void release();
    void zoom(double wheelSteps);  // > 0 comes closer
    void fit();
    void axisView(AxisView view);
    const OrbitCamera& camera() const { return camera_; }
    void setCamera(const OrbitCamera& c) { camera_ = c; }

    // While turning, panning or scrubbing, frames use the light mesh;
    // settle() ends that and builds the full mesh of the stage shown.
    void beginInteraction() { interacting_ = true; }
    bool interacting() const { return interacting_; }
    void settle();

    // A fitted specimen's points and their matches on the fitted centre line
    // (model coordinates), shown while the shell is the fitted one: its
    // centre at `stage` is `centre`. An empty list removes them.
    void setSpecimen(std::vector<std::pair<Vec3, Vec3>> points, int stage, const Vec3& centre);
    bool hasSpecimen() const { return !specimen_.empty(); }
    // Whether the last frame showed them (the shell was the fitted one).
    bool specimenShown() const { return !scene_.specimen.empty(); }

    long render(PixelBuffer& target);
    // The scene of the stage shown (pivot at its centre of mass, the world's
    // up its "up").
    const MeshScene& scene() const { return scene_; }
    // The stage's "up" in model coordinates, unit length.
    Vec3 worldUp() const { return scene_.frame.up; }
    const ViewMesh& shownMesh() const;

    struct Readout {
        std::string stage, orientation, density, ptRatio, stability;
    };
    Readout readout() const;

private:
    bool buildStage(int s, int ringPoints, ViewMesh& out);
    void placeScene();

    ViewShell shell_;
    std::string message_ = "No shell yet: press START in the main window, or switch Live on";
    int stage_ = 0;
    ViewMesh stageCoarse_, stageFine_;  // of stage_ when it is not the last
    bool stageFineBuilt_ = false;
    MeshScene scene_;
    OrbitCamera camera_;
    bool fitted_ = false;
    bool interacting_ = false;
    int width_ = 640, height_ = 480;
    std::optional<DragMode> dragMode_;
    int lastX_ = 0, lastY_ = 0;
    MeshViewScratch scratch_;
    std::vector<std::pair<Vec3, Vec3>> specimen_;
    int specimenStage_ = 0;
    Vec3 specimenCentre_;
};

}  // namespace ammonite

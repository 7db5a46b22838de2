// The VIEW window's behaviour without the toolkit: the shell of a run as a
// shaded mesh seen through an orbiting camera (turn, pan, zoom, fit, the six
// axis views), the stage slider that shows the shell as it stood at an
// earlier stage in the life orientation it had then, the readout of that
// stage, and the bookkeeping of live regrowth (which model inputs count, and
// how changes that arrive during a growth are merged into one more).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "model/model_state.h"
#include "model/run_state.h"
#include "render/mesh_view.h"

namespace ammonite {

// Fingerprint of everything a START reads that shapes the shell: the four
// profiles, α, the stage range and count, the growth increment, the
// densities, the ribbing and orientation switches and the regulation
// thresholds of the threshold bars. The view, light, origin and scale only
// change how the main window draws, and are left out.
std::uint64_t GrowthInputsKey(const ModelState& model, const RunState& run);
// Fingerprint of a run's results, which changes whenever START ran.
std::uint64_t RunResultKey(const RunState& run);

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
    int started() const { return started_; }

private:
    std::optional<std::uint64_t> wanted_, requested_;
    bool running_ = false;
    int started_ = 0;
};

// A run ready to be shown: its model and run, and the meshes of its last
// stage at the two ring resolutions.
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
// run is shown as it is) and builds the meshes of its last stage. Safe on any
// thread; never throws: a run that stops leaves the message in `error`.
ViewShell PrepareViewShell(std::unique_ptr<ModelState> model, std::unique_ptr<RunState> run, bool grow,
                           const std::string& scaleText);

enum class AxisView { Front, Back, Left, Right, Top, Bottom };
enum class DragMode { Orbit, Pan };

class View3DLogic {
public:
    // Shows the last stage of a new run; the camera stays where it was, or
    // is fitted to the shell when it shows the first one.
    void setShell(ViewShell shell);
    bool hasShell() const { return shell_.run != nullptr && !shell_.fine.empty(); }
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
};

}  // namespace ammonite

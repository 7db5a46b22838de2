// Films of a grown shell: the frames of a growth (stage 1 to the last, each
// drawn in the life orientation that stage's row of the tables gives, the
// water line level, the stage's numbers as a caption) and of a turntable (one
// turn about the vertical axis at one stage). The camera is fixed for the
// whole film, so that the water line stays where it is and the shell grows
// and swings in front of it. Frames are drawn on any raster surface; a
// surface with fonts prints the caption.
#pragma once

#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"
#include "render/mesh_view.h"
#include "render/surface.h"

namespace ammonite {

enum class FilmKind { Growth, Turntable, Both };

// "growth", "turntable", "both".
const char* FilmKindName(FilmKind kind);
bool ParseFilmKind(const std::string& text, FilmKind& kind);

struct FilmSettings {
    FilmKind kind = FilmKind::Growth;
    int width = 1280, height = 720;  // pixels, even (the video encoders need it)
    int fps = 30;
    double seconds = 10;
    int turnStage = 0;               // the turntable's stage (0: the last)
};

// Limits of the settings.
constexpr int kFilmMinSide = 16;
constexpr int kFilmMaxSide = 7680;
constexpr int kFilmMaxFps = 120;
constexpr double kFilmMaxSeconds = 600;

// Checks the settings; false with a one-line reason naming the setting.
bool CheckFilmSettings(const FilmSettings& settings, std::string& error);
// "1280x720" → width and height; false when the text is not two whole numbers.
bool ParseFilmSize(const std::string& text, int& width, int& height);
// Frames of a film of these settings (at least 1).
int FilmFrameCount(const FilmSettings& settings);

// What one frame shows: the shell as it stood at `stage`, the camera turned
// by `turn` radians about the vertical axis from where it starts.
struct FilmFrame {
    int stage = 0;
    double turn = 0;
};

// Memory one drawing thread keeps between frames: the mesh of the stage it
// drew last (a turntable draws one stage again and again).
struct FilmScratch {
    int meshStage = -1;
    ViewMesh mesh;
    MeshViewScratch view;
};

// Points per ring of the film's meshes.
constexpr int kFilmRingPoints = 72;

// A film's plan: which stage and turn each frame shows, the camera, and the
// table's scene of each stage. It reads the model and the run it was made
// from while frames are drawn; they must outlive it and stay unchanged.
class FilmPlan {
public:
    // Plans the film of the last run; false with a one-line reason (bad
    // settings, no finished run, a turntable stage outside the run).
    bool prepare(const ModelState& model, const RunState& run, const FilmSettings& settings, std::string& error);

    const FilmSettings& settings() const { return settings_; }
    int frameCount() const { return static_cast<int>(frames_.size()); }
    const FilmFrame& frame(int k) const { return frames_.at(static_cast<size_t>(k)); }
    int lastStage() const { return lastStage_; }
    int firstStage() const { return firstStage_; }

    // The camera of frame k.
    OrbitCamera camera(int k) const;
    // The shell of `stage` placed as the tables say: its centre of mass at
    // the world's origin, its "up" (the stage's row) the world's up.
    MeshScene scene(int stage) const;
    // The caption of a stage: its number, orientation, density and
    // stability, as the stage's row of the tables has them.
    std::vector<std::string> caption(int stage) const;

    // Draws frame k on `surface` (its pixels must be one per unit, of the
    // film's size); false with a one-line reason. Safe to call from several
    // threads at once, each with its own surface and scratch.
    bool render(int k, DrawingSurface& surface, FilmScratch& scratch, std::string& error) const;
    // The mesh of a stage as the film draws it; false with the reason.
    bool stageMesh(int stage, ViewMesh& out, std::string& error) const;

private:
    const ModelState* model_ = nullptr;
    const RunState* run_ = nullptr;
    FilmSettings settings_;
    std::vector<FilmFrame> frames_;
    int firstStage_ = 0, lastStage_ = 0;
    OrbitCamera camera_;
    double planeRadius_ = 0;
};

}  // namespace ammonite

namespace ammonite {

// Where a film's frames go, one after another in order.
class FilmSink {
public:
    virtual ~FilmSink() = default;
    // Frame `index` (0-based); false with a one-line reason stops the film.
    virtual bool frame(int index, const PixelBuffer& pixels, std::string& error) = 0;
    // Every frame was given; false with a one-line reason.
    virtual bool finish(std::string& error) = 0;
    // The film stopped early (cancelled or failed): nothing is left behind.
    virtual void abandon() {}
};

}  // namespace ammonite

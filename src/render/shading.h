// The shaded rendering of the shell: rib swelling, a unit light, the painting
// order from the farthest stage to the nearest, and the tube painted strip by
// strip (one quad per degree, each covered by six lines of width 2) with fine
// growth lines between the ribs.
#pragma once

#include <string>

#include <cstdint>
#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"
#include "render/ring_model.h"
#include "render/surface.h"

namespace ammonite {

// Positions of the second pass: 0..1075 (the last one is painted with width 1).
constexpr int kSecondPassLast = 1075;
// Growth lines of a stage are drawn this many positions after its strip.
constexpr int kGrowthLineLag = 10;
// ... and only from this position on.
constexpr int kGrowthLineFirstPosition = 76;

// Rewrites the zero rib marks of stages 0..shownStage into gap counts: in a
// gap the stage just before the next rib keeps 0 and the earlier ones count
// down -1, -2, ...; then row 0 becomes 1 (the end of a rib). Only zeros are
// rewritten, so a second call changes nothing.
void CountRibGaps(StageTable<std::int16_t>& ribMark, int shownStage);

// Swelling factor of the cross-section for stages 1..shownStage + 1 (other
// rows 0), with the late thinning (×0.85 from stage 201) applied. Expects
// the gap counts of CountRibGaps. A row past the table reads as 0.
std::vector<double> RibProfile(const StageTable<std::int16_t>& ribMark, int shownStage);

// Factor by which the late shell is thinned, from this stage on.
constexpr double kLateThinning = 0.85;
constexpr int kLateThinningFrom = 201;

// Scales the light to unit length, stored to four decimals; a zero light
// becomes (0, 0, 1).
void MakeUnitLight(Vec3F4& light);

// Rows 0..shownStage of `order`: the stages 0..shownStage from the farthest
// (smallest depth) to the nearest, by selection of the farthest remaining
// stage; among equal depths the earliest position wins.
void BuildPaintOrder(StageTable<std::int16_t>& order, const StageTable<Fixed4>& depth, int shownStage);

// Colours of a face and of a growth line for a brightness s (squared, so
// light from behind counts as light from the front).
Rgb FaceColour(double s);
Rgb GrowthLineColour(double s);

// One point of a ring, in view coordinates times the drawing scale.
struct RingPoint {
    double x = 0, y = 0, z = 0;
};
using Ring = std::vector<RingPoint>;

// Everything the painting reads: the run's tables, the model's origin,
// scale, turn and switches, the swelling factors, and what the shading
// derived for itself (the rib marks as gap counts, the paint order and the
// unit light), which the run and the model keep as they were.
struct ShadeScene {
    // A scene whose marks, order and light are those the run and model hold.
    ShadeScene(const RunState& r, const ModelState& m, const std::vector<double>& factor)
        : ShadeScene(r, m, factor, r.ribMark, r.paintOrder, m.lightVector) {}
    ShadeScene(const RunState& r, const ModelState& m, const std::vector<double>& factor,
               const StageTable<std::int16_t>& marks, const StageTable<std::int16_t>& order, const Vec3F4& unitLight)
        : run(r), model(m), ribFactor(factor), ribMarks(marks), paintOrder(order), light(unitLight) {}

    const RunState& run;
    const ModelState& model;
    const std::vector<double>& ribFactor;  // used when ribbing is on
    const StageTable<std::int16_t>& ribMarks;
    const StageTable<std::int16_t>& paintOrder;
    Vec3F4 light;
};

// Ring j: frame and section of row j, radius and centre of row j - 1, the
// swelling factor of row j (1 with ribbing off), placed in model space by
// RingPointInModel (render/ring_model.h), then turned into the view and
// scaled for the surface. Ring A of stage f is ring f,
// ring B is ring f + 1 with its depth kept in single precision.
void ComputeRing(const ShadeScene& scene, int j, Ring& out);

// The quad between A_k, A_(k-1) and B_k: its brightness and whether it faces
// the viewer. `valid` is false when an edge has zero length (no normal).
struct QuadShade {
    bool valid = false;
    bool facing = false;
    double s = 0;
};
QuadShade ShadeQuad(const RingPoint& aK, const RingPoint& aPrev, const RingPoint& bK, double lx, double ly,
                    double lz);

// Paints the strips and growth lines of both passes onto the surface, which
// the caller has cleared. With a pixel buffer the quads are rasterised
// directly (the same pixels as the line calls); on a surface that keeps
// shapes they are painted as polygons; otherwise every line goes through
// DrawingSurface::line.
void PaintShadedShell(DrawingSurface& surface, const ShadeScene& scene);
// The two ways of painting, chosen by PaintShadedShell: straight line calls,
// ring points recomputed for every strip and its growth lines ...
void PaintShadedShellByLines(DrawingSurface& surface, const ShadeScene& scene);
// ... and rings computed once per stage (two threads), quads rasterised
// straight into the pixel buffer in the same order.
void PaintShadedShellIntoPixels(DrawingSurface& surface, PixelBuffer& pixels, const ShadeScene& scene);
// ... and, on a surface that keeps shapes, the same passes, rings, quads
// and colours as shapes: the facing quads of a strip that follow each other
// in one colour as one polygon, the growth lines of a stage as polylines.
void PaintShadedShellAsShapes(DrawingSurface& surface, VectorTarget& target, const ShadeScene& scene);

// What a shaded rendering derived that the SHADE command keeps: the light
// as a unit vector (the settings window shows it afterwards) and the rib
// marks with their gaps counted (the stage tables show them afterwards).
struct ShadeOutcome {
    Vec3F4 unitLight;
    StageTable<std::int16_t> ribMarks;
};

// The whole shaded rendering on the tables of the last run: gap counts, rib
// profile, clearing, unit light, paint order, and painting. The model and the
// run are read only. A surface with a display list attached records the
// painted shell as one item holding copies of the model and run tables and
// the rib profile, not as its lines.
ShadeOutcome ShadeRun(DrawingSurface& surface, const ModelState& model, const RunState& run);

// SHADE: shades the last run and puts its outcome into `outcome`, or, when
// there is no finished run to shade, draws nothing and returns the reason
// ("" when it shaded).
std::string ShadeLastRun(DrawingSurface& surface, const ModelState& model, const RunState& run,
                         ShadeOutcome* outcome = nullptr);

// What the SHADE command leaves behind: the unit light in the model and the
// counted rib marks in the run's table.
void ApplyShadeOutcome(ModelState& model, RunState& run, const ShadeOutcome& outcome);

}  // namespace ammonite

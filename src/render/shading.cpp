#include "render/shading.h"

#include <algorithm>
#include <cmath>

#include "render/display_list.h"
#include "core/rotations.h"
#include "render/shading_passes.h"

namespace ammonite {

namespace {

// Reads a rib mark; the row past the table (4001, reached with 3999 stages)
// reads as 0.
inline int markAt(const StageTable<std::int16_t>& ribMark, long row) {
    return row > kMaxStage ? 0 : ribMark[row];
}

// Rounds to the nearest integer, halves to even, as roundHalfEven does, for
// |v| below 2^51: adding and taking away 1.5·2^52 leaves no fraction bits, so
// the sum rounds in the default (nearest, halves to even) mode. Inline, since
// every drawn quad needs six of these.
inline double roundColour(double v) {
    constexpr double kShift = 6755399441055744.0;  // 1.5 · 2^52
    return (v + kShift) - kShift;
}

int colourComponent(double base, double span, double s2) {
    const double raw = base + span * s2;
    if (!(raw >= 0)) return 0;  // also NaN
    if (raw > 255) return 255;
    return static_cast<int>(roundColour(raw));
}

// The point on the drawing surface, in single precision as lines take it.
struct SurfaceXY {
    float x, y;
};
inline SurfaceXY onSurface(const RingPoint& p, double ox, double oy) {
    return {static_cast<float>(ox + p.x), static_cast<float>(oy - p.y)};
}

}  // namespace

void CountRibGaps(StageTable<std::int16_t>& ribMark, int shownStage) {
    for (int a = shownStage; a >= 0; --a) {
        int next = ribMark[a + 1];
        if (ribMark[a] == 0 && next < 1) ribMark[a] = static_cast<std::int16_t>(next - 1);
    }
    ribMark[0] = 1;
}

std::vector<double> RibProfile(const StageTable<std::int16_t>& ribMark, int shownStage) {
    std::vector<double> factor(kStageRows, 0.0);
    double c = 1, e = 0.5;
    for (int a = 1; a <= shownStage + 1; ++a) {
        const int before = markAt(ribMark, a - 1), m = markAt(ribMark, a), after = markAt(ribMark, a + 1);
        if (m == 5) c = 1.06;
        if (before == 1 && m == 5) c = 1.085;  // a rib directly after a rib
        if (m == 4) c = 1.095;
        if (m == 3) c = 1.1;
        if (m == 2) c = 1.095;
        if (m == 1) c = 1.07;
        if (m == 1 && after != 0) c = 1.085;
        if (before >= 1 && m <= 0) e = 0.92 + 0.3 / (m - 1);  // first stage after a rib
        if (m <= 0) c = std::pow(c + 0.06, e) - 0.06;          // decay toward 0.94
        if (m <= 0 && after >= 1) c = 1.01;                    // just before a rib
        factor[static_cast<size_t>(a)] = c;
    }
    for (int a = kLateThinningFrom; a <= shownStage + 1; ++a) factor[static_cast<size_t>(a)] *= kLateThinning;
    return factor;
}

void MakeUnitLight(Vec3F4& light) {
    double lx = light.x, ly = light.y, lz = light.z;
    double length = std::sqrt(lx * lx + ly * ly + lz * lz);
    if (length == 0) {
        light = {0, 0, 1};
        return;
    }
    light = {lx / length, ly / length, lz / length};
}

void BuildPaintOrder(StageTable<std::int16_t>& order, const StageTable<Fixed4>& depth, int shownStage) {
    if (shownStage < 0) return;
    const size_t n = static_cast<size_t>(shownStage) + 1;
    std::vector<std::int16_t> stage(n);
    std::vector<std::int64_t> key(n);  // depth of the stage at each position
    for (size_t i = 0; i < n; ++i) {
        stage[i] = static_cast<std::int16_t>(i);
        key[i] = depth[static_cast<long>(i)].raw();
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        size_t best = i;
        std::int64_t bestKey = key[i];
        for (size_t j = i + 1; j < n; ++j)
            if (key[j] < bestKey) best = j, bestKey = key[j];
        std::swap(stage[i], stage[best]);
        std::swap(key[i], key[best]);
    }
    for (size_t i = 0; i < n; ++i) order[static_cast<long>(i)] = stage[i];
}

Rgb FaceColour(double s) {
    double s2 = s * s;
    return Rgb(colourComponent(65, 190, s2), colourComponent(35, 150, s2), colourComponent(25, 70, s2));
}

Rgb GrowthLineColour(double s) {
    double s2 = s * s;
    return Rgb(colourComponent(45, 190, s2), colourComponent(15, 150, s2), colourComponent(5, 70, s2));
}

void ComputeRing(const ShadeScene& scene, int j, Ring& out) {
    const RunState& run = scene.run;
    const ModelState& model = scene.model;
    const RingAngles& angles = ringAngles();
    const double c = model.ribbingOn == 1 ? scene.ribFactor.at(static_cast<size_t>(j)) : 1.0;
    const RingPlacement placement = RingPlacementOf(run, j, c);
    const double scale = model.drawScale;
    const double shiftX = model.orientationShiftX, shiftY = model.orientationShiftY;
    const double turnSin = model.orientationSin, turnCos = model.orientationCos;
    const ViewPairs& view = run.view;
    out.resize(kRingSteps + 1);
    for (int k = 0; k <= kRingSteps; ++k) {
        // The model point, then ApplyViewRotation, the orientation shift and
        // ApplyOrientationRotation, written out with the same products and
        // sums as the rotations.
        const Vec3 m = RingPointInModel(placement, angles, k);
        const double w = m.x * view.azimuthSin + m.y * view.azimuthCos;
        const double x3 = m.x * view.azimuthCos - m.y * view.azimuthSin - shiftX;
        const double y3 = w * view.elevationCos - m.z * view.elevationSin - shiftY;
        const double z3 = w * view.elevationSin + m.z * view.elevationCos;
        const double x4 = x3 * turnCos - y3 * turnSin;
        const double y4 = y3 * turnCos + x3 * turnSin;
        out[static_cast<size_t>(k)] = {x4 * scale, y4 * scale, z3 * scale};
    }
}

QuadShade ShadeQuad(const RingPoint& aK, const RingPoint& aPrev, const RingPoint& bK, double lx, double ly,
                    double lz) {
    QuadShade q;
    double ux = bK.x - aK.x, uy = bK.y - aK.y, uz = bK.z - aK.z;
    double vx = aPrev.x - aK.x, vy = aPrev.y - aK.y, vz = aPrev.z - aK.z;
    double lu = std::sqrt(ux * ux + uy * uy + uz * uz);
    double lv = std::sqrt(vx * vx + vy * vy + vz * vz);
    if (!(lu > 0) || !(lv > 0)) return q;  // an edge of zero length has no normal
    ux /= lu, uy /= lu, uz /= lu;
    vx /= lv, vy /= lv, vz /= lv;
    double nx = uy * vz - uz * vy;
    double ny = uz * vx - ux * vz;
    double nz = ux * vy - uy * vx;
    q.valid = true;
    q.s = nx * lx + ny * ly + nz * lz;
    q.facing = nz >= 0;
    return q;
}

// ---------------------------------------------------------------------------
// Painting by line calls.

namespace {

class LinePainter {
public:
    LinePainter(DrawingSurface& surface, const ShadeScene& scene)
        : surface_(surface), scene_(scene), ox_(scene.model.originX), oy_(scene.model.originY),
          lx_(scene.light.x), ly_(scene.light.y), lz_(scene.light.z) {}

    void strip(int f) {
        buildPair(f);
        for (int k = 1; k <= kRingSteps; ++k) {
            QuadShade q = ShadeQuad(a_[k], a_[k - 1], b_[k], lx_, ly_, lz_);
            if (!q.valid) continue;
            surface_.setFillColour(FaceColour(q.s));
            if (!q.facing) continue;
            Rgb colour = surface_.fillColour();
            line(b_[k], a_[k], colour);
            line(a_[k], a_[k - 1], colour);
            line(b_[k - 1], b_[k], colour);
            line(b_[k], a_[k - 1], colour);
            line(b_[k - 1], a_[k], colour);
            line(a_[k - 1], b_[k - 1], colour);
        }
    }

    void growthLines(int f) {
        buildPair(f);
        const bool ribbing = scene_.model.ribbingOn == 1;
        for (int k = 1; k <= kRingSteps; ++k) {
            QuadShade q = ShadeQuad(a_[k], a_[k - 1], b_[k], lx_, ly_, lz_);
            if (!q.valid) continue;
            surface_.setFillColour(FaceColour(q.s));
            if (q.facing && ribbing) line(a_[k], a_[k - 1], GrowthLineColour(q.s));
        }
    }

private:
    // Ring A of stage f and ring B, whose depth is kept in single precision.
    void buildPair(int f) {
        ComputeRing(scene_, f, a_);
        ComputeRing(scene_, f + 1, b_);
        for (RingPoint& p : b_) p.z = static_cast<float>(p.z);
    }
    void line(const RingPoint& from, const RingPoint& to, Rgb colour) {
        SurfaceXY p = onSurface(from, ox_, oy_), q = onSurface(to, ox_, oy_);
        surface_.line(p.x, p.y, q.x, q.y, colour);
    }

    DrawingSurface& surface_;
    const ShadeScene& scene_;
    double ox_, oy_, lx_, ly_, lz_;
    Ring a_, b_;
};

}  // namespace

void PaintShadedShellByLines(DrawingSurface& surface, const ShadeScene& scene) {
    LinePainter lines(surface, scene);
    struct Adapter {
        DrawingSurface& surface;
        LinePainter& lines;
        void strip(int f, int width) {
            surface.setDrawWidth(width);
            lines.strip(f);
            surface.setDrawWidth(1);
        }
        void growthLines(int f) { lines.growthLines(f); }
    } adapter{surface, lines};
    RunShadePasses(scene, adapter);
    surface.setDrawWidth(1);
}

void PaintShadedShell(DrawingSurface& surface, const ShadeScene& scene) {
    if (PixelBuffer* pixels = surface.pixelBuffer()) {
        PaintShadedShellIntoPixels(surface, *pixels, scene);
        surface.pixelsChanged();
    } else if (VectorTarget* shapes = surface.vectorTarget()) {
        PaintShadedShellAsShapes(surface, *shapes, scene);
    } else {
        PaintShadedShellByLines(surface, scene);
    }
}

ShadeOutcome ShadeRun(DrawingSurface& surface, const ModelState& model, const RunState& run) {
    const int shown = model.shownStage;
    if (shown > kMaxStage - 1)
        throwOutOfRange("stage " + std::to_string(shown) + " is beyond the last stage that can be shaded (3999)");
    ShadeOutcome outcome;
    outcome.ribMarks = run.ribMark;
    CountRibGaps(outcome.ribMarks, shown);
    std::vector<double> ribFactor = RibProfile(outcome.ribMarks, shown);
    surface.clear();
    outcome.unitLight = model.lightVector;
    MakeUnitLight(outcome.unitLight);
    StageTable<std::int16_t> paintOrder = run.paintOrder;
    BuildPaintOrder(paintOrder, run.viewDepthByStage, shown);
    const ShadeScene scene{run, model, ribFactor, outcome.ribMarks, paintOrder, outcome.unitLight};
    if (!surface.recorder()) {
        PaintShadedShell(surface, scene);
        return outcome;
    }
    // The tables as the shading saw them are all the shell needs to be
    // painted again; the item is recorded once the painting has succeeded.
    auto snapshot = std::make_shared<ShadedShellSnapshot>();
    snapshot->model = model;
    snapshot->model.lightVector = outcome.unitLight;
    snapshot->run = run;
    snapshot->run.ribMark = outcome.ribMarks;
    snapshot->run.paintOrder = paintOrder;
    snapshot->ribFactor = ribFactor;
    RecorderPause pause(surface);
    PaintShadedShell(surface, scene);
    pause.list()->addShadedShell(std::move(snapshot));
    return outcome;
}

std::string ShadeLastRun(DrawingSurface& surface, const ModelState& model, const RunState& run,
                         ShadeOutcome* outcome) {
    // Without a run the per-stage tables are empty and the tube would have no
    // surface. A run that stopped on an error leaves its tables half written.
    if (!run.hasRun)
        return run.lastBuiltStage > 0 ? "Nothing to shade: the last run did not finish; press START"
                                      : "Nothing to shade yet: press START first";
    ShadeOutcome shaded = ShadeRun(surface, model, run);
    if (outcome) *outcome = shaded;
    return "";
}

void ApplyShadeOutcome(ModelState& model, RunState& run, const ShadeOutcome& outcome) {
    model.lightVector = outcome.unitLight;
    run.ribMark = outcome.ribMarks;
}

}  // namespace ammonite

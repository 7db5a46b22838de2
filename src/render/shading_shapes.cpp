// Painting the shaded shell as shapes, for surfaces that keep geometry. The
// passes, rings, quad shading and colours are those of the other two ways of
// painting; only the quads are given whole instead of as six thick lines:
// the facing quads of a strip that follow each other in one colour make one
// band-shaped polygon, and the growth lines of a stage run as polylines.
// Quads and line steps that together stay within one pixel are gathered
// whatever their colours, in the colour of the last (the one on top).
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "render/shading.h"
#include "render/shading_passes.h"

namespace ammonite {

namespace {

class ShapePainter {
public:
    ShapePainter(DrawingSurface& surface, VectorTarget& target, const ShadeScene& scene)
        : surface_(surface), target_(target), scene_(scene), ox_(scene.model.originX), oy_(scene.model.originY),
          lx_(scene.light.x), ly_(scene.light.y), lz_(scene.light.z) {}

    // The width of the strip's lines does not matter here: the polygons
    // cover the quads themselves.
    void strip(int f, int /*width*/) {
        buildPair(f);
        int runFirst = 0;  // first quad of the band being gathered, 0 for none
        Rgb runColour;
        Box runBox;
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadShade q = shade(k);
            if (!q.valid) {
                closeBand(runFirst, k - 1, runColour);
                continue;
            }
            const Rgb colour = FaceColour(q.s);
            fill_ = colour;
            hasFill_ = true;
            if (!q.facing) {
                closeBand(runFirst, k - 1, runColour);
                continue;
            }
            const Box quad = Box::of(*this, {&a_[static_cast<size_t>(k - 1)], &a_[static_cast<size_t>(k)],
                                             &b_[static_cast<size_t>(k - 1)], &b_[static_cast<size_t>(k)]});
            if (runFirst && !joins(runBox, quad, runColour, colour)) closeBand(runFirst, k - 1, runColour);
            if (!runFirst) {
                runFirst = k, runColour = colour, runBox = quad;
            } else {
                runBox = runBox.with(quad);
                runColour = colour;
            }
            setEnd(b_[static_cast<size_t>(k - 1)]);  // the last of the six lines ends at B_(k-1)
        }
        closeBand(runFirst, kRingSteps, runColour);
    }

    void growthLines(int f) {
        buildPair(f);
        const bool ribbing = scene_.model.ribbingOn == 1;
        int runFirst = 0;
        Rgb runColour;
        Box runBox;
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadShade q = shade(k);
            if (!q.valid) {
                closeGrowthLine(runFirst, k - 1, runColour);
                continue;
            }
            fill_ = FaceColour(q.s);
            hasFill_ = true;
            if (!q.facing || !ribbing) {
                closeGrowthLine(runFirst, k - 1, runColour);
                continue;
            }
            const Rgb colour = GrowthLineColour(q.s);
            const Box step = Box::of(*this, {&a_[static_cast<size_t>(k - 1)], &a_[static_cast<size_t>(k)]});
            if (runFirst && !joins(runBox, step, runColour, colour)) closeGrowthLine(runFirst, k - 1, runColour);
            if (!runFirst) {
                runFirst = k, runColour = colour, runBox = step;
            } else {
                runBox = runBox.with(step);
                runColour = colour;
            }
            setEnd(a_[static_cast<size_t>(k - 1)]);
        }
        closeGrowthLine(runFirst, kRingSteps, runColour);
    }

    // The surface state the line calls would leave: width 1, the last fill
    // colour and the end of the last line.
    void finish() {
        surface_.setDrawWidth(1);
        if (hasFill_) surface_.setFillColour(fill_);
        if (hasEnd_) surface_.setCurrentPosition(endX_, endY_);
    }

private:
    // The extent of some ring points on the surface.
    struct Box {
        double minX = 0, minY = 0, maxX = 0, maxY = 0;
        static Box of(const ShapePainter& painter, std::initializer_list<const RingPoint*> points) {
            Box box{1e300, 1e300, -1e300, -1e300};
            for (const RingPoint* p : points) {
                const double x = painter.ox_ + p->x, y = painter.oy_ - p->y;
                box.minX = std::min(box.minX, x), box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y), box.maxY = std::max(box.maxY, y);
            }
            return box;
        }
        Box with(const Box& o) const {
            return {std::min(minX, o.minX), std::min(minY, o.minY), std::max(maxX, o.maxX), std::max(maxY, o.maxY)};
        }
        bool withinOnePixel() const { return maxX - minX <= 1 && maxY - minY <= 1; }
    };

    // Whether the next quad (or growth line step) goes on with the shape
    // being gathered: in the same colour, or all of it together within one
    // pixel. On a raster the quads of a pixel make one blot in the colour of
    // the last one painted, so a tiny shape takes the colour of its last
    // quad; this keeps the thousands of quads of the early, sub-pixel stages
    // from making the document huge without changing the picture.
    static bool joins(const Box& run, const Box& next, Rgb runColour, Rgb colour) {
        return colour == runColour || run.with(next).withinOnePixel();
    }

    QuadShade shade(int k) const {
        return ShadeQuad(a_[static_cast<size_t>(k)], a_[static_cast<size_t>(k - 1)], b_[static_cast<size_t>(k)],
                         lx_, ly_, lz_);
    }

    // Ring A of stage f and ring B, whose depth is kept in single precision.
    void buildPair(int f) {
        ComputeRing(scene_, f, a_);
        ComputeRing(scene_, f + 1, b_);
        for (RingPoint& p : b_) p.z = static_cast<float>(p.z);
    }

    // The end of the last line, in single precision as a line call takes it.
    void setEnd(const RingPoint& p) {
        endX_ = static_cast<float>(ox_ + p.x);
        endY_ = static_cast<float>(oy_ - p.y);
        hasEnd_ = true;
    }

    void put(const RingPoint& p) {
        xy_.push_back(static_cast<float>(ox_ + p.x));
        xy_.push_back(static_cast<float>(oy_ - p.y));
    }

    // Quads first..last of the strip as one polygon: along ring A, then back
    // along ring B. Sets `first` back to 0.
    void closeBand(int& first, int last, Rgb colour) {
        if (!first) return;
        xy_.clear();
        for (int k = first - 1; k <= last; ++k) put(a_[static_cast<size_t>(k)]);
        for (int k = last; k >= first - 1; --k) put(b_[static_cast<size_t>(k)]);
        target_.filledPolygon(xy_.data(), static_cast<int>(xy_.size() / 2), colour);
        first = 0;
    }

    // The growth line over quads first..last: ring A from point first - 1 to last.
    void closeGrowthLine(int& first, int last, Rgb colour) {
        if (!first) return;
        xy_.clear();
        for (int k = first - 1; k <= last; ++k) put(a_[static_cast<size_t>(k)]);
        target_.polyline(xy_.data(), static_cast<int>(xy_.size() / 2), colour, 1);
        first = 0;
    }

    DrawingSurface& surface_;
    VectorTarget& target_;
    const ShadeScene& scene_;
    double ox_, oy_, lx_, ly_, lz_;
    Ring a_, b_;
    std::vector<float> xy_;
    Rgb fill_;
    bool hasFill_ = false;
    float endX_ = 0, endY_ = 0;
    bool hasEnd_ = false;
};

}  // namespace

void PaintShadedShellAsShapes(DrawingSurface& surface, VectorTarget& target, const ShadeScene& scene) {
    ShapePainter painter(surface, target, scene);
    RunShadePasses(scene, painter);
    painter.finish();
}

}  // namespace ammonite

// Painting the shaded shell straight into a pixel buffer. The picture is the
// one the line calls give: every ring is computed once (ring B of a stage is
// ring A of the next with its depth in single precision), the quads of every
// stage are shaded once, and the six lines of each quad are rasterised with
// the same rounding and stepping as raster::line, in the same order.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

#include "render/shading.h"
#include "render/shading_passes.h"

namespace ammonite {

namespace {

// A ring point on the surface: the single-precision coordinates a line call
// takes, and its nearest pixel when a 2×2 stamp there stays inside the
// buffer (x = -1 otherwise: lines from it are clipped).
struct ScreenPoint {
    float fx = 0, fy = 0;
    std::int16_t x = -1, y = -1;
    bool inside() const { return x >= 0; }
};

// Colours of a quad; face = 0 (no alpha) when the quad is not drawn: it has
// no normal or faces away.
struct QuadInfo {
    std::uint32_t face = 0;
    std::uint32_t growth = 0;
};

// Bresenham from (ax, ay) to (bx, by), stepping exactly as raster::line does,
// each point stamped as a 2×2 square (width 2) or one pixel (width 1). The
// caller has made sure that every stamp stays inside the buffer.
template <int Width>
inline void plotLine(std::uint32_t* pixels, std::ptrdiff_t stride, int ax, int ay, int bx, int by,
                     std::uint32_t c) {
    const int dx = std::abs(bx - ax), dy = -std::abs(by - ay);
    const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
    const std::ptrdiff_t stepY = sy * stride;
    std::uint32_t* p = pixels + ay * stride + ax;
    int err = dx + dy;
    for (;;) {
        p[0] = c;
        if (Width == 2) {
            p[1] = c;
            p[stride] = c;
            p[stride + 1] = c;
        }
        if (ax == bx && ay == by) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            ax += sx;
            p += sx;
        }
        if (e2 <= dx) {
            err += dx;
            ay += sy;
            p += stepY;
        }
    }
}

class PixelPainter {
public:
    PixelPainter(DrawingSurface& surface, PixelBuffer& buffer, const ShadeScene& scene)
        : surface_(surface), buf_(buffer), scene_(scene), ribbing_(scene.model.ribbingOn == 1) {}

    void prepare() {
        const int shown = scene_.model.shownStage;
        if (shown < 0) return;                  // nothing is painted
        lastStage_ = std::max(shown, 1);        // stage 0 is painted as stage 1
        if (lastStage_ + 1 > kMaxStage)
            throwOutOfRange("stage " + std::to_string(lastStage_ + 1) + " is outside 0..4000");
        screen_.assign(static_cast<size_t>(lastStage_ + 1) * kPoints, ScreenPoint{});
        quads_.assign(static_cast<size_t>(lastStage_) * kRingSteps, QuadInfo{});
        stageFill_.assign(static_cast<size_t>(lastStage_), 0);
        // Stages in two runs of consecutive stages, one per core; ring f + 1
        // of one stage is ring A of the next.
        const int count = lastStage_;
        if (count < 64) {
            prepareStages(1, lastStage_);
            return;
        }
        const int middle = 1 + count / 2;
        std::exception_ptr failure;
        std::thread helper([&] {
            try {
                prepareStages(middle, lastStage_);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            prepareStages(1, middle - 1);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failure) std::rethrow_exception(failure);
    }

    void strip(int f, int width) {
        leaveFillOf(f);
        const ScreenPoint* a = screenRing(f);
        const ScreenPoint* b = screenRing(f + 1);
        const QuadInfo* q = stageQuads(f);
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadInfo& quad = q[k - 1];
            if (!quad.face) continue;
            const ScreenPoint &aK = a[k], &aP = a[k - 1], &bK = b[k], &bP = b[k - 1];
            const std::uint32_t c = quad.face;
            if (aK.inside() && aP.inside() && bK.inside() && bP.inside()) {
                if (width == 2) {
                    quadLines<2>(aK, aP, bK, bP, c);
                } else {
                    quadLines<1>(aK, aP, bK, bP, c);
                }
            } else {
                clippedLine(bK, aK, c, width);
                clippedLine(aK, aP, c, width);
                clippedLine(bP, bK, c, width);
                clippedLine(bK, aP, c, width);
                clippedLine(bP, aK, c, width);
                clippedLine(aP, bP, c, width);
            }
            lastEnd_ = &bP;
        }
    }

    void growthLines(int f) {
        leaveFillOf(f);
        if (!ribbing_) return;  // only the fill colour remains of them
        const ScreenPoint* a = screenRing(f);
        const QuadInfo* q = stageQuads(f);
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadInfo& quad = q[k - 1];
            if (!quad.face) continue;
            const ScreenPoint &from = a[k], &to = a[k - 1];
            if (from.inside() && to.inside()) {
                plotLine<1>(buf_.pixels, buf_.stride, from.x, from.y, to.x, to.y, quad.growth);
            } else {
                clippedLine(from, to, quad.growth, 1);
            }
            lastEnd_ = &to;
        }
    }

    // The surface state the line calls would leave: width 1, the last fill
    // colour and the end of the last line.
    void finish() {
        surface_.setDrawWidth(1);
        if (hasFill_) surface_.setFillColour(Rgb::fromArgb(fill_));
        if (lastEnd_) surface_.setCurrentPosition(lastEnd_->fx, lastEnd_->fy);
    }

private:
    static constexpr int kPoints = kRingSteps + 1;

    const ScreenPoint* screenRing(int j) const { return &screen_[static_cast<size_t>(j - 1) * kPoints]; }
    const QuadInfo* stageQuads(int f) const { return &quads_[static_cast<size_t>(f - 1) * kRingSteps]; }

    // Every shaded quad sets the fill colour; the last one of the stage stays.
    void leaveFillOf(int f) {
        const std::uint32_t fill = stageFill_[static_cast<size_t>(f - 1)];
        if (!fill) return;
        fill_ = fill;
        hasFill_ = true;
    }

    // Rings and quads of stages first..last; stores the surface points of
    // rings first..last (and of the ring after the last stage, at the end).
    void prepareStages(int first, int last) {
        Ring a, b;
        ComputeRing(scene_, first, a);
        storeScreen(first, a);
        for (int f = first; f <= last; ++f) {
            ComputeRing(scene_, f + 1, b);
            if (f < last || last == lastStage_) storeScreen(f + 1, b);
            shadeStage(f, a, b);
            std::swap(a, b);
        }
    }

    void storeScreen(int j, const Ring& ring) {
        const double ox = scene_.model.originX, oy = scene_.model.originY;
        const double maxX = std::min(buf_.width - 2, 32767), maxY = std::min(buf_.height - 2, 32767);
        ScreenPoint* screen = &screen_[static_cast<size_t>(j - 1) * kPoints];
        for (int k = 0; k < kPoints; ++k) {
            const RingPoint& p = ring[static_cast<size_t>(k)];
            ScreenPoint& s = screen[k];
            s.fx = static_cast<float>(ox + p.x);
            s.fy = static_cast<float>(oy - p.y);
            // Rounded as raster::line rounds its ends, floor(v + 0.5); within
            // the buffer v + 0.5 is not negative, so the floor is a truncation.
            const double hx = static_cast<double>(s.fx) + 0.5;
            const double hy = static_cast<double>(s.fy) + 0.5;
            if (hx >= 0 && hx < maxX + 1 && hy >= 0 && hy < maxY + 1) {
                s.x = static_cast<std::int16_t>(hx);
                s.y = static_cast<std::int16_t>(hy);
            }
        }
    }

    void shadeStage(int f, const Ring& a, Ring& b) {
        const double lx = scene_.light.x, ly = scene_.light.y, lz = scene_.light.z;
        QuadInfo* out = &quads_[static_cast<size_t>(f - 1) * kRingSteps];
        bool any = false;
        double lastS = 0;
        for (int k = 1; k <= kRingSteps; ++k) {
            RingPoint bK = b[static_cast<size_t>(k)];
            bK.z = static_cast<float>(bK.z);  // ring B keeps its depth in single precision
            const QuadShade q =
                ShadeQuad(a[static_cast<size_t>(k)], a[static_cast<size_t>(k - 1)], bK, lx, ly, lz);
            if (!q.valid) continue;
            any = true;
            lastS = q.s;
            if (!q.facing) continue;
            QuadInfo& info = out[k - 1];
            info.face = FaceColour(q.s).argb();
            if (ribbing_) info.growth = GrowthLineColour(q.s).argb();
        }
        // The face colour of its last shaded quad is the fill colour a stage leaves.
        if (any) stageFill_[static_cast<size_t>(f - 1)] = FaceColour(lastS).argb();
    }

    template <int Width>
    void quadLines(const ScreenPoint& aK, const ScreenPoint& aP, const ScreenPoint& bK, const ScreenPoint& bP,
                   std::uint32_t c) {
        std::uint32_t* px = buf_.pixels;
        const std::ptrdiff_t st = buf_.stride;
        plotLine<Width>(px, st, bK.x, bK.y, aK.x, aK.y, c);
        plotLine<Width>(px, st, aK.x, aK.y, aP.x, aP.y, c);
        plotLine<Width>(px, st, bP.x, bP.y, bK.x, bK.y, c);
        plotLine<Width>(px, st, bK.x, bK.y, aP.x, aP.y, c);
        plotLine<Width>(px, st, bP.x, bP.y, aK.x, aK.y, c);
        plotLine<Width>(px, st, aP.x, aP.y, bP.x, bP.y, c);
    }

    // A line near or beyond the edge: the surface's own rasteriser clips it.
    void clippedLine(const ScreenPoint& from, const ScreenPoint& to, std::uint32_t c, int width) {
        raster::line(buf_, from.fx, from.fy, to.fx, to.fy, c, width);
    }

    DrawingSurface& surface_;
    PixelBuffer& buf_;
    const ShadeScene& scene_;
    const bool ribbing_;
    int lastStage_ = 0;
    std::vector<ScreenPoint> screen_;     // rings 1..lastStage + 1
    std::vector<QuadInfo> quads_;         // stages 1..lastStage
    std::vector<std::uint32_t> stageFill_;  // per stage: fill colour it leaves, 0 for none
    std::uint32_t fill_ = 0;
    bool hasFill_ = false;
    const ScreenPoint* lastEnd_ = nullptr;
};

}  // namespace

void PaintShadedShellIntoPixels(DrawingSurface& surface, PixelBuffer& pixels, const ShadeScene& scene) {
    PixelPainter painter(surface, pixels, scene);
    painter.prepare();
    RunShadePasses(scene, painter);
    painter.finish();
}

}  // namespace ammonite

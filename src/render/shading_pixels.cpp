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
// takes, their nearest pixel, and whether a 2×2 stamp there stays inside the
// buffer (then no clipping is needed).
struct ScreenPoint {
    float fx = 0, fy = 0;
    int x = 0, y = 0;
    bool inside = false;
};

struct QuadInfo {
    std::uint32_t face = 0;    // ARGB of faceColour
    std::uint32_t growth = 0;  // ARGB of growthLineColour
    bool valid = false;
    bool facing = false;
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
        if (lastStage_ + 1 > kMaxStage) throwOutOfRange("stage " + std::to_string(lastStage_ + 1) + " is outside 0..4000");
        const int rings = lastStage_ + 1;       // rings 1..lastStage + 1
        ringPoints_.assign(static_cast<size_t>(rings) * kPoints, RingPoint{});
        screen_.assign(static_cast<size_t>(rings) * kPoints, ScreenPoint{});
        quads_.assign(static_cast<size_t>(lastStage_) * kRingSteps, QuadInfo{});
        lastFace_.assign(static_cast<size_t>(lastStage_), -1);

        inParallel(1, rings, [this](int j) { buildRing(j); });
        inParallel(1, lastStage_, [this](int f) { shadeStage(f); });
    }

    void strip(int f, int width) {
        const ScreenPoint* a = screenRing(f);
        const ScreenPoint* b = screenRing(f + 1);
        const QuadInfo* q = stageQuads(f);
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadInfo& quad = q[k - 1];
            if (!quad.valid) continue;
            fill_ = quad.face;
            hasFill_ = true;
            if (!quad.facing) continue;
            const ScreenPoint &aK = a[k], &aP = a[k - 1], &bK = b[k], &bP = b[k - 1];
            const std::uint32_t c = quad.face;
            if (aK.inside && aP.inside && bK.inside && bP.inside) {
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
        if (!ribbing_) {
            // Only the fill colour of the last shaded quad remains of them.
            const int k = lastFace_[static_cast<size_t>(f - 1)];
            if (k >= 0) {
                fill_ = stageQuads(f)[k].face;
                hasFill_ = true;
            }
            return;
        }
        const ScreenPoint* a = screenRing(f);
        const QuadInfo* q = stageQuads(f);
        for (int k = 1; k <= kRingSteps; ++k) {
            const QuadInfo& quad = q[k - 1];
            if (!quad.valid) continue;
            fill_ = quad.face;
            hasFill_ = true;
            if (!quad.facing) continue;
            const ScreenPoint &from = a[k], &to = a[k - 1];
            if (from.inside && to.inside) {
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

    template <typename Fn>
    static void inParallel(int first, int last, Fn fn) {
        const int count = last - first + 1;
        if (count <= 0) return;
        if (count < 64) {
            for (int i = first; i <= last; ++i) fn(i);
            return;
        }
        const int middle = first + count / 2;
        std::exception_ptr failure;
        std::thread helper([&] {
            try {
                for (int i = middle; i <= last; ++i) fn(i);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            for (int i = first; i < middle; ++i) fn(i);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failure) std::rethrow_exception(failure);
    }

    void buildRing(int j) {
        Ring ring;
        ComputeRing(scene_, j, ring);
        const double ox = scene_.model.originX, oy = scene_.model.originY;
        const double maxX = buf_.width - 2, maxY = buf_.height - 2;
        RingPoint* stored = &ringPoints_[static_cast<size_t>(j - 1) * kPoints];
        ScreenPoint* screen = &screen_[static_cast<size_t>(j - 1) * kPoints];
        for (int k = 0; k < kPoints; ++k) {
            const RingPoint& p = ring[static_cast<size_t>(k)];
            stored[k] = p;
            ScreenPoint& s = screen[k];
            s.fx = static_cast<float>(ox + p.x);
            s.fy = static_cast<float>(oy - p.y);
            const double px = std::floor(static_cast<double>(s.fx) + 0.5);
            const double py = std::floor(static_cast<double>(s.fy) + 0.5);
            s.inside = px >= 0 && px <= maxX && py >= 0 && py <= maxY;
            if (s.inside) {
                s.x = static_cast<int>(px);
                s.y = static_cast<int>(py);
            }
        }
    }

    void shadeStage(int f) {
        const RingPoint* a = &ringPoints_[static_cast<size_t>(f - 1) * kPoints];
        const RingPoint* b = &ringPoints_[static_cast<size_t>(f) * kPoints];
        const double lx = scene_.model.lightVector.x, ly = scene_.model.lightVector.y,
                     lz = scene_.model.lightVector.z;
        QuadInfo* out = &quads_[static_cast<size_t>(f - 1) * kRingSteps];
        int last = -1;
        for (int k = 1; k <= kRingSteps; ++k) {
            RingPoint bK = b[k];
            bK.z = static_cast<float>(bK.z);  // ring B keeps its depth in single precision
            const QuadShade q = ShadeQuad(a[k], a[k - 1], bK, lx, ly, lz);
            QuadInfo& info = out[k - 1];
            info.valid = q.valid;
            if (!q.valid) continue;
            info.facing = q.facing;
            info.face = FaceColour(q.s).argb();
            info.growth = GrowthLineColour(q.s).argb();
            last = k - 1;
        }
        lastFace_[static_cast<size_t>(f - 1)] = last;
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
    std::vector<RingPoint> ringPoints_;
    std::vector<ScreenPoint> screen_;
    std::vector<QuadInfo> quads_;
    std::vector<int> lastFace_;  // per stage: index of its last shaded quad, -1 for none
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

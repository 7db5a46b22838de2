// The drawing surface the model draws on: lines, points, circles and text in
// a user coordinate space of one unit per pixel, with a current position that
// every line, point and circle leaves behind and text is printed at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ammonite {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    constexpr Rgb() = default;
    constexpr Rgb(int red, int green, int blue)
        : r(static_cast<std::uint8_t>(red)), g(static_cast<std::uint8_t>(green)),
          b(static_cast<std::uint8_t>(blue)) {}
    constexpr std::uint32_t argb() const {
        return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
    }
    static constexpr Rgb fromArgb(std::uint32_t v) {
        return Rgb(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF));
    }
    constexpr bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    constexpr bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// The classic 16-colour palette by number (0 black ... 15 white).
Rgb paletteColour(int index);

// Direct access to the pixels of a raster surface (ARGB32, row by row), for
// renderers that write pixels themselves.
struct PixelBuffer {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // in pixels
};

class DisplayList;

// Drawing by shapes rather than pixels, for surfaces that keep the geometry
// (a vector file): renderers that know their shapes paint them whole instead
// of covering them with lines. Points are given as x0, y0, x1, y1, ...
class VectorTarget {
public:
    virtual ~VectorTarget() = default;
    // A closed polygon filled in `colour`, its outline stroked in the same
    // colour (width 1, round joins) so that neighbouring polygons leave no seam.
    virtual void filledPolygon(const float* xy, int points, Rgb colour) = 0;
    // An open polyline of the given width.
    virtual void polyline(const float* xy, int points, Rgb colour, int width) = 0;
};

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;

    // ---- state ----
    void setForeColour(Rgb c) { foreColour_ = c; }
    Rgb foreColour() const { return foreColour_; }
    void setBackColour(Rgb c) { backColour_ = c; }
    Rgb backColour() const { return backColour_; }
    void setFillColour(Rgb c) { fillColour_ = c; }
    Rgb fillColour() const { return fillColour_; }
    // 0 = solid, 1 = transparent (circles are not filled).
    void setFillStyle(int s) { fillStyle_ = s; }
    int fillStyle() const { return fillStyle_; }
    void setDrawWidth(int w) { drawWidth_ = w < 1 ? 1 : w; }
    int drawWidth() const { return drawWidth_; }
    double currentX() const { return curX_; }
    double currentY() const { return curY_; }
    void setCurrentPosition(double x, double y) { curX_ = x, curY_ = y; }

    // ---- drawing ----
    // Clears to the back colour; the current position returns to (0, 0).
    void clear();
    // Line in the given colour (the fore colour when none is given) and the
    // current width; leaves the current position at (x2, y2).
    void line(double x1, double y1, double x2, double y2, Rgb colour);
    void line(double x1, double y1, double x2, double y2) { line(x1, y1, x2, y2, foreColour_); }
    // A point of the current width; the current position moves there.
    void point(double x, double y, Rgb colour);
    // Circle outline in `colour`, filled with the fill colour when the fill
    // style is solid; the current position moves to the centre.
    void circle(double cx, double cy, double radius, Rgb colour);
    // Prints text at the current position in the fore colour. When
    // `continued`, the position stays after the last character; otherwise it
    // moves to the start of the next text line.
    void print(const std::string& utf8, bool continued = false);

    // Pixel access when the surface is a raster; nullptr otherwise.
    virtual PixelBuffer* pixelBuffer() { return nullptr; }
    // Called after pixels were written directly.
    virtual void pixelsChanged() {}
    // Shape access when the surface keeps vector shapes; nullptr otherwise.
    virtual VectorTarget* vectorTarget() { return nullptr; }

    // While a display list is attached, every clear, line, point, circle and
    // text is also recorded there with its resolved position and colours
    // (nullptr detaches; the surface does not own the list).
    void setRecorder(DisplayList* list) { recorder_ = list; }
    DisplayList* recorder() const { return recorder_; }

protected:
    virtual void doClear(Rgb colour) = 0;
    virtual void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) = 0;
    virtual void doPoint(double x, double y, Rgb colour, int width) = 0;
    virtual void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) = 0;
    // Draws text with its top-left corner at (x, y); returns its advance width
    // and line height in surface units.
    virtual void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                        double& lineHeight) = 0;

private:
    Rgb foreColour_{0, 0, 0};
    Rgb backColour_{255, 255, 255};
    Rgb fillColour_{0, 0, 0};
    int fillStyle_ = 1;
    int drawWidth_ = 1;
    double curX_ = 0, curY_ = 0;
    DisplayList* recorder_ = nullptr;
};

// A raster surface of its own pixels. Text is drawn by a subclass (the window
// layer uses the toolkit's fonts); here it only advances the position.
//
// The surface is `width` × `height` drawing units; its pixels may be finer
// (`resolution` pixels per unit, the screen's device pixel ratio), so that a
// picture stays sharp on a scaled screen while the drawing keeps its units.
// Line widths, point sizes and circle radii grow with the resolution, and
// painters that know their shapes (the shaded shell) fill them whole.
class RasterSurface : public DrawingSurface, public VectorTarget {
public:
    RasterSurface(int width, int height, double resolution = 1);
    int width() const override { return width_; }
    int height() const override { return height_; }
    double resolution() const { return resolution_; }
    // New pixels at another resolution, all white; the drawing is gone and
    // has to be painted again. The colours, width and position stay.
    void setResolution(double resolution);
    // Direct pixel writers work in drawing units, so they get the pixels only
    // when one pixel is one unit.
    PixelBuffer* pixelBuffer() override { return resolution_ == 1 ? &buffer_ : nullptr; }
    VectorTarget* vectorTarget() override { return resolution_ == 1 ? nullptr : this; }
    // Fills the pixels whose centres lie inside the polygon (non-zero
    // winding), then strokes its outline one unit wide in the same colour.
    void filledPolygon(const float* xy, int points, Rgb colour) override;
    void polyline(const float* xy, int points, Rgb colour, int width) override;
    // The pixels themselves, at the surface's resolution.
    PixelBuffer& pixels() { return buffer_; }
    const PixelBuffer& pixels() const { return buffer_; }
    // The pixel that shows the drawing unit (x, y).
    std::uint32_t pixel(int x, int y) const;
    Rgb rgbAt(int x, int y) const { return Rgb::fromArgb(pixel(x, y)); }

protected:
    void doClear(Rgb colour) override;
    void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) override;
    void doPoint(double x, double y, Rgb colour, int width) override;
    void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) override;
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

    // A drawing unit's position in pixels, and a width in whole pixels.
    double toPixels(double v) const { return v * resolution_ + (resolution_ - 1) / 2; }
    int pixelWidth(int width) const;
    // An even stamp covers the pixel it is rounded to and the next one: on
    // finer pixels it starts half a pixel earlier, so that it stays centred.
    double stampShift(int pixelWidth) const { return resolution_ != 1 && pixelWidth % 2 == 0 ? -0.5 : 0; }

    std::vector<std::uint32_t> storage_;
    PixelBuffer buffer_;
    int width_, height_;
    double resolution_;
};

// Rasterising primitives on a pixel buffer, shared by every raster surface.
namespace raster {
// Line between two points (rounded to the nearest pixel), both ends included,
// each point stamped as a width × width square; clipped to the buffer.
void line(PixelBuffer& buf, double x1, double y1, double x2, double y2, std::uint32_t argb, int width);
void stamp(PixelBuffer& buf, int x, int y, std::uint32_t argb, int width);
void circle(PixelBuffer& buf, double cx, double cy, double radius, std::uint32_t outline, bool filled,
            std::uint32_t fill);
// Fills the pixels whose centres lie inside the polygon (x0, y0, x1, y1, ...
// in pixels; non-zero winding); clipped to the buffer.
void polygon(PixelBuffer& buf, const double* xy, int points, std::uint32_t argb);
}  // namespace raster

// Records every drawing call, for tests that check what was drawn.
class RecordingSurface : public DrawingSurface {
public:
    struct Op {
        enum Kind { Clear, Line, Point, Circle, Text } kind;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        Rgb colour, fill;
        int width = 1;
        bool filled = false;
        std::string text;
    };
    RecordingSurface(int width = 1000, int height = 760) : w_(width), h_(height) {}
    int width() const override { return w_; }
    int height() const override { return h_; }
    std::vector<Op> ops;

protected:
    void doClear(Rgb c) override { ops.push_back({Op::Clear, 0, 0, 0, 0, c, c, 1, false, {}}); }
    void doLine(double x1, double y1, double x2, double y2, Rgb c, int width) override {
        ops.push_back({Op::Line, x1, y1, x2, y2, c, c, width, false, {}});
    }
    void doPoint(double x, double y, Rgb c, int width) override {
        ops.push_back({Op::Point, x, y, x, y, c, c, width, false, {}});
    }
    void doCircle(double cx, double cy, double r, Rgb o, bool filled, Rgb fill) override {
        ops.push_back({Op::Circle, cx, cy, r, 0, o, fill, 1, filled, {}});
    }
    void doText(double x, double y, const std::string& t, Rgb c, double& advance, double& lh) override {
        ops.push_back({Op::Text, x, y, x, y, c, c, 1, false, t});
        advance = 7.0 * static_cast<double>(t.size());
        lh = 13;
    }

private:
    int w_, h_;
};

// A surface that draws nothing, for timing the model without its drawing.
class NullSurface : public DrawingSurface {
public:
    NullSurface(int width = 1000, int height = 760) : w_(width), h_(height) {}
    int width() const override { return w_; }
    int height() const override { return h_; }

protected:
    void doClear(Rgb) override {}
    void doLine(double, double, double, double, Rgb, int) override {}
    void doPoint(double, double, Rgb, int) override {}
    void doCircle(double, double, double, Rgb, bool, Rgb) override {}
    void doText(double, double, const std::string&, Rgb, double& advance, double& lineHeight) override {
        advance = 0;
        lineHeight = 0;
    }

private:
    int w_, h_;
};

}  // namespace ammonite

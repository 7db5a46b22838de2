// A drawing surface that writes an SVG 1.1 document: lines as paths (runs of
// segments in one colour and width that meet end to end become one path),
// points as small squares, circles, texts, and the shaded shell as filled
// polygons. Coordinates are the surface's own (one unit per pixel), written
// with at most two decimals and '.' as the decimal sign whatever the locale.
// Nothing is rasterised: the document holds no image.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "render/surface.h"

namespace ammonite {

class DisplayList;

// The font texts are written in, as the window draws them.
struct SvgTextStyle {
    std::string family = "IPAPGothic";
    double pixelSize = 12;
    double ascent = 11;      // from the top of a text line down to its baseline
    double lineHeight = 13;  // from one text line to the next
    // Advance width of a text in pixels; when empty it is estimated from the
    // pixel size (half of it for narrow characters, all of it for wide ones).
    std::function<double(const std::string& utf8)> advance;
};

class SvgSurface : public DrawingSurface, public VectorTarget {
public:
    // Writes the document head at once; the rest follows as it is drawn.
    // `metadata`, when given, is an element written right after the document's
    // opening tag (the scenario the picture was grown from).
    SvgSurface(std::ostream& out, int width, int height, SvgTextStyle text = {}, const std::string& metadata = "");
    ~SvgSurface() override;  // finishes the document when finish() was not called
    SvgSurface(const SvgSurface&) = delete;
    SvgSurface& operator=(const SvgSurface&) = delete;

    int width() const override { return width_; }
    int height() const override { return height_; }
    VectorTarget* vectorTarget() override { return this; }

    // Writes what is pending and closes the document; later drawing is ignored.
    void finish();

    void filledPolygon(const float* xy, int points, Rgb colour) override;
    void polyline(const float* xy, int points, Rgb colour, int width) override;

protected:
    // A clear cannot take back what was written: it paints the whole surface
    // over in the back colour.
    void doClear(Rgb colour) override;
    void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) override;
    void doPoint(double x, double y, Rgb colour, int width) override;
    void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) override;
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    // A position in hundredths of a pixel: what the document can show.
    struct Hundredths {
        std::int64_t x = 0, y = 0;
        bool operator==(const Hundredths& o) const { return x == o.x && y == o.y; }
    };
    static Hundredths quantise(double x, double y);

    void flushPath();
    // Writes "M x y l dx dy ..."; returns the number of distinct points written.
    int writePointList(const float* xy, int points);
    void openShapes();
    void closeShapes();
    void writeNumber(std::int64_t hundredths, bool leadingZero = true);
    void writeNumber(double v);
    void writeColour(Rgb c);
    void spill(bool force = false);

    std::ostream& out_;
    int width_, height_;
    SvgTextStyle text_;
    std::string buf_;
    bool finished_ = false;
    bool shapesOpen_ = false;  // inside the group of shaded polygons and growth lines
    // The path being gathered: its points are reverse(front_) then back_.
    std::vector<Hundredths> front_, back_;
    Rgb pathColour_;
    int pathWidth_ = 1;
};

// Paints a display list into an SVG document of the given size: a rect in the
// colour of the list's clear (or `background` when it holds none), then every
// item in order, the shaded shell by the shading code itself.
// `metadata` is written right after the opening tag (see SvgSurface).
void WriteSvg(std::ostream& out, const DisplayList& list, int width, int height, Rgb background,
              const SvgTextStyle& text = {}, const std::string& metadata = "");

// WriteSvg into a file, through a temporary name renamed into place when the
// whole document is written, so a failure never leaves half a picture under
// the name asked for. False with a one-line error naming the file.
bool WriteSvgFile(const std::string& path, const DisplayList& list, int width, int height, Rgb background,
                  const SvgTextStyle& text, std::string& error, const std::string& metadata = "");

// `utf8` made fit for XML character data and attribute values: & < > " '
// escaped, characters XML does not allow dropped, broken UTF-8 replaced by
// U+FFFD.
std::string XmlEscaped(const std::string& utf8);

}  // namespace ammonite

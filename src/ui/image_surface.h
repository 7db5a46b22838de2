// A drawing surface on a QImage: lines, points and circles are rasterised
// into the image's pixels by the core; text is drawn with the toolkit's fonts.
// The image may hold more pixels than the surface has units (the screen's
// device pixel ratio); the drawing keeps its units either way.
#pragma once

#include <QFont>
#include <QImage>

#include <memory>
#include <string>

#include "render/surface.h"

class QPainter;

namespace ammonite {

class ImageSurface : public RasterSurface, public VectorTarget {
public:
    ImageSurface(int width, int height, double resolution = 1, const QFont& font = defaultFont());
    ~ImageSurface() override;
    // The image shares the surface's pixels; its device pixel ratio is the
    // surface's resolution, so it is shown at the surface's size in units.
    const QImage& image() const;
    QImage& image();
    void setFont(const QFont& font) { font_ = font; }
    const QFont& font() const { return font_; }
    // The picture as a PNG file through the safe writer: encoded in memory
    // first, so nothing under `path` changes unless the whole file is written.
    // False with a one-line error naming the file.
    bool savePng(const std::string& path, std::string& error) const;

    // Finer pixels than units: shapes (the shaded shell) are painted whole
    // by the toolkit instead of pixel by pixel in units.
    VectorTarget* vectorTarget() override { return resolution() == 1 ? nullptr : this; }
    void filledPolygon(const float* xy, int points, Rgb colour) override;
    void polyline(const float* xy, int points, Rgb colour, int width) override;

    static QFont defaultFont();
    // The device pixel ratio of the screens the windows are shown on.
    static double screenResolution();

protected:
    void doClear(Rgb colour) override;
    void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) override;
    void doPoint(double x, double y, Rgb colour, int width) override;
    void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) override;
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    QPainter& shapePainter();
    void endShapes() const;

    QImage image_;
    QFont font_;
    // Open while shapes are painted one after another; closed before any
    // other drawing and before the image is read.
    mutable std::unique_ptr<QPainter> shapes_;
};

}  // namespace ammonite

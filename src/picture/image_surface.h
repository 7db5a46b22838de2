// A drawing surface on a QImage: lines, points and circles are rasterised
// into the image's pixels by the core; text is drawn with the toolkit's fonts.
// The image may hold more pixels than the surface has units (the screen's
// device pixel ratio); the drawing keeps its units either way.
#pragma once

#include <QFont>
#include <QImage>

#include <string>

#include "render/surface.h"

namespace ammonite {

class ImageSurface : public RasterSurface {
public:
    ImageSurface(int width, int height, double resolution = 1, const QFont& font = defaultFont());
    // The image shares the surface's pixels; its device pixel ratio is the
    // surface's resolution, so it is shown at the surface's size in units.
    const QImage& image() const { return image_; }
    QImage& image() { return image_; }
    // New pixels at another resolution (see RasterSurface); the image follows.
    void setResolution(double resolution);
    void setFont(const QFont& font) { font_ = font; }
    const QFont& font() const { return font_; }
    // The picture as a PNG file through the safe writer: encoded in memory
    // first, so nothing under `path` changes unless the whole file is written.
    // False with a one-line error naming the file.
    // The picture as PNG bytes, tagged with the program that drew it.
    bool encodePng(std::string& bytes, std::string& error) const;
    // With `scenarioToml`, the file carries that scenario in a text chunk.
    bool savePng(const std::string& path, std::string& error, const std::string& scenarioToml = "") const;

    static QFont defaultFont();
    // The device pixel ratio of the screens the windows are shown on.
    static double screenResolution();

protected:
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    QImage image_;
    QFont font_;
};

}  // namespace ammonite

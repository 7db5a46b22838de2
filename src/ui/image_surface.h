// A drawing surface on a QImage: lines, points and circles are rasterised
// into the image's pixels by the core; text is drawn with the toolkit's fonts.
#pragma once

#include <QFont>
#include <QImage>

#include <string>

#include "render/surface.h"

namespace ammonite {

class ImageSurface : public RasterSurface {
public:
    ImageSurface(int width, int height, const QFont& font = defaultFont());
    // The image shares the surface's pixels.
    const QImage& image() const { return image_; }
    QImage& image() { return image_; }
    void setFont(const QFont& font) { font_ = font; }
    const QFont& font() const { return font_; }
    // The picture as a PNG file through the safe writer: encoded in memory
    // first, so nothing under `path` changes unless the whole file is written.
    // False with a one-line error naming the file.
    // The picture as PNG bytes, tagged with the program that drew it.
    bool encodePng(std::string& bytes, std::string& error) const;
    bool savePng(const std::string& path, std::string& error) const;

    static QFont defaultFont();

protected:
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    QImage image_;
    QFont font_;
};

}  // namespace ammonite

// A drawing surface on a QImage: lines, points and circles are rasterised
// into the image's pixels by the core; text is drawn with the toolkit's fonts.
#pragma once

#include <QFont>
#include <QImage>

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
    bool savePng(const QString& path) const { return image_.save(path, "PNG"); }

    static QFont defaultFont();

protected:
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    QImage image_;
    QFont font_;
};

}  // namespace ammonite

#include "ui/image_surface.h"

#include <QFontMetricsF>
#include <QPainter>

namespace ammonite {

QFont ImageSurface::defaultFont() {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(12);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

ImageSurface::ImageSurface(int width, int height, const QFont& font)
    : RasterSurface(width, height),
      image_(reinterpret_cast<uchar*>(buffer_.pixels), width, height, width * 4, QImage::Format_RGB32),
      font_(font) {}

void ImageSurface::doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                          double& lineHeight) {
    QString text = QString::fromUtf8(utf8.c_str(), static_cast<int>(utf8.size()));
    QFontMetricsF fm(font_);
    advance = fm.horizontalAdvance(text);
    lineHeight = fm.height();
    if (text.isEmpty()) return;
    QPainter p(&image_);
    p.setFont(font_);
    p.setPen(QColor(colour.r, colour.g, colour.b));
    // (x, y) is the top-left corner of the text.
    p.drawText(QPointF(x, y + fm.ascent()), text);
}

}  // namespace ammonite

#include "ui/image_surface.h"

#include <QBuffer>
#include <QByteArray>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>

#include "core/safe_file.h"

namespace ammonite {

QFont ImageSurface::defaultFont() {
    QFont f(QStringLiteral("IPAPGothic"));
    f.setPixelSize(12);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

double ImageSurface::screenResolution() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app ? app->devicePixelRatio() : 1.0;
}

ImageSurface::ImageSurface(int width, int height, double resolution, const QFont& font)
    : RasterSurface(width, height, resolution),
      image_(reinterpret_cast<uchar*>(pixels().pixels), pixels().width, pixels().height, pixels().stride * 4,
             QImage::Format_RGB32),
      font_(font) {
    image_.setDevicePixelRatio(this->resolution());
}

ImageSurface::~ImageSurface() { endShapes(); }

const QImage& ImageSurface::image() const {
    endShapes();
    return image_;
}

QImage& ImageSurface::image() {
    endShapes();
    return image_;
}

void ImageSurface::endShapes() const { shapes_.reset(); }

QPainter& ImageSurface::shapePainter() {
    if (!shapes_) {
        shapes_ = std::make_unique<QPainter>(&image_);
        shapes_->setRenderHint(QPainter::Antialiasing, true);
    }
    return *shapes_;
}

void ImageSurface::filledPolygon(const float* xy, int points, Rgb colour) {
    if (points < 2) return;
    QPolygonF polygon;
    polygon.reserve(points);
    for (int i = 0; i < points; ++i) polygon << QPointF(xy[2 * i] + 0.5, xy[2 * i + 1] + 0.5);
    QPainter& p = shapePainter();
    const QColor c(colour.r, colour.g, colour.b);
    // The outline in the same colour closes the seams between neighbours.
    p.setPen(QPen(c, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c);
    p.drawPolygon(polygon);
}

void ImageSurface::polyline(const float* xy, int points, Rgb colour, int width) {
    if (points < 2) return;
    QPolygonF line;
    line.reserve(points);
    for (int i = 0; i < points; ++i) line << QPointF(xy[2 * i] + 0.5, xy[2 * i + 1] + 0.5);
    QPainter& p = shapePainter();
    p.setPen(QPen(QColor(colour.r, colour.g, colour.b), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
}

void ImageSurface::doClear(Rgb colour) {
    endShapes();
    RasterSurface::doClear(colour);
}

void ImageSurface::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    endShapes();
    RasterSurface::doLine(x1, y1, x2, y2, colour, width);
}

void ImageSurface::doPoint(double x, double y, Rgb colour, int width) {
    endShapes();
    RasterSurface::doPoint(x, y, colour, width);
}

void ImageSurface::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    endShapes();
    RasterSurface::doCircle(cx, cy, radius, outline, filled, fill);
}

void ImageSurface::doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                          double& lineHeight) {
    endShapes();
    QString text = QString::fromUtf8(utf8.c_str(), static_cast<int>(utf8.size()));
    QFontMetricsF fm(font_);
    advance = fm.horizontalAdvance(text);
    lineHeight = fm.height();
    if (text.isEmpty()) return;
    QPainter p(&image_);
    p.setFont(font_);
    p.setPen(QColor(colour.r, colour.g, colour.b));
    // (x, y) is the top-left corner of the text; on finer pixels the painter
    // takes units and the text is set at the finer size.
    p.drawText(QPointF(x, y + fm.ascent()), text);
}

bool ImageSurface::savePng(const std::string& path, std::string& error) const {
    endShapes();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image_.save(&buffer, "PNG")) {
        error = "cannot write " + path + ": the picture could not be encoded as PNG";
        return false;
    }
    return WriteFileSafely(path, std::string(bytes.constData(), static_cast<size_t>(bytes.size())), error);
}

}  // namespace ammonite

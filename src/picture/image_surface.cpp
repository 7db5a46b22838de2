#include "picture/image_surface.h"

#include <QBuffer>
#include <QByteArray>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

#include "core/safe_file.h"
#include "core/version.h"
#include "model/scenario_file.h"

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
    : RasterSurface(width, height, resolution), font_(font) {
    setResolution(resolution);
}

void ImageSurface::setResolution(double resolution) {
    if (resolution != this->resolution() || image_.isNull()) {
        image_ = QImage();
        RasterSurface::setResolution(resolution);
    }
    image_ = QImage(reinterpret_cast<uchar*>(pixels().pixels), pixels().width, pixels().height, pixels().stride * 4,
                    QImage::Format_RGB32);
    image_.setDevicePixelRatio(this->resolution());
}

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
    // (x, y) is the top-left corner of the text; on finer pixels the painter
    // takes units and the text is set at the finer size.
    p.drawText(QPointF(x, y + fm.ascent()), text);
}

bool ImageSurface::encodePng(std::string& bytes, std::string& error) const {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    // The picture names the program that drew it (a PNG text chunk).
    QImage tagged = image_;
    tagged.setText(QStringLiteral("Software"), QString::fromLatin1(kGenerator));
    if (!tagged.save(&buffer, "PNG")) {
        error = "the picture could not be encoded as PNG";
        return false;
    }
    bytes.assign(encoded.constData(), static_cast<size_t>(encoded.size()));
    return true;
}

bool ImageSurface::savePng(const std::string& path, std::string& error, const std::string& scenarioToml) const {
    std::string bytes;
    if (!encodePng(bytes, error)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    if (!scenarioToml.empty()) bytes = PngWithScenario(bytes, scenarioToml);
    return WriteFileSafely(path, bytes, error);
}

}  // namespace ammonite

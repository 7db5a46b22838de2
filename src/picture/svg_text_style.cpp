#include "picture/svg_text_style.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QString>

namespace ammonite {

SvgTextStyle SvgTextStyleFor(const QFont& font) {
    SvgTextStyle style;
    const QFontMetricsF metrics(font);
    style.family = font.family().toStdString() + ", sans-serif";
    style.pixelSize = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    style.ascent = metrics.ascent();
    style.lineHeight = metrics.height();
    style.advance = [metrics](const std::string& utf8) {
        return metrics.horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    };
    return style;
}

}  // namespace ammonite

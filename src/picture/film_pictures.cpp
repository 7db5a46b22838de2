#include "picture/film_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>

#include "picture/image_surface.h"

namespace ammonite {

std::unique_ptr<DrawingSurface> MakeFilmPicture(int width, int height) {
    QFont font = ImageSurface::defaultFont();
    font.setPixelSize(std::max(10, height / 30));
    auto surface = std::make_unique<ImageSurface>(width, height, 1.0, font);
    return surface;
}

bool EncodeFilmPng(const PixelBuffer& pixels, const std::vector<std::pair<std::string, std::string>>& text,
                   std::string& png, std::string& error) {
    // The frame is wrapped, not copied: the image only lives while it is encoded.
    QImage image(reinterpret_cast<const uchar*>(pixels.pixels), pixels.width, pixels.height, pixels.stride * 4,
                 QImage::Format_RGB32);
    for (const auto& [key, value] : text)
        image.setText(QString::fromStdString(key), QString::fromUtf8(value.c_str(), static_cast<int>(value.size())));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "the frame could not be encoded as PNG";
        return false;
    }
    png.assign(encoded.constData(), static_cast<size_t>(encoded.size()));
    return true;
}

}  // namespace ammonite

#include "render/svg_surface.h"

#include "core/safe_file.h"
#include "core/version.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "render/display_list.h"
#include "render/shading.h"

namespace ammonite {

namespace {

// Coordinates beyond this many pixels are held there: far outside any
// picture, and small enough for hundredths in 64 bits.
constexpr double kFarAway = 1e7;
// The written text goes to the stream in pieces of about this size.
constexpr size_t kSpillSize = 1 << 20;

// Decodes one UTF-8 character at s[i]; returns its length, 0 when the bytes
// there are not a well-formed character.
int decodeUtf8(const std::string& s, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    int len = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + static_cast<size_t>(len) > s.size()) return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char b = byte(i + static_cast<size_t>(k));
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    static const char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;  // overlong, surrogate
    return len;
}

bool allowedInXml(char32_t cp) {
    if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
    return cp != 0xFFFE && cp != 0xFFFF;
}

// Liang–Barsky clipping of the segment to the rectangle; false when nothing
// of it is inside.
bool clipSegment(double& x1, double& y1, double& x2, double& y2, double xmin, double ymin, double xmax,
                 double ymax) {
    const double dx = x2 - x1, dy = y2 - y1;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - xmin, xmax - x1, y1 - ymin, ymax - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    if (t1 < 1) x2 = x1 + t1 * dx, y2 = y1 + t1 * dy;
    if (t0 > 0) x1 = x1 + t0 * dx, y1 = y1 + t0 * dy;
    return true;
}

}  // namespace

std::string XmlEscaped(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const int len = decodeUtf8(utf8, i, cp);
        if (len == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no character
            ++i;
            continue;
        }
        switch (cp) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                if (allowedInXml(cp)) out.append(utf8, i, static_cast<size_t>(len));
        }
        i += static_cast<size_t>(len);
    }
    return out;
}

SvgSurface::SvgSurface(std::ostream& out, int width, int height, SvgTextStyle text, const std::string& metadata)
    : out_(out), width_(std::max(width, 1)), height_(std::max(height, 1)), text_(std::move(text)) {
    buf_.reserve(kSpillSize + 4096);
    const std::string w = std::to_string(width_), h = std::to_string(height_);
    buf_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    buf_ += std::string("<!-- generator=") + kGenerator + " -->\n";
    buf_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + w + "\" height=\"" + h +
            "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
    buf_ += metadata;
    // Lines keep the round ends and joins of a pen; every shape sets its fill.
    buf_ += "<g fill=\"none\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";
}

SvgSurface::~SvgSurface() {
    try {
        finish();
    } catch (...) {
        // A stream that throws on failure: the document stays unfinished.
    }
}

void SvgSurface::finish() {
    if (finished_) return;
    flushPath();
    closeShapes();
    buf_ += "</g>\n</svg>\n";
    finished_ = true;
    spill(true);
    out_.flush();
}

void SvgSurface::spill(bool force) {
    if (!force && buf_.size() < kSpillSize) return;
    out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    buf_.clear();
}

SvgSurface::Hundredths SvgSurface::quantise(double x, double y) {
    const auto q = [](double v) {
        return static_cast<std::int64_t>(std::llround(std::clamp(v, -kFarAway, kFarAway) * 100.0));
    };
    return {q(x), q(y)};
}

void SvgSurface::writeNumber(std::int64_t hundredths, bool leadingZero) {
    char digits[32];
    int n = 0;
    std::uint64_t a = hundredths < 0 ? static_cast<std::uint64_t>(-hundredths) : static_cast<std::uint64_t>(hundredths);
    const unsigned frac = static_cast<unsigned>(a % 100);
    a /= 100;
    do {
        digits[n++] = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a);
    if (hundredths < 0) buf_ += '-';
    if (!leadingZero && n == 1 && digits[0] == '0' && frac) n = 0;  // -.05 for -0.05
    while (n) buf_ += digits[--n];
    if (frac) {
        buf_ += '.';
        buf_ += static_cast<char>('0' + frac / 10);
        if (frac % 10) buf_ += static_cast<char>('0' + frac % 10);
    }
}

void SvgSurface::writeNumber(double v) {
    writeNumber(static_cast<std::int64_t>(std::llround(std::clamp(v, -kFarAway, kFarAway) * 100.0)));
}

void SvgSurface::writeColour(Rgb c) {
    static const char kHex[] = "0123456789abcdef";
    buf_ += '#';
    for (std::uint8_t v : {c.r, c.g, c.b}) {
        buf_ += kHex[v >> 4];
        buf_ += kHex[v & 15];
    }
}

void SvgSurface::doClear(Rgb colour) {
    if (finished_) return;
    flushPath();
    closeShapes();
    buf_ += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width_) + "\" height=\"" + std::to_string(height_) +
            "\" fill=\"";
    writeColour(colour);
    buf_ += "\"/>\n";
}

void SvgSurface::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    if (finished_) return;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
    // Only what can show is kept, as on a raster: a margin for the pen.
    const double m = width + 2.0;
    if (!clipSegment(x1, y1, x2, y2, -m, -m, width_ + m, height_ + m)) return;
    const Hundredths a = quantise(x1, y1), b = quantise(x2, y2);
    if (!back_.empty() && colour == pathColour_ && width == pathWidth_) {
        // A ring drawn from each new point back to the previous one meets the
        // path at its start; a line drawn forward meets it at its end.
        const Hundredths& last = back_.back();
        const Hundredths& first = front_.empty() ? back_.front() : front_.back();
        if (a == last) {
            if (!(b == a)) back_.push_back(b);
            return;
        }
        if (b == last) {
            if (!(a == b)) back_.push_back(a);
            return;
        }
        if (b == first) {
            front_.push_back(a);
            return;
        }
        if (a == first) {
            front_.push_back(b);
            return;
        }
    }
    flushPath();
    closeShapes();
    back_.push_back(a);
    back_.push_back(b);
    pathColour_ = colour;
    pathWidth_ = width;
}

void SvgSurface::flushPath() {
    if (back_.empty()) return;
    buf_ += "<path stroke=\"";
    writeColour(pathColour_);
    if (pathWidth_ != 1) {
        buf_ += "\" stroke-width=\"";
        buf_ += std::to_string(pathWidth_);
    }
    buf_ += "\" d=\"M";
    Hundredths prev;
    bool started = false;
    const auto put = [&](const Hundredths& p) {
        if (!started) {
            writeNumber(p.x);
            buf_ += ' ';
            writeNumber(p.y);
            buf_ += 'l';
            started = true;
        } else {
            if (buf_.back() != 'l') buf_ += ' ';
            writeNumber(p.x - prev.x);
            buf_ += ' ';
            writeNumber(p.y - prev.y);
        }
        prev = p;
    };
    for (auto it = front_.rbegin(); it != front_.rend(); ++it) put(*it);
    for (const Hundredths& p : back_) put(p);
    buf_ += "\"/>\n";
    front_.clear();
    back_.clear();
    spill();
}

int SvgSurface::writePointList(const float* xy, int points) {
    // Relative steps after the first point, short: a minus sign separates
    // numbers as well as a blank does, and a step below one pixel drops its
    // leading zero. A point that falls on the one before it in hundredths
    // adds nothing and is left out.
    Hundredths prev;
    int written = 0;
    for (int i = 0; i < points; ++i) {
        const Hundredths p = quantise(xy[2 * i], xy[2 * i + 1]);
        if (written == 0) {
            buf_ += 'M';
            writeNumber(p.x);
            buf_ += ' ';
            writeNumber(p.y);
            buf_ += 'l';
        } else {
            if (p == prev) continue;
            const std::int64_t dx = p.x - prev.x, dy = p.y - prev.y;
            if (written > 1 && dx >= 0) buf_ += ' ';
            writeNumber(dx, false);
            if (dy >= 0) buf_ += ' ';
            writeNumber(dy, false);
        }
        prev = p;
        ++written;
    }
    if (written == 1) buf_ += "0 0";  // all on one spot: a dot, by the round pen
    return written;
}

void SvgSurface::openShapes() {
    if (shapesOpen_) return;
    flushPath();
    // Shapes take fill and outline from their colour property.
    buf_ += "<g fill=\"currentColor\" stroke=\"currentColor\">\n";
    shapesOpen_ = true;
}

void SvgSurface::closeShapes() {
    if (!shapesOpen_) return;
    buf_ += "</g>\n";
    shapesOpen_ = false;
}

namespace {
// Whether the points lie wholly outside the surface (with a margin), so that
// nothing of their shape can show; also when a coordinate is not finite.
bool outsideOrInvalid(const float* xy, int points, int width, int height, double margin) {
    float minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
    for (int i = 0; i < points; ++i) {
        const float x = xy[2 * i], y = xy[2 * i + 1];
        if (!std::isfinite(x) || !std::isfinite(y)) return true;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    return maxX < -margin || maxY < -margin || minX > width + margin || minY > height + margin;
}
}  // namespace

void SvgSurface::filledPolygon(const float* xy, int points, Rgb colour) {
    if (finished_ || points < 2 || outsideOrInvalid(xy, points, width_, height_, 2)) return;
    openShapes();
    buf_ += "<path color=\"";
    writeColour(colour);
    buf_ += "\" d=\"";
    // A polygon that shrank to a dot stays open, so that the pen's round end shows.
    if (writePointList(xy, points) > 1) buf_ += 'z';
    buf_ += "\"/>\n";
    spill();
}

void SvgSurface::polyline(const float* xy, int points, Rgb colour, int width) {
    if (finished_ || points < 2 || outsideOrInvalid(xy, points, width_, height_, width + 2.0)) return;
    openShapes();
    buf_ += "<path fill=\"none\" color=\"";
    writeColour(colour);
    if (width != 1) {
        buf_ += "\" stroke-width=\"";
        buf_ += std::to_string(std::max(width, 1));
    }
    buf_ += "\" d=\"";
    writePointList(xy, points);
    buf_ += "\"/>\n";
    spill();
}

void SvgSurface::doPoint(double x, double y, Rgb colour, int width) {
    if (finished_ || !std::isfinite(x) || !std::isfinite(y)) return;
    if (x < -width - 2 || y < -width - 2 || x > width_ + width + 2 || y > height_ + width + 2) return;
    flushPath();
    closeShapes();
    // A square of the pen's width centred on the point.
    buf_ += "<rect x=\"";
    writeNumber(x - width / 2.0);
    buf_ += "\" y=\"";
    writeNumber(y - width / 2.0);
    buf_ += "\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(width) + "\" fill=\"";
    writeColour(colour);
    buf_ += "\"/>\n";
    spill();
}

void SvgSurface::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    if (finished_ || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(radius)) return;
    radius = std::fabs(radius);
    if (cx < -radius - 2 || cy < -radius - 2 || cx > width_ + radius + 2 || cy > height_ + radius + 2) return;
    flushPath();
    closeShapes();
    buf_ += "<circle cx=\"";
    writeNumber(cx);
    buf_ += "\" cy=\"";
    writeNumber(cy);
    buf_ += "\" r=\"";
    writeNumber(radius);
    buf_ += "\" stroke=\"";
    writeColour(outline);
    if (filled) {
        buf_ += "\" fill=\"";
        writeColour(fill);
    }
    buf_ += "\"/>\n";
    spill();
}

void SvgSurface::doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                        double& lineHeight) {
    lineHeight = text_.lineHeight;
    if (text_.advance) {
        advance = text_.advance(utf8);
    } else {
        advance = 0;
        for (size_t i = 0; i < utf8.size();) {
            char32_t cp = 0;
            const int len = decodeUtf8(utf8, i, cp);
            i += len ? static_cast<size_t>(len) : 1;
            advance += (len == 0 || cp >= 0x1100) ? text_.pixelSize : text_.pixelSize * 0.5;
        }
    }
    if (finished_ || utf8.empty() || !std::isfinite(x) || !std::isfinite(y)) return;
    flushPath();
    closeShapes();
    // (x, y) is the top-left corner of the text; SVG places its baseline.
    buf_ += "<text x=\"";
    writeNumber(x);
    buf_ += "\" y=\"";
    writeNumber(y + text_.ascent);
    buf_ += "\" font-family=\"";
    buf_ += XmlEscaped(text_.family);
    buf_ += "\" font-size=\"";
    writeNumber(text_.pixelSize);
    buf_ += "\" fill=\"";
    writeColour(colour);
    buf_ += "\" xml:space=\"preserve\">";
    buf_ += XmlEscaped(utf8);
    buf_ += "</text>\n";
    spill();
}

void WriteSvg(std::ostream& out, const DisplayList& list, int width, int height, Rgb background,
              const SvgTextStyle& text, const std::string& metadata) {
    SvgSurface svg(out, width, height, text, metadata);
    svg.setBackColour(list.hasBackground() ? list.background() : background);
    svg.clear();
    PaintDisplayList(svg, list);
    svg.finish();
}

bool WriteSvgFile(const std::string& path, const DisplayList& list, int width, int height, Rgb background,
                  const SvgTextStyle& text, std::string& error, const std::string& metadata) {
    return WriteFileSafely(
        path, [&](std::ostream& out) { WriteSvg(out, list, width, height, background, text, metadata); }, error);
}

}  // namespace ammonite

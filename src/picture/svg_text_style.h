// The font of the window's texts, as an SVG document should name and place it.
#pragma once

#include <QFont>

#include "render/svg_surface.h"
#include "picture/image_surface.h"

namespace ammonite {

// Family (with sans-serif behind it, for viewers without the font), pixel
// size, ascent, line height and advance widths measured by the toolkit.
SvgTextStyle SvgTextStyleFor(const QFont& font);
inline SvgTextStyle SvgTextStyleFor(const ImageSurface& surface) { return SvgTextStyleFor(surface.font()); }

}  // namespace ammonite

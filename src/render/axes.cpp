#include "render/axes.h"

namespace ammonite {

void DrawAxes(DrawingSurface& surface, const ModelState& model, const ViewPairs& view) {
    struct Axis {
        Vec3 end;
        int colour;
        const char* label;
    };
    const Axis axes[3] = {{{20, 0, 0}, 4, "X"}, {{0, 20, 0}, 5, "Y"}, {{0, 0, 20}, 6, "Z"}};
    const double ox = model.originX, oy = model.originY, s = model.drawScale;
    for (const Axis& axis : axes) {
        Vec3 p = axis.end;
        ApplyViewRotation(p, view);
        ApplyOrientationRotation(p, model.orientationSin, model.orientationCos);
        surface.line(static_cast<float>(ox - s * p.x), static_cast<float>(oy + s * p.y),
                     static_cast<float>(ox + s * p.x), static_cast<float>(oy - s * p.y),
                     paletteColour(axis.colour));
        surface.print(axis.label);
    }
}

}  // namespace ammonite

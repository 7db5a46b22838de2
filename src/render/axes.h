#pragma once

#include "model/model_state.h"
#include "core/rotations.h"
#include "render/surface.h"

namespace ammonite {

// Draws the three model axes, 40 model units each, centred on the drawing
// origin and turned by the view and the life orientation (without its shift),
// each labelled at its positive end: "X", "Y", "Z".
void DrawAxes(DrawingSurface& surface, const ModelState& model, const ViewPairs& view);

}  // namespace ammonite

// The settings window's preview: the three model axes (50 model units) at the
// drawing origin and scale, turned by the view direction, and the light
// direction, in the main window's drawing units (800 × 600 visible).
#pragma once

#include "model/model_state.h"
#include "render/surface.h"

namespace ammonite {

constexpr int kPreviewWidth = 800;
constexpr int kPreviewHeight = 600;
constexpr Rgb kPreviewBackground{0, 64, 64};
constexpr Rgb kPreviewText{255, 255, 255};
constexpr Rgb kPreviewAxes{0, 255, 0};           // palette 10
constexpr Rgb kPreviewLightFront{255, 255, 255};  // palette 15: light on the viewer's side
constexpr Rgb kPreviewLightBehind{128, 128, 0};   // palette 6: light from behind
constexpr Rgb kPreviewDropLine{128, 0, 0};        // palette 4: frame mode's foot lines

// Three single-precision values.
struct Vec3Single {
    float x = 0, y = 0, z = 0;
};

// The preview's own fields (single precision, as the window keeps them).
struct PreviewFields {
    float azimuthCos = 1, azimuthSin = 0;
    float elevationCos = 1, elevationSin = 0;
    Vec3Single rotatedLight;  // frame mode: the unit light turned into screen axes
    Rgb lightLineColour = kPreviewLightFront;
};

// The four turning coefficients from a view vector; zero lengths give the
// identity (x right, y up, z towards the viewer).
void SetPreviewCoefficients(PreviewFields& fields, const Vec3F4& view);

// Turns a point in place into screen axes (X right, Y up, Z towards the
// viewer); each value is held as single precision, stored to four decimals.
void RotatePreviewPoint(Vec3F4& point, const PreviewFields& fields);

// Clears the surface and draws the sketch from the model's viewVector,
// lightVector, originX, originY and drawScale. With `frameMode` the light is
// a direction in the model's frame and turns with the axes; otherwise it is a
// screen direction. `workDirection` is the point register the drawing uses.
// A zero light vector draws no light line and no " L".
void DrawPreview(DrawingSurface& surface, const ModelState& model, bool frameMode, Vec3F4& workDirection,
                 PreviewFields& fields);

}  // namespace ammonite

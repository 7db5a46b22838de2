#include "render/preview.h"

#include <cmath>

namespace ammonite {

namespace {

// Four-decimal arithmetic of the screen positions: every product is rounded
// to four decimals (halves to even), sums are exact; overflow is an error.
Fixed4 mul(Fixed4 a, Fixed4 b) {
    const __int128 p = static_cast<__int128>(a.raw()) * b.raw();  // value × 10^8
    __int128 q = p / 10000, r = p % 10000;
    const __int128 absR = r < 0 ? -r : r;
    if (absR > 5000 || (absR == 5000 && (q % 2 != 0))) q += p < 0 ? -1 : 1;
    if (q > INT64_MAX || q < INT64_MIN) throwOverflow("preview position");
    return Fixed4::fromRaw(static_cast<std::int64_t>(q));
}
// A four-decimal number times a single-precision one, rounded to four
// decimals (halves to even).
Fixed4 mulSingle(Fixed4 a, float b) {
    const double scaled = roundHalfEven(static_cast<double>(a.raw()) * static_cast<double>(b));
    if (!(scaled < 9223372036854775808.0 && scaled >= -9223372036854775808.0)) throwOverflow("preview position");
    return Fixed4::fromRaw(static_cast<std::int64_t>(scaled));
}
Fixed4 mulWhole(Fixed4 a, int k) {
    std::int64_t out;
    if (__builtin_mul_overflow(a.raw(), static_cast<std::int64_t>(k), &out)) throwOverflow("preview position");
    return Fixed4::fromRaw(out);
}
Fixed4 add(Fixed4 a, Fixed4 b) {
    std::int64_t out;
    if (__builtin_add_overflow(a.raw(), b.raw(), &out)) throwOverflow("preview position");
    return Fixed4::fromRaw(out);
}
Fixed4 sub(Fixed4 a, Fixed4 b) {
    std::int64_t out;
    if (__builtin_sub_overflow(a.raw(), b.raw(), &out)) throwOverflow("preview position");
    return Fixed4::fromRaw(out);
}
// Drawing coordinates are single precision.
double draw(Fixed4 v) { return static_cast<double>(static_cast<float>(v.toDouble())); }
Fixed4 held(double v) { return Fixed4(static_cast<double>(static_cast<float>(v))); }

}  // namespace

void SetPreviewCoefficients(PreviewFields& f, const Vec3F4& view) {
    const double vx = view.x, vy = view.y, vz = view.z;
    // The lengths and the coefficients are held in single precision.
    const float h = static_cast<float>(std::sqrt(vy * vy + vx * vx));
    const UnitTurn azimuth = UnitTurnOf(-vy, -vx, h);
    f.azimuthCos = static_cast<float>(azimuth.cos);
    f.azimuthSin = static_cast<float>(azimuth.sin);
    const float r = static_cast<float>(std::sqrt(vy * vy + vx * vx + vz * vz));
    const UnitTurn elevation = UnitTurnOf(vz, -static_cast<double>(h), r);
    f.elevationCos = static_cast<float>(elevation.cos);
    f.elevationSin = static_cast<float>(elevation.sin);
}

void RotatePreviewPoint(Vec3F4& p, const PreviewFields& f) {
    const double x = p.x, y = p.y, z = p.z;
    const double ca = f.azimuthCos, sa = f.azimuthSin, ce = f.elevationCos, se = f.elevationSin;
    const double X = x * ca - y * sa;
    const double Y = (x * sa + y * ca) * ce - z * se;
    const double Z = (x * sa + y * ca) * se + z * ce;
    p.x = held(X);
    p.y = held(Y);
    p.z = held(Z);
}

void DrawPreview(DrawingSurface& s, const ModelState& model, bool frameMode, Vec3F4& work, PreviewFields& f) {
    const Fixed4 ox = model.originX, oy = model.originY, scale = model.drawScale;

    // 1. Coefficients of the current view.
    SetPreviewCoefficients(f, model.viewVector);

    // 2. Clear to the background; text is white.
    s.setBackColour(kPreviewBackground);
    s.setForeColour(kPreviewText);
    s.clear();

    // 3.-5. The axes: x and y through the origin to both sides, z its
    // positive half only.
    auto axis = [&](double x, double y, double z, bool bothSides) {
        work = {x, y, z};
        RotatePreviewPoint(work, f);
        const Fixed4 dx = mul(work.x, scale), dy = mul(work.y, scale);
        const double endX = draw(add(ox, dx)), endY = draw(sub(oy, dy));
        if (bothSides)
            s.line(draw(sub(ox, dx)), draw(add(oy, dy)), endX, endY, kPreviewAxes);
        else
            s.line(draw(ox), draw(oy), endX, endY, kPreviewAxes);
    };
    axis(50, 0, 0, true);
    s.circle(s.currentX(), s.currentY(), 1, kPreviewAxes);
    s.print("x");
    // print moves to the next text line; the next label goes at the axis end.
    axis(0, 50, 0, true);
    s.print("y");
    axis(0, 0, 50, false);
    s.print(" z");

    // 6. The unit light direction. A zero light has no direction: no light.
    const double lx = model.lightVector.x, ly = model.lightVector.y, lz = model.lightVector.z;
    const float length = static_cast<float>(std::sqrt(ly * ly + lx * lx + lz * lz));
    if (length == 0.0f) return;
    const double L = length;
    work = {lx / L, ly / L, lz / L};

    // 7. In frame mode the light turns with the view.
    if (frameMode) {
        RotatePreviewPoint(work, f);
        f.rotatedLight = {static_cast<float>(work.x.toDouble()), static_cast<float>(work.y.toDouble()),
                          static_cast<float>(work.z.toDouble())};
    }
    // 8. Colour by the side the light comes from.
    f.lightLineColour = work.z.raw() < 0 ? kPreviewLightBehind : kPreviewLightFront;

    // 9. The light line and its label.
    s.line(draw(ox), draw(oy), draw(add(ox, mulWhole(mul(work.x, scale), 50))),
           draw(sub(oy, mulWhole(mul(work.y, scale), 50))), f.lightLineColour);
    s.print(" L");

    // 10. Screen mode ends here.
    if (!frameMode) return;

    // 11. The foot of the light on the model's horizontal plane, and the drop
    // line from the tip down to it.
    const Fixed4 scale50 = mulWhole(scale, 50);
    const double tipX = draw(add(ox, mulSingle(scale50, f.rotatedLight.x)));
    const double tipY = draw(sub(oy, mulSingle(scale50, f.rotatedLight.y)));
    work = {lx / L, ly / L, 0};
    RotatePreviewPoint(work, f);
    const double footX = draw(add(ox, mulWhole(mul(work.x, scale), 50)));
    const double footY = draw(sub(oy, mulWhole(mul(work.y, scale), 50)));
    s.line(tipX, tipY, footX, footY, kPreviewDropLine);
    // 12. From the foot back to the origin.
    s.line(footX, footY, draw(ox), draw(oy), kPreviewDropLine);
    // 13. A light on the viewer's side lies over the red lines.
    if (f.rotatedLight.z >= 0) s.line(draw(ox), draw(oy), tipX, tipY, f.lightLineColour);
}

}  // namespace ammonite

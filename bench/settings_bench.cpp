// Speed of the settings window's redraws: every bar move and z-box check
// redraws the preview, so dragging a bar must stay smooth.
#include <benchmark/benchmark.h>


#include "app/settings_logic.h"
#include "bench_window.h"
#include "picture/headless_toolkit.h"
#include "ui/settings_window.h"

using namespace ammonite;

namespace {

// Text on the window's surfaces needs the toolkit's fonts.
using bench::ensureGuiApplication;

ModelState settingsModel() {
    ModelState m;
    m.growthIncrement = 0.05f;
    m.densities = {0.6, 1.3};
    m.viewVector = {0.3, 0.8, 0.5};
    m.lightVector = {1, 0, 1};
    m.originX = 400;
    m.originY = 300;
    m.drawScale = 2;
    m.ribbingOn = 1;
    m.orientationMode = 2;
    return m;
}

// The preview on a full 800 × 600 raster, frame mode.
void BM_DrawPreviewFullSize(benchmark::State& state) {
    ModelState m = settingsModel();
    RasterSurface s(800, 600);
    PreviewFields f;
    Vec3F4 work;
    for (auto _ : state) {
        DrawPreview(s, m, true, work, f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawPreviewFullSize);

// The preview as the window shows it: scaled into the picture box.
void BM_DrawPreviewInTheBox(benchmark::State& state) {
    ensureGuiApplication();
    ModelState m = settingsModel();
    ScaledImageSurface s(125, 93, 800, 600);
    PreviewFields f;
    Vec3F4 work;
    for (auto _ : state) {
        DrawPreview(s, m, true, work, f);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawPreviewInTheBox);

// One step of dragging the view azimuth bar: labels, angles, the three view
// boxes with their handlers, and the preview.
void BM_DragViewAzimuthBar(benchmark::State& state) {
    ensureGuiApplication();
    ModelState m = settingsModel();
    ScaledImageSurface s(125, 93, 800, 600);
    SettingsWindowLogic logic(m, s);
    logic.Load();
    int position = 0;
    for (auto _ : state) {
        position = (position + 7) % 361;
        logic.MoveBar(logic.VIEWhsc, position);
    }
}
BENCHMARK(BM_DragViewAzimuthBar);

}  // namespace

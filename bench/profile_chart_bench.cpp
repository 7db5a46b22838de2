// The profile window's chart: a drag redraws the whole overlay (clear to the
// background, four profiles, the edited profile with its circles) on every
// mouse move, synchronously; the background pass and the file reader run on
// load and on a click.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>


#include "model/profile_file.h"
#include "app/profile_window_logic.h"
#include "picture/headless_toolkit.h"
#include "picture/image_surface.h"

using namespace ammonite;

namespace {

void ensureGuiApp() { StartHeadlessToolkit({"ammonite_bench"}); }

// The window's chart on toolkit images, with full profiles (51 points each).
struct ChartFixture {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    ImageSurface background{1001, 665}, shown{1001, 665};
    ChartLayers layers{background, shown};
    std::unique_ptr<ProfileWindowLogic> logic;
    ChartFixture() {
        ensureGuiApp();
        model->setDefaultProfiles();
        model->alpha = 1.005;
        model->stageRange = {0, 3000};
        model->lastStage = 3000;
        for (auto* p : {&model->gammaProfile, &model->curvatureProfile, &model->torsionProfile, &model->betaProfile}) {
            p->count = 50;
            for (int i = 0; i <= 50; ++i) p->setPoint(i, i * 40, (i % 7) * 0.1 + 1);
        }
        // Load creates the "ammonite" folder: keep it in the temporary folder.
        auto old = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::temp_directory_path());
        logic = std::make_unique<ProfileWindowLogic>(*model, layers);
        logic->Load();
        std::filesystem::current_path(old);
        logic->ClickProfileButton(ProfileWindowLogic::kGamma);
    }
};

void BM_DragMoveRedraw(benchmark::State& state) {
    ChartFixture f;
    f.logic->PressChart(21 + 500, 400 - 40 * 0.3);  // selects point 25 (stage 1000)
    int k = 0;
    for (auto _ : state) {
        f.logic->MoveChart(21 + 490 + (k++ % 20), 300);
        benchmark::DoNotOptimize(f.shown.image().constBits());
    }
    f.logic->ReleaseChart(0, 0);
}
BENCHMARK(BM_DragMoveRedraw)->Unit(benchmark::kMicrosecond);

void BM_ChartBackground(benchmark::State& state) {
    ChartFixture f;
    for (auto _ : state) f.logic->DrawChartBackground();
}
BENCHMARK(BM_ChartBackground)->Unit(benchmark::kMicrosecond);

void BM_ParseProfileFile(benchmark::State& state) {
    ChartFixture f;
    const std::string text = FormatProfileFile(*f.model);
    for (auto _ : state) {
        ProfileFileContents c = ProfileFileContents::from(*f.model);
        std::string error;
        benchmark::DoNotOptimize(ParseProfileFile(text, c, error));
    }
}
BENCHMARK(BM_ParseProfileFile)->Unit(benchmark::kMicrosecond);

}  // namespace

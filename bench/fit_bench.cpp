// The fit of each gallery form with the default budget (12000 engine runs,
// six knots), from the same kind of specimen the recovery tests make: wall
// time on all cores and the RMS of the fitted centre line. The baseline is
// one engine run of the same form in the same benchmark: `runs_equivalent`
// is the fit's wall time in those runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <string>

#include "model/fit_forms.h"

using namespace ammonite;

namespace {

const char* const kForms[] = {"baculites", "crioceratites", "ancyloceras", "hamites",
                              "turrilites", "didymoceras", "nipponites", "scaphites"};

void BM_FitGalleryForm(benchmark::State& state) {
    const std::string name = kForms[state.range(0)];
    state.SetLabel(name);
    fit_forms::TrueForm form;
    std::string error;
    if (!fit_forms::galleryForm(AMMONITE_GALLERY_DIR, name, form, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const fit_forms::Made made = fit_forms::makeSpecimen(form, 1000 + static_cast<unsigned>(name.size()));
    FitOptions options;
    options.beta = form.beta;
    // Baseline: the median of nine runs of the engine over the form's stages.
    std::vector<double> runs;
    for (int i = 0; i < 9; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        fit_forms::growForm(form);
        runs.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(runs.begin(), runs.end());
    const double oneRun = runs[4];
    FitResult fit;
    for (auto _ : state) {
        if (!FitSpecimen(made.specimen, options, fit, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["rms_mm"] = fit.rmsMm;
    state.counters["rms_pct_length"] = 100 * fit.rmsMm / made.lengthMm;
    state.counters["evaluations"] = fit.evaluations;
    state.counters["runs_equivalent"] = oneRun > 0 ? fit.seconds / oneRun : 0;
    state.counters["good"] = fit.verdict == FitVerdict::Good ? 1 : 0;
}
BENCHMARK(BM_FitGalleryForm)->DenseRange(0, 7)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

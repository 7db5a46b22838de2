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

// How often the fit recovers a known form: every gallery form and the
// three forms the recovery tests make, each from 16 specimens (the tests'
// seeds and 15 more), fitted as the tests fit them (12 knots, the default
// budget, β given). Counts the fits whose centre line lies within 2 % of the
// length of the true one, whose final density lies within 2 % and whose
// orientation within 5°, and the mean errors. One run takes minutes.
void BM_FitRecoveryRate(benchmark::State& state) {
    constexpr int kSpecimens = 16;
    int line = 0, density = 0, both = 0, orientation = 0, fits = 0;
    double lineSum = 0, densitySum = 0;
    for (auto _ : state) {
        for (int form = 0; form < 11; ++form) {
            fit_forms::TrueForm truth;
            std::string error;
            unsigned base = 0;
            if (form < 8) {
                if (!fit_forms::galleryForm(AMMONITE_GALLERY_DIR, kForms[form], truth, error)) {
                    state.SkipWithError(error.c_str());
                    return;
                }
                base = 1000 + static_cast<unsigned>(truth.name.size());
            } else {
                fit_forms::madeForm(form - 8, truth);
                base = 77 + static_cast<unsigned>(form - 8);
            }
            for (int k = 0; k < kSpecimens; ++k) {
                const fit_forms::Made made = fit_forms::makeSpecimen(truth, base + 100 * static_cast<unsigned>(k));
                FitOptions options;
                options.beta = truth.beta;
                options.knots = 12;
                FitResult fit;
                if (!FitSpecimen(made.specimen, options, fit, error)) {
                    state.SkipWithError(error.c_str());
                    return;
                }
                const fit_forms::Recovery r = fit_forms::recoveryOf(truth, made, fit);
                const double l = r.line, d = r.density, o = r.orientation;
                line += l < 0.02;
                density += d < 0.02;
                both += l < 0.02 && d < 0.02;
                orientation += o < 5;
                lineSum += l;
                densitySum += d;
                ++fits;
            }
        }
    }
    state.counters["fits"] = fits;
    state.counters["line_within_2pct"] = line;
    state.counters["density_within_2pct"] = density;
    state.counters["both_within_2pct"] = both;
    state.counters["orientation_within_5deg"] = orientation;
    state.counters["mean_line_pct"] = fits ? 100 * lineSum / fits : 0;
    state.counters["mean_density_pct"] = fits ? 100 * densitySum / fits : 0;
}
BENCHMARK(BM_FitRecoveryRate)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

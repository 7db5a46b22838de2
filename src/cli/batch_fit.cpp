#include "cli/batch_fit.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "core/numeric.h"
#include "model/growth.h"
#include "model/stage_results.h"

namespace ammonite::batch {

bool RunFit(Options& options, FitResult& result, std::string& error) {
    Specimen specimen;
    if (!ReadSpecimenFile(*options.fitPath, specimen, error)) return false;
    FitOptions fit;
    fit.knots = options.fitKnots;
    fit.beta = options.fitBeta;
    if (options.fitBudgetSeconds) fit.budgetSeconds = *options.fitBudgetSeconds;
    if (options.densities) fit.densities = *options.densities;
    double lastShown = -1;
    auto progress = [&](const FitProgress& p) {
        if (p.seconds - lastShown >= 1 && p.bestRmsMm > 0) {
            lastShown = p.seconds;
            std::fprintf(stderr, "fit: %d of %d engine runs, best RMS %.4g mm, %.1f s\n", p.evaluations, p.budget,
                         p.bestRmsMm, p.seconds);
        }
        return true;
    };
    if (!FitSpecimen(specimen, fit, result, error, progress)) {
        error = *options.fitPath + ": " + error;
        return false;
    }
    std::fprintf(stderr, "fit: %s (%d engine runs, %.1f s)\n", result.message.c_str(), result.evaluations,
                 result.seconds);

    // The fitted profiles, α and stage range replace the model's.
    auto profiles = std::make_shared<ModelState>();
    auto run = std::make_unique<RunState>();
    LoadModelDefaults(*profiles, *run);
    result.applyTo(*profiles);
    profiles->profileFileName.clear();
    options.profiles = profiles;
    // The fitted shell has the fitted stage count.
    options.stagesText = std::to_string(result.stages);
    return true;
}

std::string WithFitSummary(const std::string& summary, const FitResult& r) {
    std::ostringstream fit;
    fit << "fit_verdict=" << FitVerdictText(r.verdict) << '\n'
        << "fit_converged=" << (r.converged ? 1 : 0) << '\n'
        << "fit_rms_mm=" << NumberText(r.rmsMm) << '\n'
        << "fit_max_mm=" << NumberText(r.maxMm) << '\n'
        << "fit_radius_rms_mm=" << NumberText(r.radiusRmsMm) << '\n'
        << "fit_specimen_length_mm=" << NumberText(r.specimenLengthMm) << '\n'
        << "fit_alpha=" << NumberText(r.alpha) << '\n'
        << "fit_gamma=" << NumberText(r.gamma) << '\n'
        << "fit_beta=" << NumberText(r.beta) << '\n'
        << "fit_first_stage=" << r.firstStage << '\n'
        << "fit_last_stage=" << r.stages << '\n'
        << "fit_mm_per_unit=" << NumberText(r.mmPerUnit) << '\n'
        << "fit_transform=";
    for (size_t i = 0; i < r.transform.size(); ++i) fit << (i ? "," : "") << NumberText(r.transform[i]);
    fit << '\n' << "fit_final_density=" << NumberText(r.finalDensity) << '\n'
        << "fit_final_orientation=" << NumberText(r.finalOrientation) << '\n';
    // The generator line stays last.
    const std::string::size_type last = summary.rfind("generator=");
    if (last == std::string::npos) return summary + fit.str();
    return summary.substr(0, last) + fit.str() + summary.substr(last);
}

}  // namespace ammonite::batch

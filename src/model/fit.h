// Fitting the growth profiles to a measured specimen: the inverse of a run.
// The fit chooses α, the curvature and torsion profiles (control points at
// evenly spaced knots over the measured stretch), the step per stage (through
// γ, with β given or taken from the marked body chamber), the stage of the
// first measured point and a similarity transform (rotation, translation,
// millimetres per model unit), so that the centre line grown by the engine
// passes through the measured points and, where given, its radii match.
//
// Only the profile-driven stages (up to 200) take part; the regulation never
// runs in a fit. Every evaluation is a run of the engine itself, so the
// fitted profiles grow exactly the shell the fit saw.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/model_state.h"
#include "model/run_state.h"
#include "model/measured_points.h"

namespace ammonite {

constexpr int kMinFitKnots = 4;
constexpr int kMaxFitKnots = 12;
constexpr int kMaxFitStages = 200;    // the profile-driven stages
constexpr int kDefaultFitEvaluations = 12000;

struct FitOptions {
    int knots = 6;                        // control points per profile, 4..12
    std::optional<double> beta;           // body-chamber length in radii; else from the marks, else 12
    double budgetSeconds = 0;             // wall-clock limit (0: none)
    int maxEvaluations = kDefaultFitEvaluations;  // engine runs in all
    int threads = 0;                      // 0: all cores
    std::array<double, 2> densities{0.6, 1.3};  // air chamber, body chamber
    // Share of the stages grown before the first measured point: the young
    // shell that is missing cannot be measured, so it is given (0 when the
    // specimen is complete from the apex).
    double missingShare = 0.2;
};

// What the fit reports while it works; return false from the callback to
// cancel (the best result so far is kept).
struct FitProgress {
    int evaluations = 0;
    int budget = 0;
    double bestRmsMm = 0;    // of the best guess so far (mm)
    double seconds = 0;
};
using FitProgressCallback = std::function<bool(const FitProgress&)>;

// One measured point after the fit.
struct FitResidual {
    int row = 0;                 // row of the specimen file (or array)
    Vec3 measured;               // mm
    Vec3 fitted;                 // nearest point of the fitted centre line, mm
    double stage = 0;            // stage of that point (fractional)
    double distanceMm = 0;       // |measured − fitted|
    double radiusMm = 0;         // measured radius (NaN: none)
    double fittedRadiusMm = 0;   // model's radius there, mm
};

// The hydrostatics of the fitted shell at one stage.
struct FitStageRow {
    int stage = 0;
    double density = 0;          // g/cm³ (the densities are the model's inputs)
    double orientation = 0;      // degrees
    double stability = 0;
    double ptRatio = 0;
};

enum class FitVerdict { Good, Rough, Failed };
const char* FitVerdictText(FitVerdict verdict);

// Quality thresholds, as fractions of the specimen's length.
constexpr double kGoodRms = 0.01, kGoodMax = 0.03;
constexpr double kRoughRms = 0.03, kRoughMax = 0.08;

struct FitResult {
    // ---- what grows the fitted shell ----
    double alpha = 1.005;
    int stages = 0;                       // last stage grown (the aperture)
    double mmPerUnit = 1;
    double gamma = 4, beta = 12;
    ParameterProfile gammaProfile, curvatureProfile, torsionProfile, betaProfile;
    int firstStage = 0;                   // stage of the first measured point
    bool planar = false;                  // T = 0 throughout

    // ---- how it lies over the specimen ----
    std::array<double, 16> transform{};   // model units → mm, row-major 4 × 4
    std::vector<FitResidual> residuals;
    double rmsMm = 0, maxMm = 0;
    double radiusRmsMm = 0;               // of the measured radii (0 when none)
    double specimenLengthMm = 0;
    FitVerdict verdict = FitVerdict::Failed;
    bool converged = false;
    bool cancelled = false;
    std::string message;                  // one line: verdict, and why when not good

    // ---- hydrostatics of the fitted shell ----
    std::vector<FitStageRow> stagesTable; // stages 1..stages
    double finalDensity = 0, finalOrientation = 0;

    int evaluations = 0;
    double seconds = 0;

    // Sets the model's α, stage range, stage count and profiles to the fit's.
    void applyTo(ModelState& model) const;
    // Applies the transform to a point in model units, and its inverse to a
    // point of the specimen.
    Vec3 toSpecimen(const Vec3& model) const;
    Vec3 toModel(const Vec3& specimen) const;
};

// A fit's problem, ready to be started from any of its guesses (which may
// run in different threads or processes). Built by PrepareFit.
struct FitProblem;

// One starting guess and where the local search from it ended.
struct FitStartResult {
    int start = 0;
    std::vector<double> parameters;
    double cost = 0;
    int evaluations = 0;
    bool converged = false;
    // Where the knots of `parameters` lie: 0 evenly spaced over the stretch,
    // 1 gathered where the measured bending changes, 2 where a straight-
    // piece profile best follows the measured turning (a specimen in one
    // plane; set by refine).
    int layout = 0;
};

class FitSession {
public:
    // Checks the specimen and the options; false with a one-line `error`
    // (too many stages needed, knots outside 4..12, ...).
    bool prepare(const Specimen& specimen, const FitOptions& options, std::string& error);
    int startCount() const;
    // Runs the local search from guess `start` with at most `evaluations`
    // engine runs. Thread-safe; `cancel` stops it early.
    FitStartResult runStart(int start, int evaluations, const std::atomic<bool>* cancel = nullptr,
                            std::atomic<int>* counter = nullptr, double deadlineSeconds = 0) const;
    // Continues from a result with more evaluations. A result of the first
    // searches is continued on all the knots, once evenly spaced and once
    // where the measured bending changes, each with half the evaluations;
    // the better is returned (its `layout` says which). A specimen in one
    // plane is continued a third time, on knots placed where its measured
    // turning bends and from the curvature read from that turning, each
    // with a third of the evaluations; that result is kept only when it is
    // clearly the closest.
    FitStartResult refine(const FitStartResult& from, int evaluations, const std::atomic<bool>* cancel = nullptr,
                          std::atomic<int>* counter = nullptr, double deadlineSeconds = 0) const;
    // The parameters (all the knots, evenly spaced) that grow the given
    // profiles and α up to stage `stages`, read at the knots, with the
    // first measured point at the fit's share of the stages: a search can
    // start from a shell already known (a scenario, or a form a test made).
    // γ and β are read at the first measured point.
    FitStartResult startAt(const ModelState& model, int stages) const;
    // The result of a parameter vector: rounded to whole stages, grown once
    // more, laid over the specimen, with residuals and hydrostatics.
    FitResult finish(const FitStartResult& best) const;

    FitSession();
    ~FitSession();
    FitSession(FitSession&&) noexcept;
    FitSession& operator=(FitSession&&) noexcept;

private:
    static bool build(const Specimen& specimen, const FitOptions& options, std::unique_ptr<FitProblem>& out,
                      std::string& error);
    std::vector<double> onAllKnots(const std::vector<double>& parameters, int layout = 0) const;
    std::vector<double> withPlaces(const std::vector<double>& parameters, int layout) const;
    const FitProblem& full(int layout) const;
    std::unique_ptr<FitProblem> problem_;  // all the knots asked for, evenly spaced
    std::unique_ptr<FitProblem> measured_; // the same knots where the bending changes
    std::unique_ptr<FitProblem> turned_;   // knots where the measured turning bends (one plane only)
    std::unique_ptr<FitProblem> coarse_;   // the fewest knots, for the first searches
    std::unique_ptr<FitProblem> placed_;   // all the knots, their places searched too
};

// The whole fit on all cores (or options.threads): every guess searched
// locally, the best ones refined, stopped on the budget of evaluations or
// time or by the callback. Returns false with `error` when the specimen or
// the options are refused; a fit that does not converge returns true with
// result.converged false and says so in result.message.
bool FitSpecimen(const Specimen& specimen, const FitOptions& options, FitResult& result, std::string& error,
                 const FitProgressCallback& progress = nullptr);

// Writes the residuals as CSV (row, measured x/y/z, fitted x/y/z, stage,
// distance, radii) and the per-stage hydrostatics table.
std::string FitResidualsCsv(const FitResult& result);
std::string FitStagesCsv(const FitResult& result);

}  // namespace ammonite

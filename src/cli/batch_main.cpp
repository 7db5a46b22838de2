// ammonite-batch: runs the main window's model headless. The session
// (session/session.h) applies the options by the rules of the window's boxes
// and bars and presses START as the window does (session/start_rules.h),
// drawing on a 1000×760 image surface.
#include <atomic>
#include <clocale>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "cli/batch_fit.h"
#include "cli/batch_options.h"
#include "cli/batch_output.h"
#include "core/safe_file.h"
#include "core/version.h"
#include "model/stage_results.h"
#include "model/profile_file.h"
#include "model/scenario_file.h"
#include "session/scenario_session.h"
#include "render/display_list.h"
#include "render/mesh_files.h"
#include "render/svg_surface.h"
#include "picture/film_pictures.h"
#include "picture/headless_toolkit.h"
#include "picture/image_surface.h"
#include "picture/svg_text_style.h"

using namespace ammonite;

namespace {

constexpr int kSurfaceWidth = 1000;
constexpr int kSurfaceHeight = 760;

int badArgument(const std::string& message) {
    std::cerr << "ammonite-batch: " << message << '\n';
    return batch::kExitBadInput;
}

// An output that could not be written: its message, naming the option.
void writeFailed(const std::string& message, const char* option, bool& failed) {
    std::cerr << "ammonite-batch: " << message << " (" << option << ")\n";
    failed = true;
}

// A failed output outranks a runtime error: the results the user asked for
// are missing, whereas after a runtime error they are all there.
int exitStatus(bool runtimeError, bool writeFailure) {
    if (writeFailure) return batch::kExitWriteFailed;
    return runtimeError ? batch::kExitRuntimeError : batch::kExitDone;
}

// A grid of independent runs; the grid CSV goes to --sweep-out or standard
// output, the progress and the timing to standard error.
int runSweep(const batch::Options& options) {
    // The output file is checked before the points run, not after.
    std::optional<SafeFileWriter> file;
    if (options.sweepOut) {
        file.emplace(*options.sweepOut);
        if (!file->open()) {
            bool failed = false;
            writeFailed(file->error(), "--sweep-out", failed);
            return batch::kExitWriteFailed;
        }
    }
    // The rows go out in grid order as they are done; a grid is never held
    // whole. When the output fails, the points not yet started are skipped.
    std::atomic<bool> outputFailed{false};
    std::string stdoutError, stdoutPending;
    auto flushStdout = [&] {
        if (!outputFailed && !WriteStandardOutput(stdoutPending, stdoutError)) outputFailed = true;
        stdoutPending.clear();
    };
    auto writeOut = [&](const std::string& text) {
        if (outputFailed) return;
        if (file) {
            file->write(text);
            if (file->failed()) outputFailed = true;
        } else {
            stdoutPending += text;
            if (stdoutPending.size() >= 1 << 16) flushStdout();
        }
    };
    writeOut(SweepCsvHeader(options.sweeps));
    size_t points = 0;
    int stopped = 0;
    batch::SweepTiming timing;
    SweepControl control;
    control.jobs = options.jobs;
    control.progress = &std::cerr;
    control.cancel = &outputFailed;
    control.keepRows = false;
    control.rowInOrder = [&](size_t, const SweepRow& row) {
        ++points;
        if (!row.error.empty() && row.error != "cancelled") ++stopped;
        writeOut(SweepCsvRow(row));
    };
    RunSweep(options, options.sweeps, control, timing);
    if (!file) flushStdout();
    std::fprintf(stderr, "sweep: %zu points in %.3f s wall, %.3f s CPU, %d threads\n", points,
                 timing.wallSeconds, timing.cpuSeconds, timing.threads);
    if (stopped > 0) std::fprintf(stderr, "sweep: %d points stopped with a runtime error\n", stopped);

    bool failed = false;
    if (file) {
        if (!file->commit()) writeFailed(file->error(), "--sweep-out", failed);
    } else if (outputFailed) {
        writeFailed(stdoutError, "the sweep table", failed);
    }
    return exitStatus(stopped > 0, failed);
}

// The film of the grown shell, with its progress on standard error.
void recordFilm(const batch::Options& options, const std::vector<std::string>& args, const ModelState& model,
                const RunState& run, const std::string& scenarioToml, bool& failed) {
    const char* option = options.filmPath ? "--film" : "--film-frames";
    FilmPlan plan;
    std::string error;
    if (!plan.prepare(model, run, options.film, error)) {
        // A run that stopped leaves no shell to film: part of its runtime error, status 1.
        if (!run.hasRun) std::cerr << "ammonite-batch: " << error << " (" << option << ")\n";
        else writeFailed(error, option, failed);
        return;
    }
    std::string inputs = "ammonite-batch";
    for (const std::string& a : args) inputs += " " + a;
    FilmTarget target;
    target.file = options.filmPath;
    target.framesFolder = options.filmFrames;
    target.metadata = FilmMetadata(model, options.film, inputs, scenarioToml);
    FilmControl control;
    int shown = -1;
    control.progress = [&](int done, int total) {
        const int tenth = done * 10 / total;
        if (tenth == shown) return;
        shown = tenth;
        std::fprintf(stderr, "film: %d of %d frames\n", done, total);
    };
    FilmReport report;
    const FilmTools tools{MakeFilmPicture, EncodeFilmPng};
    const bool ok = RecordFilm(plan, target, tools, control, report, error);
    std::fprintf(stderr, "film: %d frames of %dx%d in %.3f s (%.1f frames/s, %d threads)\n", report.frames,
                 options.film.width, options.film.height, report.seconds,
                 report.seconds > 0 ? report.frames / report.seconds : 0.0, report.threads);
    if (!ok) writeFailed(error, option, failed);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    batch::Options options;
    std::string error;
    if (!batch::ParseArguments(args, options, error)) return badArgument(error);
    // --help and --version print their text and run nothing; --help wins.
    if (options.help || options.version) {
        const std::string text = options.help ? batch::UsageText() : std::string(kGenerator) + "\n";
        if (WriteStandardOutput(text, error)) return batch::kExitDone;
        std::cerr << "ammonite-batch: " << error << '\n';
        return batch::kExitWriteFailed;
    }

    // A bad profile data file is reported before anything else starts.
    if (options.profilesIn) {
        auto scratch = std::make_unique<ModelState>();
        if (!ReadProfileFile(*options.profilesIn, *scratch, error)) return badArgument(error);
    }
    // A scenario is grown from a fresh start with the options over it; the
    // results carry the effective scenario (when the inputs fit one).
    Scenario given;
    if (options.scenarioIn || options.scenarioFrom) {
        const bool read = options.scenarioIn ? ReadScenarioFile(*options.scenarioIn, given, error)
                                             : ReadScenarioFrom(*options.scenarioFrom, given, error);
        if (!read) return badArgument(error);
        static_cast<SessionOptions&>(options) = SessionOptionsOver(given, options, options.runsGiven);
        // A sweep paints nothing: a scenario's SHADE does not apply to its points.
        if (!options.sweeps.empty()) options.shade = false;
    }
    // A fit: the fitted profiles become the model's (and the scenario's); a
    // specimen the fit refuses is a bad input.
    std::optional<FitResult> fit;
    if (options.fitPath) {
        fit.emplace();
        if (!batch::RunFit(options, *fit, error)) return badArgument(error);
    }
    std::string scenarioToml;
    {
        Scenario effective;
        std::string why;
        if (ScenarioOfOptions(options, effective, why)) {
            // The scenario's texts name the shell; the options do not change them.
            effective.name = given.name;
            effective.heading = given.heading;
            effective.description = given.description;
            // How the shell lies over a specimen: the fit's, or the given
            // scenario's when its profiles are kept.
            const bool sameShell = effective.alpha == given.alpha && effective.finalStage == given.finalStage &&
                                   effective.gamma == given.gamma && effective.curvature == given.curvature &&
                                   effective.torsion == given.torsion && effective.beta == given.beta;
            effective.mmPerUnit = fit ? fit->mmPerUnit : sameShell ? given.mmPerUnit : 0;
            effective.firstMeasuredStage = fit ? fit->firstStage : sameShell ? given.firstMeasuredStage : 0;
            scenarioToml = ScenarioToml(effective);
        } else if (options.scenarioOut) {
            return badArgument("--save-scenario: " + why);
        }
    }
    if (options.scenarioOut) {
        std::string why;
        if (!WriteFileSafely(*options.scenarioOut, scenarioToml, why)) {
            bool failed = false;
            writeFailed(why, "--save-scenario", failed);
            return batch::kExitWriteFailed;
        }
    }

    // A sweep draws nothing: it needs no toolkit.
    if (!options.sweeps.empty()) return runSweep(options);

    // Text on the drawing needs the toolkit's fonts, but no screen.
    // The toolkit's own notes (no runtime folder, font lookups) are not
    // results of the run; only its serious messages reach standard error.
    StartHeadlessToolkit({"ammonite-batch", "ammonite-batch: "});
    // Given back when main returns, after the pictures below are gone.
    struct ToolkitEnd {
        ~ToolkitEnd() { EndHeadlessToolkit(); }
    } toolkitEnd;

    ImageSurface surface(kSurfaceWidth, kSurfaceHeight);
    surface.clear();
    Session session;
    session.surface = &surface;
    ModelState* model = session.model.get();
    const RunState& run = *session.run;
    // The vector picture is replayed from what the model draws.
    DisplayList drawing;
    if (options.svgPath) surface.setRecorder(&drawing);
    if (!PerformSession(options, session, {}, error)) return badArgument(error);
    const std::string& runtimeError = session.runtimeError;

    // Results, with whatever the actions reached; every output is tried even
    // when an earlier one failed.
    if (!runtimeError.empty()) std::cerr << "ammonite-batch: " << runtimeError << '\n';
    bool failed = false;
    auto writeText = [&](const std::optional<std::string>& path, const char* option,
                         const std::function<void(std::ostream&)>& body) {
        if (!path) return;
        std::string why;
        if (!WriteFileSafely(*path, body, why)) writeFailed(why, option, failed);
    };
    writeText(options.tablesPath, "--tables", [&](std::ostream& out) {
        WriteStageTables(out, *model, run, run.lastBuiltStage);
    });
    writeText(options.logPath, "--log", [&](std::ostream& out) { batch::WriteLog(out, session.log); });
    if (options.pngPath) {
        std::string why;
        if (!surface.savePng(*options.pngPath, why, scenarioToml)) writeFailed(why, "--png", failed);
    }
    if (options.svgPath) {
        std::string why;
        if (!WriteSvgFile(*options.svgPath, drawing, surface.width(), surface.height(), surface.backColour(),
                          SvgTextStyleFor(surface), why, SvgScenarioMetadata(scenarioToml)))
            writeFailed(why, "--svg", failed);
    }
    const std::pair<const std::optional<std::string>&, MeshFormat> meshes[] = {
        {options.stlPath, MeshFormat::Stl}, {options.plyPath, MeshFormat::Ply}, {options.objPath, MeshFormat::Obj}};
    for (const auto& [path, format] : meshes) {
        if (!path) continue;
        std::vector<std::string> written;
        std::string why;
        const std::string option = std::string("--") + MeshFormatExtension(format);
        if (ExportShellMesh(format, *path, *model, run, MeshOptions{options.meshScale, options.meshRingPoints},
                            written, why, scenarioToml))
            continue;
        if (!runtimeError.empty() && !run.hasRun) {
            // A run that stopped leaves no shell to export: part of its runtime error, status 1.
            std::cerr << "ammonite-batch: " << why << " (" << option << ")\n";
        } else {
            writeFailed(why, option.c_str(), failed);
        }
    }
    if (options.profilesOut) {
        std::string why;
        if (!WriteProfileFile(*options.profilesOut, *model, why)) writeFailed(why, "--save-profiles", failed);
    }
    if (options.filmPath || options.filmFrames) recordFilm(options, args, *model, run, scenarioToml, failed);
    if (fit) {
        writeText(options.fitOut, "--fit-out", [&](std::ostream& out) { out << FitResidualsCsv(*fit); });
    }
    std::ostringstream summaryStream;
    WriteSummary(summaryStream, session);
    const std::string summary = fit ? batch::WithFitSummary(summaryStream.str(), *fit) : summaryStream.str();
    if (options.summaryPath) {
        writeText(options.summaryPath, "--summary", [&](std::ostream& out) { out << summary; });
    } else {
        std::string why;
        if (!WriteStandardOutput(summary, why)) writeFailed(why, "the summary", failed);
    }
    return exitStatus(!runtimeError.empty(), failed);
}

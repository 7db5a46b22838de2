// ammonite-batch: runs the main window's model headless. It drives the very
// MainWindowLogic the window uses, on a 1000×760 image surface, with the
// options applied through the same controls a user would touch.
#include <clocale>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "cli/batch_options.h"
#include "cli/batch_output.h"
#include "model/stage_results.h"
#include "model/profile_file.h"
#include "render/display_list.h"
#include "render/mesh_files.h"
#include "render/svg_surface.h"
#include "ui/image_surface.h"
#include "ui/svg_text_style.h"

using namespace ammonite;

namespace {

constexpr int kSurfaceWidth = 1000;
constexpr int kSurfaceHeight = 760;

// The toolkit's own notes (no runtime folder, font lookups) are not results
// of the run; only its serious messages reach standard error.
void toolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "ammonite-batch: " << message.toStdString() << '\n';
}

int badArgument(const std::string& message) {
    std::cerr << "ammonite-batch: " << message << '\n';
    return 2;
}

// A grid of independent runs; the grid CSV goes to --sweep-out or standard
// output, the progress and the timing to standard error.
int runSweep(const batch::Options& options) {
    std::ofstream file;
    if (options.sweepOut) {
        file.open(*options.sweepOut, std::ios::binary | std::ios::trunc);
        if (!file) return badArgument("cannot write " + *options.sweepOut + " (--sweep-out)");
    }
    batch::SweepTiming timing;
    SweepControl control;
    control.jobs = options.jobs;
    control.progress = &std::cerr;
    const std::vector<SweepRow> rows = RunSweep(options, options.sweeps, control, timing);
    WriteSweepCsv(options.sweepOut ? static_cast<std::ostream&>(file) : std::cout, options.sweeps, rows);
    std::fprintf(stderr, "sweep: %zu points in %.3f s wall, %.3f s CPU, %d threads\n", rows.size(),
                 timing.wallSeconds, timing.cpuSeconds, timing.threads);
    int failed = 0;
    for (const SweepRow& row : rows) failed += row.error.empty() ? 0 : 1;
    if (failed > 0) std::fprintf(stderr, "sweep: %d points stopped with a runtime error\n", failed);
    if (options.sweepOut && !file.flush()) return badArgument("cannot write " + *options.sweepOut + " (--sweep-out)");
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    batch::Options options;
    std::string error;
    if (!batch::ParseArguments(args, options, error)) return badArgument(error);
    if (options.help) {
        std::cout << batch::UsageText();
        return 0;
    }

    // A bad profile data file is reported before anything else starts.
    if (options.profilesIn) {
        auto scratch = std::make_unique<ModelState>();
        if (!ReadProfileFile(*options.profilesIn, *scratch, error)) return badArgument(error);
    }

    // A sweep draws nothing: it needs no toolkit.
    if (!options.sweeps.empty()) return runSweep(options);

    // Text on the drawing needs the toolkit's fonts, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(toolkitMessage);
    int qtArgc = 1;
    char programName[] = "ammonite-batch";
    char* qtArgv[] = {programName, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    // The toolkit takes the user's locale; numbers keep '.' as their decimal sign.
    std::setlocale(LC_NUMERIC, "C");

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

    // Results, with whatever the actions reached.
    int status = 0;
    if (!runtimeError.empty()) {
        std::cerr << "ammonite-batch: " << runtimeError << '\n';
        status = 1;
    }
    auto openOut = [&](const std::string& path, const char* option, std::ofstream& out) {
        out.open(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            std::cerr << "ammonite-batch: cannot write " << path << " (" << option << ")\n";
            status = 2;
            return false;
        }
        return true;
    };
    if (options.tablesPath) {
        std::ofstream out;
        if (openOut(*options.tablesPath, "--tables", out)) WriteStageTables(out, *model, run, run.lastBuiltStage);
    }
    if (options.logPath) {
        std::ofstream out;
        if (openOut(*options.logPath, "--log", out)) batch::WriteLog(out, session.log);
    }
    if (options.pngPath && !surface.savePng(QString::fromStdString(*options.pngPath))) {
        std::cerr << "ammonite-batch: cannot write " << *options.pngPath << " (--png)\n";
        status = 2;
    }
    if (options.svgPath) {
        std::string svgError;
        if (!WriteSvgFile(*options.svgPath, drawing, surface.width(), surface.height(), surface.backColour(),
                          SvgTextStyleFor(surface), svgError)) {
            std::cerr << "ammonite-batch: " << svgError << " (--svg)\n";
            status = 2;
        }
    }
    const std::pair<const std::optional<std::string>&, MeshFormat> meshes[] = {
        {options.stlPath, MeshFormat::Stl}, {options.plyPath, MeshFormat::Ply}, {options.objPath, MeshFormat::Obj}};
    for (const auto& [path, format] : meshes) {
        if (!path) continue;
        std::vector<std::string> written;
        std::string meshError;
        if (!ExportShellMesh(format, *path, *model, run, MeshOptions{options.meshScale, options.meshRingPoints},
                             written, meshError)) {
            std::cerr << "ammonite-batch: " << meshError << " (--" << MeshFormatExtension(format) << ")\n";
            // A run that stopped on an error has its own status already.
            if (status == 0) status = 2;
        }
    }
    if (options.profilesOut) {
        std::string saveError;
        if (!WriteProfileFile(*options.profilesOut, *model, saveError)) {
            std::cerr << "ammonite-batch: " << saveError << " (--save-profiles)\n";
            status = 2;
        }
    }
    if (options.summaryPath) {
        std::ofstream out;
        if (openOut(*options.summaryPath, "--summary", out)) WriteSummary(out, session);
    } else {
        WriteSummary(std::cout, session);
    }
    return status;
}

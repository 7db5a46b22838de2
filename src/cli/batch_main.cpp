// ammonite-batch: runs the main window's model headless. It drives the very
// MainWindowLogic the window uses, on a 1000×760 image surface, with the
// options applied through the same controls a user would touch.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "cli/batch_options.h"
#include "cli/batch_output.h"
#include "model/log_sink.h"
#include "model/main_window_logic.h"
#include "profiles/profile_file.h"
#include "ui/image_surface.h"

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

    // Text on the drawing needs the toolkit's fonts, but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(toolkitMessage);
    int qtArgc = 1;
    char programName[] = "ammonite-batch";
    char* qtArgv[] = {programName, nullptr};
    QGuiApplication app(qtArgc, qtArgv);

    auto model = std::make_unique<ModelState>();
    ImageSurface surface(kSurfaceWidth, kSurfaceHeight);
    surface.clear();
    MemoryLog log;
    auto logic = std::make_unique<MainWindowLogic>(*model, surface, log);
    logic->Load();

    // A profile data file, read before the first run as the profile window
    // loads it (the final stage also becomes the stage count); a bad file
    // changes nothing and stops here.
    if (options.profilesIn) {
        std::string loadError;
        if (!ReadProfileFile(*options.profilesIn, *model, loadError)) return badArgument(loadError);
    }

    // Settings, straight into the model as the settings window would write them.
    if (options.view) model->viewVector = {(*options.view)[0], (*options.view)[1], (*options.view)[2]};
    if (options.light) model->lightVector = {(*options.light)[0], (*options.light)[1], (*options.light)[2]};
    if (options.origin) {
        model->originX = (*options.origin)[0];
        model->originY = (*options.origin)[1];
    }
    if (options.densities) {
        model->densities[0] = (*options.densities)[0];
        model->densities[1] = (*options.densities)[1];
    }
    if (options.orientation) model->orientationMode = *options.orientation ? 2 : 0;
    if (options.ribbing) model->ribbingOn = *options.ribbing ? 1 : 0;

    // User actions; the first runtime error ends them, as it would end the
    // user's session at the window.
    std::string runtimeError;
    auto act = [&](const auto& action) {
        if (!runtimeError.empty()) return;
        action();
        runtimeError = logic->statusLine.caption();
    };
    if (options.stagesText) act([&] { logic->TypeStages(*options.stagesText); });
    if (options.scaleText) act([&] { logic->TypeScale(*options.scaleText); });
    if (options.thresholds && runtimeError.empty()) {
        ScrollBarModel* bars[4] = {&logic->ST1hsc, &logic->ST2hsc, &logic->FT1vsc, &logic->FT2vsc};
        for (int i = 0; i < 4; ++i) {
            logic->MoveBar(*bars[i], (*options.thresholds)[static_cast<size_t>(i)]);
            // The bar's value is stored before it redraws the chart; before
            // any run that redraw has no radii to plot and stops.
            if (!logic->run.hasRun) logic->statusLine.setCaption("");
            runtimeError = logic->statusLine.caption();
            if (!runtimeError.empty()) break;
        }
    }
    for (int k = 0; k < options.runs; ++k) act([&] { logic->ClickStart(); });
    if (options.shade) act([&] { logic->ClickShade(); });

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
        if (openOut(*options.tablesPath, "--tables", out)) WriteStageTables(out, *logic, logic->run.lastBuiltStage);
    }
    if (options.logPath) {
        std::ofstream out;
        if (openOut(*options.logPath, "--log", out)) batch::WriteLog(out, log.lines);
    }
    if (options.pngPath && !surface.savePng(QString::fromStdString(*options.pngPath))) {
        std::cerr << "ammonite-batch: cannot write " << *options.pngPath << " (--png)\n";
        status = 2;
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
        if (openOut(*options.summaryPath, "--summary", out)) batch::WriteSummary(out, *logic);
    } else {
        batch::WriteSummary(std::cout, *logic);
    }
    return status;
}

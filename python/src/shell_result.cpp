#include "model/scenario_file.h"
#include "shell_result.h"

#include <clocale>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>

#include "core/safe_file.h"
#include "model/profile_file.h"
#include "model/stage_results.h"
#include "render/svg_surface.h"
#include "picture/svg_text_style.h"

namespace ammonite::python {

namespace {

// The toolkit's own notes (no runtime folder, font lookups) are no results;
// only its serious messages reach standard error.
void toolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "ammonite: " << message.toStdString() << '\n';
}

}  // namespace

void EnsureToolkit() {
    static std::once_flag started;
    std::call_once(started, [] {
        if (QCoreApplication::instance()) return;  // the host program has its own
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(toolkitMessage);
        // The toolkit takes the user's locale for every category; the
        // interpreter's own settings (and '.' as the decimal sign) come back.
        const char* current = std::setlocale(LC_ALL, nullptr);
        const std::string saved = current ? current : "C";
        static int argc = 1;
        static char name[] = "ammonite";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);  // lives as long as the process
        std::setlocale(LC_ALL, saved.c_str());
        std::setlocale(LC_NUMERIC, "C");
    });
}

bool ShellResult::grow(const SessionOptions& options, std::string& error) {
    surface_ = std::make_unique<ImageSurface>(kPictureWidth, kPictureHeight);
    surface_->clear();
    surface_->setRecorder(&drawing_);
    session_.surface = surface_.get();
    return PerformSession(options, session_, {}, error);
}

std::string ShellResult::tablesCsv() const {
    std::ostringstream out;
    WriteStageTables(out, *session_.model, *session_.run, session_.run->lastBuiltStage);
    return out.str();
}

std::string ShellResult::summaryText() const {
    std::ostringstream out;
    WriteSummary(out, session_);
    return out.str();
}

std::vector<std::string> ShellResult::logLines() const {
    std::vector<std::string> lines;
    for (const auto& items : session_.log) {
        std::ostringstream line;
        WriteLog(line, {items});
        std::string text = line.str();
        text.pop_back();  // the line end
        lines.push_back(text);
    }
    return lines;
}

std::vector<unsigned char> ShellResult::pictureRgb() const {
    const QImage& image = surface_->image();
    std::vector<unsigned char> rgb(static_cast<size_t>(image.width()) * image.height() * 3);
    size_t k = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            rgb[k++] = static_cast<unsigned char>(qRed(row[x]));
            rgb[k++] = static_cast<unsigned char>(qGreen(row[x]));
            rgb[k++] = static_cast<unsigned char>(qBlue(row[x]));
        }
    }
    return rgb;
}

std::string ShellResult::pictureAsPng() const {
    std::string bytes, error;
    surface_->encodePng(bytes, error);
    return scenarioToml_.empty() ? bytes : PngWithScenario(bytes, scenarioToml_);
}

const ModelState& ShellResult::modelWithRibbing(std::optional<bool> ribbing, std::unique_ptr<ModelState>& copy) const {
    const ModelState& model = *session_.model;
    if (!ribbing || (model.ribbingOn == 1) == *ribbing) return model;
    copy = std::make_unique<ModelState>(model);
    copy->ribbingOn = *ribbing ? 1 : 0;
    return *copy;
}

bool ShellResult::mesh(const MeshOptions& options, std::optional<bool> ribbing, ShellMesh& out,
                       std::string& error) const {
    std::unique_ptr<ModelState> copy;
    return BuildShellMesh(modelWithRibbing(ribbing, copy), *session_.run, options, out, error);
}

std::string ShellResult::profileFileBytes() const { return FormatProfileFile(*session_.model); }

bool ShellResult::savePng(const std::string& path, std::string& error) const {
    return surface_->savePng(path, error, scenarioToml_);
}

bool ShellResult::saveSvg(const std::string& path, std::string& error) const {
    return WriteSvgFile(path, drawing_, surface_->width(), surface_->height(), surface_->backColour(),
                        SvgTextStyleFor(*surface_), error, SvgScenarioMetadata(scenarioToml_));
}

bool ShellResult::saveTables(const std::string& path, std::string& error) const {
    return WriteFileSafely(path, tablesCsv(), error);
}

bool ShellResult::saveMesh(MeshFormat format, const std::string& path, const MeshOptions& options,
                           std::optional<bool> ribbing, std::vector<std::string>& written, std::string& error) const {
    std::unique_ptr<ModelState> copy;
    return ExportShellMesh(format, path, modelWithRibbing(ribbing, copy), *session_.run, options, written, error,
                           scenarioToml_);
}

}  // namespace ammonite::python

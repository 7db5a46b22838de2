// One grown shell as the Python package holds it: the headless session of
// the main window, the picture it drew (pixels and the drawing calls that made
// them) and the files the batch tool would write from it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/session.h"
#include "render/display_list.h"
#include "render/mesh_files.h"
#include "render/shell_mesh.h"
#include "picture/image_surface.h"

namespace ammonite::python {

// Size of the main window's picture.
constexpr int kPictureWidth = 1000;
constexpr int kPictureHeight = 760;

// Texts on the picture are drawn with the toolkit's fonts: starts the
// toolkit once per process, without a screen, keeping the caller's locale.
void EnsureToolkit();

class ShellResult {
public:
    // Grows the shell as `ammonite-batch` with the same options would. False
    // (with `error`) only for a bad profile data file; a runtime error of the
    // model is kept in runtimeError() and the results hold what it reached.
    bool grow(const SessionOptions& options, std::string& error);
    // The scenario the shell was grown from (a scenario file's text), which
    // the PNG, the SVG and the mesh sidecar then carry.
    void setScenarioToml(std::string toml) { scenarioToml_ = std::move(toml); }
    // Asked before every START of grow(); true stops the runs there.
    void setCancelCheck(std::function<bool()> check) { session_.cancelRequested = std::move(check); }

    const std::string& runtimeError() const { return session_.runtimeError; }
    std::string tablesCsv() const;
    std::string summaryText() const;
    std::vector<std::string> logLines() const;
    // Pixels as rows of R, G, B bytes.
    std::vector<unsigned char> pictureRgb() const;
    // The picture encoded as the PNG file savePng writes (for notebooks).
    std::string pictureAsPng() const;
    // What the regulation decided at each regulated stage of the last START.
    const std::vector<RegulationEvent>& events() const { return session_.events; }
    // The shell's closed objects; false with a one-line reason. `ribbing`
    // swells the ribs or not whatever the shell was grown with (the
    // hydrostatics always measure the smooth tube); none keeps its setting.
    bool mesh(const MeshOptions& options, std::optional<bool> ribbing, ShellMesh& out, std::string& error) const;
    // The profile data file of the model after the runs.
    std::string profileFileBytes() const;

    // Writers, every one through the safe writer; false with a one-line error
    // naming the file. `written` receives every path written.
    bool savePng(const std::string& path, std::string& error) const;
    bool saveSvg(const std::string& path, std::string& error) const;
    bool saveTables(const std::string& path, std::string& error) const;
    bool saveMesh(MeshFormat format, const std::string& path, const MeshOptions& options, std::optional<bool> ribbing,
                  std::vector<std::string>& written, std::string& error) const;

    // The grown model and its run, for films.
    const Session& session() const { return session_; }

private:
    // The model with its ribbing switch as asked, or the model itself.
    const ModelState& modelWithRibbing(std::optional<bool> ribbing, std::unique_ptr<ModelState>& copy) const;

    Session session_;
    std::unique_ptr<ImageSurface> surface_;
    DisplayList drawing_;
    std::string scenarioToml_;
};

}  // namespace ammonite::python

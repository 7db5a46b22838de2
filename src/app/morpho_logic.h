// The morphospace window without the toolkit: two swept inputs over the
// model as it stands, the grid of grown shells the sweep fills in, the map of
// one result with its colour bar, the neutral-buoyancy contour, the cells that
// stopped on a runtime error, hover texts, and a click that opens the cell's
// shell in the main window. The sweep itself is the engine's (session/sweep.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_logic.h"
#include "model/scenario.h"
#include "session/sweep.h"
#include "render/morpho_map.h"
#include "render/surface.h"
#include "render/svg_surface.h"

namespace ammonite {

// The results a map can show.
enum class MorphoResult { MeanDensity, OrientationAngle, PtRatio, StabilityIndex, Ribs };
constexpr int kMorphoResultCount = 5;

// "Final mean density" ... as the result list shows them.
std::string MorphoResultCaption(MorphoResult result);
// "g/cm³", "°", "%", "" (a ratio), "ribs".
std::string MorphoResultUnit(MorphoResult result);
// The result of a finished point in the unit above (P/T as a percentage).
double MorphoResultValue(const SweepRow& row, MorphoResult result);

// The inputs an axis can sweep, in the order the lists show them.
std::vector<std::string> MorphoAxisNames();
// A range worth a first look for each input: FROM and TO as texts.
void MorphoDefaultRange(const std::string& name, std::string& from, std::string& to);

// An axis as typed into the window's boxes.
struct MorphoAxisTexts {
    std::string name, from, to, steps;
};

// At most this many steps per axis: every cell stays a few pixels wide.
constexpr int kMorphoMaxSteps = 200;

// Marching squares over a grid of values at the cell centres (x outermost,
// as a two-axis sweep orders its points); a NaN value leaves its squares out.
std::vector<ContourSegment> TraceContour(const std::vector<double>& values, int xSteps, int ySteps, double level);

class MorphoLogic {
public:
    enum class CellState { Pending, Done, Error, NotRun };

    explicit MorphoLogic(MainWindowLogic& main);

    // ---- axes ----
    // Reads the two axes from their boxes; false with a message naming the
    // box at fault, and the axes of the map stay as they were.
    bool SetAxes(const MorphoAxisTexts& x, const MorphoAxisTexts& y, std::string& error);
    const std::vector<SweepAxis>& axes() const { return axes_; }
    int xSteps() const { return axes_.empty() ? 0 : axes_[0].steps; }
    int ySteps() const { return axes_.size() < 2 ? 0 : axes_[1].steps; }

    // Every input the axes do not sweep, as the model and the main window's
    // controls stand now.
    SessionOptions CurrentOptions() const;

    // ---- the grid, as the sweep fills it ----
    void BeginRun();                                  // every cell pending
    void PointDone(size_t index, const SweepRow& row);
    // The sweep has returned: cells it skipped become "not run".
    void RunFinished(const std::vector<SweepRow>& rows);
    size_t cellCount() const { return rows_.size(); }
    size_t finishedCount() const { return finished_; }
    CellState cellState(size_t index) const { return states_.at(index); }
    const SweepRow& row(size_t index) const { return rows_.at(index); }
    size_t CellIndex(int ix, int iy) const { return static_cast<size_t>(ix) * static_cast<size_t>(ySteps()) + iy; }

    // ---- the map ----
    void SetResult(MorphoResult result) { result_ = result; }
    MorphoResult result() const { return result_; }
    // Range of the shown result over the finished cells; false when none.
    bool ResultRange(double& lo, double& hi) const;
    // Colour of a value within lo..hi on the map's scale.
    static Rgb ScaleColour(double value, double lo, double hi);
    // Colour of a cell as the map paints it.
    Rgb CellColour(size_t index) const;
    std::vector<ContourSegment> NeutralBuoyancyContour() const;

    // The map drawn whole onto a surface of any size: cells, axes, colour
    // bar, contour, error marks, the current model's point, the legend
    // (what to show; render draws it).
    void Draw(DrawingSurface& surface) const;
    // Picture rectangle of the cells on a surface of that size.
    void MapRect(int width, int height, double& left, double& top, double& right, double& bottom) const;
    // The cell under a picture point; false outside the cells.
    bool CellAt(int width, int height, int x, int y, size_t& index) const;
    // Centre of a cell in picture units.
    void CellCentre(int width, int height, size_t index, double& x, double& y) const;
    // What the window shows for the picture point under the mouse ("" off the cells).
    std::string HoverText(int width, int height, int x, int y) const;
    std::string CellText(size_t index) const;

    // The current model's point in cell coordinates; false when one of the
    // swept inputs is not a single value there (a profile that is not
    // constant) or lies off the map.
    bool CurrentPoint(double& fx, double& fy) const;

    // ---- taking a cell back to the main window ----
    // Sets the cell's inputs in the model as a sweep point sets them, then
    // presses START through the main window. False when an input could not
    // be set (the main window's status line says why).
    bool OpenCell(size_t index);
    bool ClickAt(int width, int height, int x, int y);
    // Pressed after a cell's inputs are set; the main window's own START by default.
    std::function<void()> pressStart;
    // Where the main window keeps its scenario. When set, the map grows every
    // cell from the window's scenario with the cell's values, and a cell
    // opens that very scenario in the main window from a fresh start, so the
    // shell it shows is the cell's whatever the window grew before.
    std::function<bool(Scenario& out, std::string& error)> currentScenario;
    std::function<void(const Scenario&)> openScenario;

    // ---- take-away files, through the program's safe writer ----
    // The grid as the batch tool's --sweep-out table; cells not run say "cancelled".
    bool SaveCsv(const std::string& path, std::string& error) const;
    bool SaveSvg(const std::string& path, int width, int height, const SvgTextStyle& text, std::string& error) const;

private:
    double CurrentValue(const SweepAxis& axis, bool& known) const;
    Rgb CellColour(size_t index, double lo, double hi) const;

    MainWindowLogic& main_;
    std::vector<SweepAxis> axes_;
    std::vector<SweepRow> rows_;
    std::optional<Scenario> base_;  // the window's scenario the last sweep grew its cells from
    std::vector<CellState> states_;
    size_t finished_ = 0;
    MorphoResult result_ = MorphoResult::MeanDensity;
    std::string runStageText_;  // the stage box's count the last sweep grew every cell to
};

}  // namespace ammonite

#include "app/morpho_logic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "core/numeric.h"
#include "core/safe_file.h"
#include "session/option_table.h"
#include "session/scenario_session.h"

namespace ammonite {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string resultText(double v, MorphoResult result) {
    switch (result) {
    case MorphoResult::Ribs: return std::to_string(std::lround(v));
    case MorphoResult::MeanDensity: return formatDecimals(v, 4);
    case MorphoResult::OrientationAngle:
    case MorphoResult::PtRatio: return formatDecimals(v, 1);
    case MorphoResult::StabilityIndex: return formatDecimals(v, 3);
    }
    return formatNumber(v);
}

// The text after the "--sweep 'NAME=...': " that a batch option's message starts with.
std::string withoutOptionPrefix(const std::string& message) {
    const auto cut = message.find("': ");
    return message.rfind("--sweep '", 0) == 0 && cut != std::string::npos ? message.substr(cut + 3) : message;
}

}  // namespace

std::string MorphoResultCaption(MorphoResult result) {
    switch (result) {
    case MorphoResult::MeanDensity: return "Final mean density";
    case MorphoResult::OrientationAngle: return "Orientation angle";
    case MorphoResult::PtRatio: return "P/T ratio";
    case MorphoResult::StabilityIndex: return "Stability index";
    case MorphoResult::Ribs: return "Number of ribs";
    }
    return {};
}

std::string MorphoResultUnit(MorphoResult result) {
    switch (result) {
    case MorphoResult::MeanDensity: return "g/cm³";
    case MorphoResult::OrientationAngle: return "°";
    case MorphoResult::PtRatio: return "%";
    case MorphoResult::StabilityIndex: return "";
    case MorphoResult::Ribs: return "ribs";
    }
    return {};
}

double MorphoResultValue(const SweepRow& row, MorphoResult result) {
    switch (result) {
    case MorphoResult::MeanDensity: return row.meanDensity;
    case MorphoResult::OrientationAngle: return row.orientationAngle;
    case MorphoResult::PtRatio: return 100 * row.ptRatio;
    case MorphoResult::StabilityIndex: return row.stabilityIndex;
    case MorphoResult::Ribs: return row.ribs;
    }
    return 0;
}

std::vector<std::string> MorphoAxisNames() {
    std::vector<std::string> out;
    for (const OptionEntry* input : MorphoMenuInputs()) out.push_back(input->name);
    return out;
}

void MorphoDefaultRange(const std::string& name, std::string& from, std::string& to) {
    // Every input of the sweep offers a first range around the default shell.
    if (const OptionEntry* input = FindOption(name, kSweepInput)) {
        from = input->menuFrom;
        to = input->menuTo;
    }
}

std::vector<ContourSegment> TraceContour(const std::vector<double>& values, int xSteps, int ySteps, double level) {
    std::vector<ContourSegment> out;
    auto at = [&](int i, int j) { return values[static_cast<size_t>(i) * ySteps + j]; };
    for (int i = 0; i + 1 < xSteps; ++i) {
        for (int j = 0; j + 1 < ySteps; ++j) {
            // Corners counter-clockwise from (i, j).
            const std::array<double, 4> v = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            const std::array<double, 4> cx = {double(i), double(i + 1), double(i + 1), double(i)};
            const std::array<double, 4> cy = {double(j), double(j), double(j + 1), double(j + 1)};
            if (std::any_of(v.begin(), v.end(), [](double d) { return std::isnan(d); })) continue;
            // Crossing on edge k, between corner k and corner k+1.
            std::array<bool, 4> crosses{};
            std::array<double, 4> px{}, py{};
            int count = 0;
            for (int k = 0; k < 4; ++k) {
                const int n = (k + 1) % 4;
                if ((v[k] >= level) == (v[n] >= level)) continue;
                const double t = (level - v[k]) / (v[n] - v[k]);
                px[k] = cx[k] + t * (cx[n] - cx[k]);
                py[k] = cy[k] + t * (cy[n] - cy[k]);
                crosses[k] = true;
                ++count;
            }
            auto add = [&](int a, int b) { out.push_back({px[a], py[a], px[b], py[b]}); };
            if (count == 2) {
                int a = -1, b = -1;
                for (int k = 0; k < 4; ++k)
                    if (crosses[k]) (a < 0 ? a : b) = k;
                add(a, b);
            } else if (count == 4) {
                // A saddle: the mean of the corners decides which pair of
                // opposite corners the level joins.
                const bool centreHigh = (v[0] + v[1] + v[2] + v[3]) / 4 >= level;
                if (centreHigh == (v[0] >= level)) {
                    add(0, 1);  // corner 0 joins corner 2: cut off corners 1 and 3
                    add(2, 3);
                } else {
                    add(3, 0);
                    add(1, 2);
                }
            }
        }
    }
    return out;
}

MorphoLogic::MorphoLogic(MainWindowLogic& main) : main_(main) {
    pressStart = [this] { main_.ClickStart(); };
}

bool MorphoLogic::SetAxes(const MorphoAxisTexts& x, const MorphoAxisTexts& y, std::string& error) {
    std::vector<SweepAxis> axes;
    for (const auto& [side, texts] : {std::pair<const char*, const MorphoAxisTexts&>{"X", x}, {"Y", y}}) {
        const std::string box = side;
        const std::pair<const char*, const std::string*> numbers[] = {
            {"FROM", &texts.from}, {"TO", &texts.to}, {"STEPS", &texts.steps}};
        for (const auto& [caption, text] : numbers) {
            double v = 0;
            if (!tryParseWholeNumber(*text, v)) {
                error = box + " " + caption + ": '" + *text + "' is not a number";
                return false;
            }
        }
        double steps = 0;
        tryParseWholeNumber(texts.steps, steps);
        if (steps != std::floor(steps) || steps < 1 || steps > kMorphoMaxSteps) {
            error = box + " STEPS: '" + texts.steps + "' is not a whole number from 1 to " +
                    std::to_string(kMorphoMaxSteps);
            return false;
        }
        SweepAxis axis;
        std::string why;
        if (!ParseSweepAxis(texts.name + "=" + texts.from + ":" + texts.to + ":" + texts.steps, axis, why)) {
            error = box + " axis: " + withoutOptionPrefix(why);
            return false;
        }
        axes.push_back(axis);
    }
    if (axes[0].name == axes[1].name) {
        error = "X and Y both sweep " + axes[0].name + ": choose two different inputs";
        return false;
    }
    axes_ = axes;
    rows_.clear();
    states_.clear();
    finished_ = 0;
    return true;
}

SessionOptions MorphoLogic::CurrentOptions() const {
    if (base_) {
        SessionOptions o = SessionOptionsFor(*base_);
        o.shade = false;  // a map is of wireframe results
        return o;
    }
    const ModelState& m = main_.model;
    SessionOptions o;
    // The profiles, α and the stage range as they stand; the stage box as
    // typed (a count below 1 runs one stage, as START clamps it).
    o.profiles = std::make_shared<ModelState>(m);
    o.stagesText = std::to_string(std::max<int>(1, m.shownStage));
    o.scaleText = main_.SCLtxt.text();
    o.view = std::array<double, 3>{m.viewVector.x, m.viewVector.y, m.viewVector.z};
    o.light = std::array<double, 3>{m.lightVector.x, m.lightVector.y, m.lightVector.z};
    o.origin = std::array<double, 2>{m.originX, m.originY};
    o.densities = m.densities;
    o.orientation = main_.document.lifeOrientation();
    o.ribbing = main_.document.ribbing();
    o.thresholds = std::array<int, 4>{main_.ST1hsc.value(), main_.ST2hsc.value(), main_.FT1vsc.value(),
                                      main_.FT2vsc.value()};
    return o;
}

void MorphoLogic::BeginRun() {
    // Every cell grows to the stage count the boxes hold now; a cell opened
    // later is grown to it again, whatever the cell opened before it left.
    runStageText_ = std::to_string(std::max<int>(1, main_.model.shownStage));
    base_.reset();
    Scenario scenario;
    std::string error;
    if (currentScenario && currentScenario(scenario, error)) base_ = scenario;
    const size_t n = static_cast<size_t>(SweepPointCount(axes_));
    rows_.assign(n, SweepRow{});
    for (size_t p = 0; p < n; ++p) rows_[p].values = SweepPointValues(axes_, p);
    states_.assign(n, CellState::Pending);
    finished_ = 0;
}

void MorphoLogic::PointDone(size_t index, const SweepRow& row) {
    if (index >= rows_.size()) return;
    if (states_[index] == CellState::Pending) ++finished_;
    rows_[index] = row;
    states_[index] = row.error.empty() ? CellState::Done : CellState::Error;
}

void MorphoLogic::RunFinished(const std::vector<SweepRow>& rows) {
    for (size_t p = 0; p < rows.size() && p < rows_.size(); ++p) {
        if (rows[p].computed) {
            PointDone(p, rows[p]);
        } else if (states_[p] == CellState::Pending) {
            rows_[p] = rows[p];
            states_[p] = CellState::NotRun;
        }
    }
}

bool MorphoLogic::ResultRange(double& lo, double& hi) const {
    bool any = false;
    for (size_t p = 0; p < rows_.size(); ++p) {
        if (states_[p] != CellState::Done) continue;
        const double v = MorphoResultValue(rows_[p], result_);
        if (!std::isfinite(v)) continue;
        if (!any) lo = hi = v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        any = true;
    }
    return any;
}

Rgb MorphoLogic::ScaleColour(double value, double lo, double hi) { return MorphoScaleColour(value, lo, hi); }

Rgb MorphoLogic::CellColour(size_t index) const {
    double lo = 0, hi = 0;
    ResultRange(lo, hi);
    return CellColour(index, lo, hi);
}

Rgb MorphoLogic::CellColour(size_t index, double lo, double hi) const {
    switch (states_.at(index)) {
    case CellState::Pending: return kMorphoPendingColour;
    case CellState::NotRun: return kMorphoNotRunColour;
    case CellState::Error: return kMorphoStoppedColour;
    case CellState::Done: break;
    }
    return ScaleColour(MorphoResultValue(rows_[index], result_), lo, hi);
}

std::vector<ContourSegment> MorphoLogic::NeutralBuoyancyContour() const {
    if (axes_.size() < 2 || rows_.empty()) return {};
    std::vector<double> density(rows_.size(), kNaN);
    for (size_t p = 0; p < rows_.size(); ++p)
        if (states_[p] == CellState::Done) density[p] = rows_[p].meanDensity;
    return TraceContour(density, xSteps(), ySteps(), kSeaWaterDensity);
}

void MorphoLogic::MapRect(int width, int height, double& left, double& top, double& right, double& bottom) const {
    MorphoMapRect(width, height, left, top, right, bottom);
}

bool MorphoLogic::CellAt(int width, int height, int x, int y, size_t& index) const {
    if (axes_.size() < 2 || rows_.empty()) return false;
    double l, t, r, b;
    MapRect(width, height, l, t, r, b);
    const double px = x + 0.5, py = y + 0.5;  // the middle of the pixel
    if (px < l || px >= r || py < t || py >= b) return false;
    const int ix = std::min(xSteps() - 1, static_cast<int>((px - l) / (r - l) * xSteps()));
    const int iy = std::min(ySteps() - 1, static_cast<int>((b - py) / (b - t) * ySteps()));
    index = CellIndex(ix, iy);
    return true;
}

void MorphoLogic::CellCentre(int width, int height, size_t index, double& x, double& y) const {
    double l, t, r, b;
    MapRect(width, height, l, t, r, b);
    const int ix = static_cast<int>(index / static_cast<size_t>(ySteps()));
    const int iy = static_cast<int>(index % static_cast<size_t>(ySteps()));
    x = l + (ix + 0.5) * (r - l) / xSteps();
    y = b - (iy + 0.5) * (b - t) / ySteps();
}

std::string MorphoLogic::CellText(size_t index) const {
    const SweepRow& row = rows_.at(index);
    std::string out;
    for (size_t k = 0; k < axes_.size(); ++k) out += (k ? ", " : "") + axes_[k].name + " = " + MorphoValueText(row.values[k]);
    out += "\n";
    switch (states_[index]) {
    case CellState::Pending: return out + "not grown yet";
    case CellState::NotRun: return out + "not grown: the sweep was cancelled";
    case CellState::Error: return out + "stopped: " + row.error;
    case CellState::Done: break;
    }
    return out + "mean density " + formatDecimals(row.meanDensity, 4) + " g/cm³, orientation " +
           formatDecimals(row.orientationAngle, 2) + "°, P/T " + formatDecimals(100 * row.ptRatio, 1) +
           " %, stability " + formatDecimals(row.stabilityIndex, 3) + ", " + std::to_string(row.ribs) + " ribs, " +
           std::to_string(row.shownStage) + " stages";
}

std::string MorphoLogic::HoverText(int width, int height, int x, int y) const {
    size_t index = 0;
    return CellAt(width, height, x, y, index) ? CellText(index) : std::string();
}

double MorphoLogic::CurrentValue(const SweepAxis& axis, bool& known) const {
    const ModelState& m = main_.model;
    known = true;
    auto constant = [&](const ParameterProfile& p) {
        for (int k = 1; k <= p.count; ++k)
            if (p.values[static_cast<size_t>(k)] != p.values[0]) known = false;
        return p.values[0];
    };
    switch (axis.target) {
    case SweepTarget::None: break;
    case SweepTarget::Stages: return m.shownStage;
    case SweepTarget::Alpha: {
        // A run past stage 200 leaves the regulation's α in the model; the
        // shell on the map is the one grown from the α before it.
        const auto& last = main_.lastStart();
        if (last && m.alpha == last->alphaLeft) return last->inputs.alpha;
        return m.alpha;
    }
    case SweepTarget::DensityAir: return m.densities[0];
    case SweepTarget::DensityBody: return m.densities[1];
    case SweepTarget::St1: return main_.ST1hsc.value();
    case SweepTarget::St2: return main_.ST2hsc.value();
    case SweepTarget::Ft1: return main_.FT1vsc.value();
    case SweepTarget::Ft2: return main_.FT2vsc.value();
    case SweepTarget::Gamma: return constant(m.gammaProfile);
    case SweepTarget::Curvature: return constant(m.curvatureProfile);
    case SweepTarget::Torsion: return constant(m.torsionProfile);
    case SweepTarget::Beta: return constant(m.betaProfile);
    }
    known = false;
    return 0;
}

bool MorphoLogic::CurrentPoint(double& fx, double& fy) const {
    if (axes_.size() < 2) return false;
    double* out[2] = {&fx, &fy};
    for (size_t k = 0; k < 2; ++k) {
        const SweepAxis& a = axes_[k];
        bool known = false;
        const double v = CurrentValue(a, known);
        if (!known) return false;
        double f = 0;
        if (a.steps > 1 && a.to != a.from)
            f = (v - a.from) / (a.to - a.from) * (a.steps - 1);
        else if (std::fabs(v - a.from) > 1e-9 * std::max(1.0, std::fabs(a.from)))
            return false;
        // Within half a cell of the grid.
        if (!(f >= -0.5 && f <= a.steps - 0.5)) return false;
        *out[k] = f;
    }
    return true;
}

bool MorphoLogic::OpenCell(size_t index) {
    if (index >= rows_.size()) return false;
    const SweepRow& row = rows_[index];
    if (base_ && openScenario) {
        // The sweep's scenario with the cell's values; a swept profile is constant.
        std::vector<std::pair<std::string, ScenarioValue>> values;
        for (size_t k = 0; k < axes_.size() && k < row.values.size(); ++k) {
            const SweepTarget t = axes_[k].target;
            const bool profile = t == SweepTarget::Gamma || t == SweepTarget::Curvature ||
                                 t == SweepTarget::Torsion || t == SweepTarget::Beta;
            const ScenarioValue v = ScenarioValue::ofFloat(row.values[k]);
            values.emplace_back(axes_[k].name,
                                profile ? ScenarioValue::ofList({ScenarioValue::ofList({ScenarioValue::ofInteger(0), v})})
                                        : v);
        }
        Scenario cell = *base_;
        std::string error;
        if (!ApplyScenarioValues(values, cell, error)) {
            main_.statusLine.setCaption(error);
            return false;
        }
        openScenario(cell);
        return true;
    }
    bool ok = true;
    std::optional<double> alpha;
    bool stagesSwept = false;
    for (const SweepAxis& a : axes_) stagesSwept = stagesSwept || a.target == SweepTarget::Stages;
    if (!stagesSwept && !runStageText_.empty())
        ok = main_.Guard([&] { main_.NUMtxt.setText(runStageText_); });
    // A bar moved before any run cannot redraw the regulation chart; the bar
    // has taken its position all the same, as a sweep point's bar does.
    auto moveBar = [&](ScrollBarModel& bar, double value) {
        return main_.Guard([&] { bar.setValue(static_cast<int>(std::lround(value))); }) || !main_.run.hasRun;
    };
    for (size_t k = 0; k < axes_.size() && ok; ++k) {
        const SweepValue v{axes_[k].target, row.values[k]};
        switch (v.target) {
        case SweepTarget::Stages:
            ok = main_.Guard([&] { main_.NUMtxt.setText(std::to_string(std::lround(v.value))); });
            break;
        case SweepTarget::St1: ok = moveBar(main_.ST1hsc, v.value); break;
        case SweepTarget::St2: ok = moveBar(main_.ST2hsc, v.value); break;
        case SweepTarget::Ft1: ok = moveBar(main_.FT1vsc, v.value); break;
        case SweepTarget::Ft2: ok = moveBar(main_.FT2vsc, v.value); break;
        case SweepTarget::Alpha: alpha = v.value; break;  // set last, just before START
        default: SetSweepModelInput(main_.document, v, this); break;
        }
    }
    if (!ok) return false;
    if (alpha) SetSweepModelInput(main_.document, SweepValue{SweepTarget::Alpha, *alpha}, this);
    if (pressStart) pressStart();
    return true;
}

bool MorphoLogic::ClickAt(int width, int height, int x, int y) {
    size_t index = 0;
    return CellAt(width, height, x, y, index) && OpenCell(index);
}

void MorphoLogic::Draw(DrawingSurface& s) const {
    MorphoMap map;
    const std::string unit = MorphoResultUnit(result_);
    map.unit = unit;
    map.title = MorphoResultCaption(result_) + (unit.empty() || unit == "ribs" ? "" : " (" + unit + ")");
    if (axes_.size() >= 2 && !rows_.empty()) {
        for (const SweepAxis& a : axes_) map.axes.push_back({a.name, a.from, a.to, a.steps, a.valueAt(0)});
        map.hasRange = ResultRange(map.lo, map.hi);
        map.cells.reserve(rows_.size());
        for (size_t p = 0; p < rows_.size(); ++p)
            map.cells.push_back({CellColour(p, map.lo, map.hi), states_[p] == CellState::Error});
        map.valueLabel = [result = result_](double v) { return resultText(v, result); };
        map.seaWaterLine = result_ == MorphoResult::MeanDensity;
        map.contour = NeutralBuoyancyContour();
        double fx = 0, fy = 0;
        if (CurrentPoint(fx, fy)) map.current = std::make_pair(fx, fy);
    }
    DrawMorphoMap(s, map);
}

bool MorphoLogic::SaveCsv(const std::string& path, std::string& error) const {
    if (rows_.empty()) {
        error = "Nothing to export yet: press RUN first";
        return false;
    }
    std::vector<SweepRow> rows = rows_;
    for (size_t p = 0; p < rows.size(); ++p)
        if (states_[p] == CellState::Pending || states_[p] == CellState::NotRun) rows[p].error = "cancelled";
    return WriteFileSafely(path, [&](std::ostream& out) { WriteSweepCsv(out, axes_, rows); }, error);
}

bool MorphoLogic::SaveSvg(const std::string& path, int width, int height, const SvgTextStyle& text,
                          std::string& error) const {
    if (rows_.empty()) {
        error = "Nothing to export yet: press RUN first";
        return false;
    }
    return WriteFileSafely(
        path,
        [&](std::ostream& out) {
            SvgSurface svg(out, width, height, text);
            Draw(svg);
            svg.finish();
        },
        error);
}

}  // namespace ammonite

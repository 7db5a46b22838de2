// The chart of the four growth profiles (γ, C, T, β) over the stages: the
// persistent background (grid, axes, ticks, labels) and, over it, the
// profiles, the profile being edited with its points, and the final-stage
// marker. The profile window edits what it shows; this draws it.
#pragma once

#include <array>
#include <string>

#include "model/model_state.h"
#include "render/chart_layers.h"

namespace ammonite {

class ProfileChart {
public:
    // Colours.
    static constexpr Rgb kProfileColours[4] = {{100, 100, 250}, {250, 100, 100}, {100, 250, 100}, {250, 200, 100}};
    static constexpr Rgb kDarkColours[4] = {{50, 50, 150}, {150, 50, 50}, {50, 150, 50}, {150, 100, 50}};
    static constexpr Rgb kAxisColour{100, 100, 150};
    static constexpr Rgb kLabelColour{150, 150, 200};
    static constexpr Rgb kGridColour{255, 255, 255};
    static constexpr Rgb kNameColour{0, 0, 0};
    static constexpr Rgb kMarkerColour{150, 50, 50};
    static constexpr Rgb kEditedAxisColour{50, 50, 50};
    static constexpr Rgb kChartBackColour{222, 222, 230};

    // ---- geometry ----
    double chartLeft = 21;
    // Stages per chart unit: 2 shows stages 0..1958 on the 1001 units of the
    // classic chart; the window sets 4 and widens the chart so that the
    // whole range 0..4000 shows.
    double stagesPerUnit = 2;
    double chartBaseline = 400;
    double gammaScale = 40;
    double curvatureScale = 200;
    double torsionScale = 200;
    double betaScale = 20;
    // The colour of the axis lines drawn next (the edited profile's axis is dark).
    Rgb axisLineColour = kAxisColour;

    double stageToX(double stage) const { return chartLeft + stage / stagesPerUnit; }
    double xToStage(double x) const { return stagesPerUnit * (x - chartLeft); }
    // Profile index 0..3 = γ, C, T, β.
    double valueToY(int profile, double value) const;
    double yToValue(int profile, double y) const;
    // A number as the chart prints it: ".93" form, a blank before it unless
    // it is negative, and a blank after it.
    static std::string numberText(double v);

    // ---- drawing ----
    // The background layer whole; drawing then goes on over it.
    void drawBackground(ChartLayers& chart);
    void drawStageGrid(ChartLayers& chart);
    void drawValueGrid(ChartLayers& chart);
    void drawCurvatureTorsionAxis(ChartLayers& chart);
    void drawBetaAxis(ChartLayers& chart);
    void drawGammaAxis(ChartLayers& chart);
    // The four profiles over a cleared overlay; `edited` (0..3, or -1) is
    // drawn two units wide.
    void drawProfiles(ChartLayers& chart, const std::array<const ParameterProfile*, 4>& profiles, int edited) const;
    // One profile in its dark colour with a ring at each point, and a larger
    // ring at `selected` (-1: none).
    void drawEditedProfile(ChartLayers& chart, int profile, const ParameterProfile& points, int selected) const;
    void drawMarker(ChartLayers& chart, double stage) const;
};

}  // namespace ammonite

// The chart of the profile window: the persistent background (grid, axes,
// ticks, labels) and the profiles drawn over it.
#include <algorithm>

#include "app/profile_window_logic.h"

namespace ammonite {

namespace {
const char* const kProfileNames[4] = {" \xCE\xB3", " C", " T", " \xCE\xB2"};  // " γ", " C", " T", " β"
}  // namespace

// A number as the chart prints it: ".93" form, a blank before it unless it is
// negative, and a blank after it.
std::string ProfileWindowLogic::numberText(double v) const {
    return (v < 0 ? "" : " ") + formatNoLeadingZero(v) + " ";
}

double ProfileWindowLogic::valueToY(int p, double v) const {
    switch (p) {
        case 0: return chartBaseline - gammaScale * (v - 1);
        case 1: return chartBaseline - curvatureScale * v;
        case 2: return chartBaseline - torsionScale * v;
        default: return chartBaseline - betaScale * v;
    }
}

double ProfileWindowLogic::yToValue(int p, double y) const {
    switch (p) {
        case 0: return 1 + (chartBaseline - y) / gammaScale;
        case 1: return (chartBaseline - y) / curvatureScale;
        case 2: return (chartBaseline - y) / torsionScale;
        default: return (chartBaseline - y) / betaScale;
    }
}

ParameterProfile& ProfileWindowLogic::profile(int index) {
    switch (index) {
        case 0: return model.gammaProfile;
        case 1: return model.curvatureProfile;
        case 2: return model.torsionProfile;
        case 3: return model.betaProfile;
        default: throwOutOfRange("no profile " + std::to_string(index));
    }
}

void ProfileWindowLogic::DrawChartBackground() {
    chart.useBackground();
    chart.setBackColour(kChartBackColour);
    chart.clear();
    chart.setDrawWidth(1);
    chart.setForeColour(kLabelColour);
    chart.line(chartLeft, chartBaseline, chartLeft + 1200, chartBaseline, kAxisColour);
    axisLineColour = kAxisColour;
    DrawStageGrid();
    DrawValueGrid();
    DrawCurvatureTorsionAxis();
    DrawBetaAxis();
    DrawGammaAxis();
    chart.useOverlay();
}

void ProfileWindowLogic::DrawStageGrid() {
    for (int k = 0; k <= 1000; k += 100) {
        chart.line(chartLeft + k, chartBaseline - 400, chartLeft + k, chartBaseline + 200, kGridColour);
        chart.point(chartLeft + k, chartBaseline + 2, axisLineColour);
        // The stage of the grid line in α's powers, as the chart's first
        // scale (2 stages a unit) numbers them.
        chart.print("\xCE\xB1^" + numberText(k * stagesPerUnit / 2), true);  // "α^"
    }
    chart.print(" [log(R)]");
}

void ProfileWindowLogic::DrawValueGrid() {
    for (int k = -200; k <= 400; k += 20)
        chart.line(chartLeft, chartBaseline - k, chartLeft + 1200, chartBaseline - k, kGridColour);
    chart.line(chartLeft, chartBaseline, chartLeft + 1200, chartBaseline, axisLineColour);
}

void ProfileWindowLogic::DrawCurvatureTorsionAxis() {
    for (int k = -200; k <= 400; k += 20) {
        chart.point(chartLeft + 2, chartBaseline - k, kAxisColour);
        // A white point at the left edge moves the text position there.
        chart.point(chartLeft - 20, chartBaseline - k, kGridColour);
        chart.print(numberText(k / curvatureScale), true);
    }
    chart.print("  [C,T]");
    chart.line(chartLeft, chartBaseline + 200, chartLeft, chartBaseline - 400, axisLineColour);
}

void ProfileWindowLogic::DrawBetaAxis() {
    for (int k = 20; k <= 400; k += 20) {
        chart.point(chartLeft + 698, chartBaseline - k, kAxisColour);
        chart.print(numberText(k / betaScale), true);
    }
    chart.print("  [\xCE\xB2]");
    chart.line(chartLeft + 700, chartBaseline + 200, chartLeft + 700, chartBaseline - 400, axisLineColour);
}

void ProfileWindowLogic::DrawGammaAxis() {
    for (int k = 20; k <= 400; k += 20) {
        chart.point(chartLeft + 598, chartBaseline - k, kAxisColour);
        chart.print(numberText(k / gammaScale + 1), true);
    }
    chart.print(" [\xCE\xB3]");
    chart.line(chartLeft + 600, chartBaseline + 200, chartLeft + 600, chartBaseline - 400, axisLineColour);
}

void ProfileWindowLogic::DrawProfiles() {
    chart.clear();
    chart.setForeColour(kNameColour);
    for (int p = 0; p < 4; ++p) {
        const ParameterProfile& prof = profile(p);
        chart.setDrawWidth(editMode == p + 1 ? 2 : 1);
        int n = std::min<int>(prof.count, ParameterProfile::kMaxCount);
        for (int j = 1; j <= n; ++j)
            chart.line(stageToX(prof.stages[j - 1]), valueToY(p, prof.values[j - 1]), stageToX(prof.stages[j]),
                       valueToY(p, prof.values[j]), kProfileColours[p]);
        chart.print(kProfileNames[p]);
    }
    setAlphaControls(editMode == kFinalStage);
    chart.setDrawWidth(1);
}

void ProfileWindowLogic::DrawEditedProfile(bool withSelection) {
    if (!editingPoints()) return;
    int p = editMode - 1;
    const ParameterProfile& prof = profile(p);
    int n = std::min<int>(prof.count, ParameterProfile::kMaxCount);
    chart.setDrawWidth(1);
    for (int j = 1; j <= n; ++j)
        chart.line(stageToX(prof.stages[j - 1]), valueToY(p, prof.values[j - 1]), stageToX(prof.stages[j]),
                   valueToY(p, prof.values[j]), kDarkColours[p]);
    for (int i = 0; i <= n; ++i) chart.circle(stageToX(prof.stages[i]), valueToY(p, prof.values[i]), 3, kDarkColours[p]);
    if (withSelection && selectedPoint >= 0 && selectedPoint <= n &&
        (selectedPoint != kNoPoint || n == ParameterProfile::kMaxCount))
        chart.circle(stageToX(prof.stages[selectedPoint]), valueToY(p, prof.values[selectedPoint]), 5, kAxisColour);
}

void ProfileWindowLogic::DrawMarker(double stage) {
    double x = stageToX(stage);
    chart.line(x, chartBaseline - 200, x, chartBaseline + 160, kMarkerColour);
    chart.print(numberText(stage));
}

}  // namespace ammonite

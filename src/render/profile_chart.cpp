#include "render/profile_chart.h"

#include <algorithm>

#include "core/numeric.h"

namespace ammonite {

namespace {
const char* const kProfileNames[4] = {" \xCE\xB3", " C", " T", " \xCE\xB2"};  // " γ", " C", " T", " β"
}  // namespace

// A number as the chart prints it: ".93" form, a blank before it unless it is
// negative, and a blank after it.
std::string ProfileChart::numberText(double v) {
    return (v < 0 ? "" : " ") + formatNoLeadingZero(v) + " ";
}

double ProfileChart::valueToY(int p, double v) const {
    switch (p) {
        case 0: return chartBaseline - gammaScale * (v - 1);
        case 1: return chartBaseline - curvatureScale * v;
        case 2: return chartBaseline - torsionScale * v;
        default: return chartBaseline - betaScale * v;
    }
}

double ProfileChart::yToValue(int p, double y) const {
    switch (p) {
        case 0: return 1 + (chartBaseline - y) / gammaScale;
        case 1: return (chartBaseline - y) / curvatureScale;
        case 2: return (chartBaseline - y) / torsionScale;
        default: return (chartBaseline - y) / betaScale;
    }
}

void ProfileChart::drawBackground(ChartLayers& chart) {
    chart.useBackground();
    chart.setBackColour(kChartBackColour);
    chart.clear();
    chart.setDrawWidth(1);
    chart.setForeColour(kLabelColour);
    chart.line(chartLeft, chartBaseline, chartLeft + 1200, chartBaseline, kAxisColour);
    axisLineColour = kAxisColour;
    drawStageGrid(chart);
    drawValueGrid(chart);
    drawCurvatureTorsionAxis(chart);
    drawBetaAxis(chart);
    drawGammaAxis(chart);
    chart.useOverlay();
}

void ProfileChart::drawStageGrid(ChartLayers& chart) {
    for (int k = 0; k <= 1000; k += 100) {
        chart.line(chartLeft + k, chartBaseline - 400, chartLeft + k, chartBaseline + 200, kGridColour);
        chart.point(chartLeft + k, chartBaseline + 2, axisLineColour);
        // The stage of the grid line in α's powers, as the chart's first
        // scale (2 stages a unit) numbers them.
        chart.print("\xCE\xB1^" + numberText(k * stagesPerUnit / 2), true);  // "α^"
    }
    chart.print(" [log(R)]");
}

void ProfileChart::drawValueGrid(ChartLayers& chart) {
    for (int k = -200; k <= 400; k += 20)
        chart.line(chartLeft, chartBaseline - k, chartLeft + 1200, chartBaseline - k, kGridColour);
    chart.line(chartLeft, chartBaseline, chartLeft + 1200, chartBaseline, axisLineColour);
}

void ProfileChart::drawCurvatureTorsionAxis(ChartLayers& chart) {
    for (int k = -200; k <= 400; k += 20) {
        chart.point(chartLeft + 2, chartBaseline - k, kAxisColour);
        // A white point at the left edge moves the text position there.
        chart.point(chartLeft - 20, chartBaseline - k, kGridColour);
        chart.print(numberText(k / curvatureScale), true);
    }
    chart.print("  [C,T]");
    chart.line(chartLeft, chartBaseline + 200, chartLeft, chartBaseline - 400, axisLineColour);
}

void ProfileChart::drawBetaAxis(ChartLayers& chart) {
    for (int k = 20; k <= 400; k += 20) {
        chart.point(chartLeft + 698, chartBaseline - k, kAxisColour);
        chart.print(numberText(k / betaScale), true);
    }
    chart.print("  [\xCE\xB2]");
    chart.line(chartLeft + 700, chartBaseline + 200, chartLeft + 700, chartBaseline - 400, axisLineColour);
}

void ProfileChart::drawGammaAxis(ChartLayers& chart) {
    for (int k = 20; k <= 400; k += 20) {
        chart.point(chartLeft + 598, chartBaseline - k, kAxisColour);
        chart.print(numberText(k / gammaScale + 1), true);
    }
    chart.print(" [\xCE\xB3]");
    chart.line(chartLeft + 600, chartBaseline + 200, chartLeft + 600, chartBaseline - 400, axisLineColour);
}

void ProfileChart::drawProfiles(ChartLayers& chart, const std::array<const ParameterProfile*, 4>& profiles,
                                int edited) const {
    chart.clear();
    chart.setForeColour(kNameColour);
    for (int p = 0; p < 4; ++p) {
        const ParameterProfile& prof = *profiles[static_cast<size_t>(p)];
        chart.setDrawWidth(edited == p ? 2 : 1);
        int n = std::min<int>(prof.count, ParameterProfile::kMaxCount);
        for (int j = 1; j <= n; ++j)
            chart.line(stageToX(prof.stages[j - 1]), valueToY(p, prof.values[j - 1]), stageToX(prof.stages[j]),
                       valueToY(p, prof.values[j]), kProfileColours[p]);
        chart.print(kProfileNames[p]);
    }
    chart.setDrawWidth(1);
}

void ProfileChart::drawEditedProfile(ChartLayers& chart, int p, const ParameterProfile& prof, int selected) const {
    int n = std::min<int>(prof.count, ParameterProfile::kMaxCount);
    chart.setDrawWidth(1);
    for (int j = 1; j <= n; ++j)
        chart.line(stageToX(prof.stages[j - 1]), valueToY(p, prof.values[j - 1]), stageToX(prof.stages[j]),
                   valueToY(p, prof.values[j]), kDarkColours[p]);
    for (int i = 0; i <= n; ++i) chart.circle(stageToX(prof.stages[i]), valueToY(p, prof.values[i]), 3, kDarkColours[p]);
    if (selected >= 0 && selected <= n)
        chart.circle(stageToX(prof.stages[selected]), valueToY(p, prof.values[selected]), 5, kAxisColour);
}

void ProfileChart::drawMarker(ChartLayers& chart, double stage) const {
    double x = stageToX(stage);
    chart.line(x, chartBaseline - 200, x, chartBaseline + 160, kMarkerColour);
    chart.print(numberText(stage));
}

}  // namespace ammonite

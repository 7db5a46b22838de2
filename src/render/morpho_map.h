// The morphospace map as a picture: the grid of cells coloured by one
// result, the axes and their ticks, the colour bar with the sea-water level,
// the neutral-buoyancy contour, the cells that stopped on a runtime error, the
// current model's point and the legend. The window logic says what to show;
// this draws it on any surface (the window's raster, an SVG file).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "render/surface.h"

namespace ammonite {

// A piece of a contour line in cell coordinates: cell (i, j) has its centre at
// (i, j), the x axis first.
struct ContourSegment {
    double x1, y1, x2, y2;
};

// One swept input along an axis of the map: `steps` values from `from` to `to`.
struct MorphoMapAxis {
    std::string name;
    double from = 0, to = 0;
    int steps = 1;
    double first = 0;  // the value of the first cell (a whole number for a count)
};

// Cells not finished: waiting, not grown (the sweep was cancelled), stopped.
constexpr Rgb kMorphoPendingColour{236, 236, 236};
constexpr Rgb kMorphoNotRunColour{250, 250, 250};
constexpr Rgb kMorphoStoppedColour{120, 120, 120};

struct MorphoMapCell {
    Rgb colour;
    bool stopped = false;  // stopped on a runtime error: crossed out
};

struct MorphoMap {
    std::string title;  // the result and its unit
    std::string unit;   // heads the colour bar ("" for a ratio)
    // x first; with fewer than two, the map asks for its inputs.
    std::vector<MorphoMapAxis> axes;
    std::vector<MorphoMapCell> cells;  // x outermost, as the sweep orders its points
    bool hasRange = false;             // some cell is finished: the colour bar shows lo..hi
    double lo = 0, hi = 0;
    std::function<std::string(double)> valueLabel;  // a colour bar label
    bool seaWaterLine = false;                      // the bar shows mean densities
    std::vector<ContourSegment> contour;            // neutral buoyancy
    std::optional<std::pair<double, double>> current;  // the current model, in cell coordinates
};

// Picture rectangle of the cells on a surface of that size.
void MorphoMapRect(int width, int height, double& left, double& top, double& right, double& bottom);
// Colour of a value within lo..hi on the map's scale.
Rgb MorphoScaleColour(double value, double lo, double hi);
// Short text of an axis value or a scale label.
std::string MorphoValueText(double v);
// The map drawn whole onto a surface of any size.
void DrawMorphoMap(DrawingSurface& surface, const MorphoMap& map);

}  // namespace ammonite

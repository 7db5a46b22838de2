// The chart's two layers: a persistent background image and the picture that
// is shown. While the background is the current layer, drawing goes into the
// background; otherwise it goes onto the shown picture as an overlay, and
// clearing the overlay brings the background back untouched. Colours, line
// width and the text position belong to the chart, not to a layer.
#pragma once

#include <functional>

#include "render/surface.h"

namespace ammonite {

class ChartLayers : public DrawingSurface {
public:
    // Both rasters must have the same size; `shown` is what the user sees.
    ChartLayers(RasterSurface& background, RasterSurface& shown);

    int width() const override { return shown_.width(); }
    int height() const override { return shown_.height(); }

    // Drawing goes into the persistent background.
    void useBackground() { toBackground_ = true; }
    // Drawing goes onto the shown picture, which now shows the background.
    void useOverlay();
    bool drawingToBackground() const { return toBackground_; }

    RasterSurface& background() { return background_; }
    RasterSurface& shown() { return shown_; }

protected:
    void doClear(Rgb colour) override;
    void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) override;
    void doPoint(double x, double y, Rgb colour, int width) override;
    void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) override;
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    RasterSurface& target() { return toBackground_ ? background_ : shown_; }
    void showBackground();

    RasterSurface& background_;
    RasterSurface& shown_;
    bool toBackground_ = false;
};

}  // namespace ammonite

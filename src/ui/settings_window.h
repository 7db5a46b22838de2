// The settings window "SETTING": densities, growth increment, scale, origin,
// view and light directions, switches and the preview. The behaviour lives in
// SettingsWindowLogic; this class lays out the toolkit's controls and binds
// them to it.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <QPointer>
#include <QRect>
#include <QWidget>

#include "model/model_state.h"
#include "app/settings_logic.h"
#include "picture/image_surface.h"

class QLabel;
class QTimer;

namespace ammonite {

class SurfaceView;

// An image surface that takes drawing units and draws them scaled, so the
// preview's 800 × 600 units fit the small picture box with crisp lines.
class ScaledImageSurface : public ImageSurface {
public:
    ScaledImageSurface(int pixelWidth, int pixelHeight, double unitsWide, double unitsHigh);
    double scaleX() const { return sx_; }
    double scaleY() const { return sy_; }

protected:
    void doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) override;
    void doPoint(double x, double y, Rgb colour, int width) override;
    void doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) override;
    void doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                double& lineHeight) override;

private:
    double sx_, sy_;
};

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    // The client area: 10800 × 6090 twips at 15 twips a pixel.
    static constexpr int kWidth = 720;
    static constexpr int kHeight = 406;

    SettingsWindow(ModelState& model, QWidget* mainWindow);
    ~SettingsWindow() override;

    SettingsWindowLogic& logic() { return *logic_; }
    ScaledImageSurface& previewSurface() { return preview_; }
    SurfaceView* previewView() { return previewView_; }
    // Draws the preview again at `resolution` device pixels per pixel of its box.
    void paintPreviewAt(double resolution);
    // Pixels of the preview's box per pixel of the design's box: 1 at the
    // design size, more as the window is enlarged.
    double previewGrowth() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Paints the preview again at the screen's pixel ratio when that changed.
    void fitResolution();
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    // Gives the preview the room the page has beyond the design size and
    // moves the controls right of it and below it along.
    void layoutPage();
    void mirrorScaleToMainWindow();

    ModelState& model_;
    QPointer<QWidget> mainWindow_;
    ScaledImageSurface preview_;
    std::unique_ptr<SettingsWindowLogic> logic_;
    SurfaceView* previewView_ = nullptr;
    QWidget* page_ = nullptr;
    QTimer* resolutionTimer_ = nullptr;
    // Every control of the page at its place in the design.
    std::vector<std::pair<QWidget*, QRect>> designPlaces_;
    bool closing_ = false;
};

}  // namespace ammonite

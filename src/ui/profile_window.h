// The profile window "CHART": the chart of the four profiles and α
// (GRAPHpct), the two coordinate boxes, the α scroll bar and its caption, the
// parameter buttons, "Point Del.", "OK", "D-Load" with its file list and
// "D-save". The behaviour lives in ProfileWindowLogic; this class lays out
// the controls and forwards their events.
#pragma once

#include <functional>
#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include "model/model_document.h"
#include "render/chart_layers.h"
#include "app/profile_window_logic.h"
#include "picture/image_surface.h"
#include "ui/surface_view.h"

namespace ammonite {

class ProfileWindow : public QWidget {
    Q_OBJECT
public:
    // GRAPHpct, widened from 1001 units so that stages 0..4000 show.
    // (and 100 more so that the last stage label, "[log(R)]" and a marker's
    // number at stage 4000 are not cut off).
    static constexpr int kChartWidth = 1141;
    static constexpr int kChartHeight = 665;
    // The page the controls lie on, at the chart's own size; the button row
    // and the status line take kBelowChart under the chart.
    static constexpr int kPageWidth = kChartWidth + 16;
    static constexpr int kBelowChart = 57;
    static constexpr int kPageHeight = kChartHeight + 8 + kBelowChart;
    // The least page: the chart at half its size, the button row whole.
    static constexpr int kMinPageWidth = 910;
    static constexpr int kMinPageHeight = kChartHeight / 2 + 8 + kBelowChart;

    ProfileWindow(ModelDocument& document, QWidget* mainWindow);
    ~ProfileWindow() override;

    ProfileWindowLogic& logic() { return *logic_; }
    SurfaceView* chartView() { return view_; }
    // The picture the user sees and the persistent background under it.
    ImageSurface& chartImage() { return shown_; }
    ImageSurface& chartBackground() { return background_; }
    // Draws the chart again from the model at `resolution` device pixels per unit.
    void paintChartAt(double resolution);

    // Asked before "D-save" replaces a file that exists; a test can answer
    // in the user's place. Empty: a message box asks.
    std::function<bool(const QString& path)> confirmOverwrite;

signals:
    // The model's stage range changed here (final stage, undo, a loaded file).
    void stagesChanged();

protected:
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void refreshFileList();
    // Paints the chart again at the screen's pixel ratio when that changed.
    void fitResolution();
    // Places the chart and the controls on the page for its size.
    void layoutPage();
    void returnToMainWindow();

    ModelDocument& document_;
    ModelState& model_;
    QWidget* mainWindow_;
    ImageSurface background_;
    ImageSurface shown_;
    ChartLayers layers_;
    std::unique_ptr<ProfileWindowLogic> logic_;
    SurfaceView* view_ = nullptr;
    QScrollBar* alphaBar_ = nullptr;
    QPushButton* alphaCaption_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
    QTimer* resolutionTimer_ = nullptr;
    QWidget* page_ = nullptr;
    bool closing_ = false;  // set while the window is destroyed
};

}  // namespace ammonite

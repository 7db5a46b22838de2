// The profile window "CHART": the chart of the four profiles and α
// (GRAPHpct), the two coordinate boxes, the α scroll bar and its caption, the
// parameter buttons, "Point Del.", "OK", "D-Load" with its file list and
// "D-save". The behaviour lives in ProfileWindowLogic; this class lays out
// the controls and forwards their events.
#pragma once

#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include "model/model_state.h"
#include "render/chart_layers.h"
#include "app/profile_window_logic.h"
#include "ui/image_surface.h"
#include "ui/surface_view.h"

namespace ammonite {

class ProfileWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kChartWidth = 1001;
    static constexpr int kChartHeight = 665;

    ProfileWindow(ModelState& model, QWidget* mainWindow);
    ~ProfileWindow() override;

    ProfileWindowLogic& logic() { return *logic_; }
    SurfaceView* chartView() { return view_; }
    // The picture the user sees and the persistent background under it.
    ImageSurface& chartImage() { return shown_; }
    ImageSurface& chartBackground() { return background_; }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void refreshFileList();
    void returnToMainWindow();

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
    bool closing_ = false;  // set while the window is destroyed
};

}  // namespace ammonite

// The VIEW window: the last run's shell, shaded in 3D, turned with the
// mouse; the stage slider; the readout of the stage shown; and the Live
// switch, which regrows the shell in the background whenever the model's
// inputs change (and, with "update main window", presses START in the main
// window once the shell has settled). The behaviour lives in View3DLogic;
// this class lays out the controls, runs the growths on a worker thread and
// listens to the model the windows share: whatever a window sets there, or a
// START in the main window, reaches it at once.
#pragma once

#include <memory>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>

#include "app/view3d_logic.h"
#include "model/model_document.h"

namespace ammonite {

class MainWindow;

// The picture: the logic's frame at the screen's pixel ratio.
class MeshViewWidget : public QWidget {
    Q_OBJECT
public:
    MeshViewWidget(View3DLogic& logic, QWidget* parent);
    // The last frame painted.
    const QImage& frame() const { return frame_; }

signals:
    void cameraMoved();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    QPoint picturePoint(const QPointF& p) const;
    View3DLogic& logic_;
    QImage frame_;
    QTimer settle_;
};

class ViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit ViewWindow(MainWindow& main);
    ~ViewWindow() override;

    View3DLogic& logic() { return logic_; }
    MeshViewWidget* view() { return view_; }
    QSlider* stageSlider() { return slider_; }
    QCheckBox* liveSwitch() { return live_; }
    QCheckBox* updateMainSwitch() { return updateMain_; }
    // Shells received from the worker (shown or refused), for tests.
    int shellsReceived() const { return received_; }
    int growthsStarted() const { return queue_.started(); }
    bool busy() const { return busy_; }
    // Fingerprint of the main window's scenario, which live regrowth follows.
    std::uint64_t liveKey();
    // One look at the main window's scenario and run: regrows or shows the
    // main window's shell when it is due.
    void poll();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void follow(ModelDocument::Change what);
    void launch(bool grow);
    void receive(const std::shared_ptr<ViewShell>& shell, bool grown);
    void receiveFull(const std::shared_ptr<const RunState>& run, const std::shared_ptr<ViewMesh>& full);
    void showShell();
    void showReadout();
    void setStatus(const std::string& text);

    MainWindow& main_;
    View3DLogic logic_;
    RegrowthQueue queue_;
    MeshViewWidget* view_ = nullptr;
    QSlider* slider_ = nullptr;
    QCheckBox* live_ = nullptr;
    QCheckBox* updateMain_ = nullptr;
    QLabel* stageText_ = nullptr;
    QLabel* growing_ = nullptr;
    QLabel *stageLabel_ = nullptr, *orientation_ = nullptr, *density_ = nullptr, *ptRatio_ = nullptr,
           *stability_ = nullptr, *status_ = nullptr;
    QTimer sliderSettle_;
    ModelDocument::Subscription following_;
    std::unique_ptr<ViewShellWorker> worker_;
    bool busy_ = false;
    bool growthDeferred_ = false;
    bool hasShownRun_ = false;
    bool runChanged_ = false;    // the main window ran START or SHADE since its shell was shown
    bool regrowingMain_ = false;  // the main window grows VIEW's shell at VIEW's request
    int received_ = 0;
};

// Opens (or raises) the main window's VIEW window.
ViewWindow* OpenViewWindow(MainWindow& main);
// Makes the control column's VIEW button and F3 on the main window open VIEW.
QPushButton* AttachViewButton(MainWindow& main, QPushButton* button);

}  // namespace ammonite

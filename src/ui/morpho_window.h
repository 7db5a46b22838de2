// The window "MORPHO": two inputs of the model swept over a grid of grown
// shells, the map of one result, and a click that opens a cell's shell in the
// main window. The sweep runs on its own thread over all cores; the map fills
// in as points finish and the window stays usable meanwhile.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "app/morpho_logic.h"
#include "picture/image_surface.h"
#include "ui/surface_view.h"

namespace ammonite {

class MainWindow;

// Shows the map's picture, fitted to the space it is given and drawn for the
// device pixels it covers, and reports the mouse in whole picture units.
class MorphoMapView : public SurfaceView {
    Q_OBJECT
public:
    MorphoMapView(ImageSurface& surface, QWidget* parent);

signals:
    void hovered(int x, int y);
    void left();
    void clicked(int x, int y);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
};

class MorphoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMapWidth = 900;
    static constexpr int kMapHeight = 600;

    explicit MorphoWindow(MainWindowLogic& main, QWidget* parent = nullptr);
    ~MorphoWindow() override;  // a running sweep is cancelled and waited for

    MorphoLogic& logic() { return logic_; }
    ImageSurface& surface() { return surface_; }
    MorphoMapView* mapView() { return view_; }
    bool running() const { return worker_.joinable(); }

    // RUN: reads the axes and starts the sweep; false (nothing starts, the
    // boxes keep their texts) when an axis is wrong or a sweep is running.
    bool run();
    // Cancel: points not yet started are skipped; finished cells stay.
    void cancel();

    // Take-away files; each returns false after showing why in the status line.
    bool saveCsv(const QString& path);
    bool savePng(const QString& path);
    bool saveSvg(const QString& path);

    // Where the export actions ask for a file name; a test can answer in its
    // place. An empty name cancels.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)> askSavePath;

    // Redraws the map (the current model's point may have moved).
    void redraw();
    // Draws the map again at `resolution` device pixels per unit.
    void paintMapAt(double resolution);

signals:
    void runFinished();

protected:
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    struct AxisBoxes {
        QComboBox* name;
        QLineEdit *from, *to, *steps;
        MorphoAxisTexts texts() const;
    };
    AxisBoxes makeAxis(const char* prefix, const char* name, const char* from, const char* to, const char* steps);
    void pointDone(unsigned generation, size_t index, const SweepRow& row);
    void finished(unsigned generation, const std::vector<SweepRow>& rows, const SweepTiming& timing);
    void scheduleRedraw();
    void showError(const std::string& message);
    void showInfo(const QString& text);
    void exportWithDialog(const QString& caption, const QString& fileName, const QString& filter,
                          const std::function<bool(const QString&)>& save);

    MorphoLogic logic_;
    ImageSurface surface_;
    MorphoMapView* view_ = nullptr;
    AxisBoxes x_{}, y_{};
    QComboBox* resultBox_ = nullptr;
    QPushButton *runButton_ = nullptr, *cancelButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel *hoverLine_ = nullptr, *statusLine_ = nullptr, *infoLine_ = nullptr;
    bool redrawPending_ = false;
    QTimer* resolutionTimer_ = nullptr;

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    unsigned generation_ = 0;
};

// Makes the control column's MORPHO button open the window (one per main
// window) over the main window's model.
void AttachMorphoButton(MainWindow& window, QPushButton* button);

}  // namespace ammonite

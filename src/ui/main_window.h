// The main window "MAIN": the drawing surface, START, GRAPH, SETTING and
// SHADE, the stage and scale boxes, the results, the regulation log and the
// four threshold bars.
#pragma once

#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "model/log_sink.h"
#include "model/main_window_logic.h"
#include "ui/image_surface.h"
#include "ui/profile_window.h"
#include "ui/settings_window.h"
#include "ui/surface_view.h"

namespace ammonite {


// The regulation log picture box: lines are collected during an action and
// shown together when it ends.
class LogView : public QPlainTextEdit, public LogSink {
public:
    explicit LogView(QWidget* parent);
    void clear() override;
    void line(const std::vector<std::string>& items) override;
    void flush();
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
    size_t shown_ = 0;
    bool cleared_ = false;
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSurfaceWidth = 1000;
    static constexpr int kSurfaceHeight = 760;

    explicit MainWindow(ModelState& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowLogic& logic() { return *logic_; }
    ImageSurface& surface() { return surface_; }
    SurfaceView* surfaceView() { return view_; }
    LogView* logView() { return log_; }
    ProfileWindow* profileWindow() { return profileWindow_; }
    SettingsWindow* settingsWindow() { return settingsWindow_; }

public slots:
    void openProfileWindow();
    void openSettingsWindow();

private:
    void refresh();

    ModelState& model_;
    ImageSurface surface_;
    LogView* log_ = nullptr;
    std::unique_ptr<MainWindowLogic> logic_;
    SurfaceView* view_ = nullptr;
    QPointer<ProfileWindow> profileWindow_;
    QPointer<SettingsWindow> settingsWindow_;
};

}  // namespace ammonite

// The main window "MAIN": the drawing surface, START, GRAPH, SETTING and
// SHADE, the stage and scale boxes, the results, the regulation log and the
// four threshold bars.
#pragma once

#include <functional>
#include <memory>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "render/display_list.h"
#include "render/mesh_files.h"
#include "picture/image_surface.h"
#include "ui/fit_command.h"
#include "ui/profile_window.h"
#include "ui/scenario_files.h"
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
    // The model all the windows share; it announces what they set.
    ModelDocument& document() { return document_; }
    ImageSurface& surface() { return surface_; }
    SurfaceView* surfaceView() { return view_; }
    LogView* logView() { return log_; }
    ProfileWindow* profileWindow() { return profileWindow_; }
    // The File menu: the scenario the window shows, its file and the recent ones.
    ScenarioFiles& scenarioFiles() { return *scenarioFiles_; }
    SettingsWindow* settingsWindow() { return settingsWindow_; }

    // ---- what users take away; each returns false after showing why in the
    // status line, and says what it wrote in the information line ----
    // The picture shown (the shell, or the plot when it is shown). The PNG
    // has the picture's 1000 × 760 pixels times `scale` whatever the screen's
    // scale: at 1 the batch tool's picture for the same inputs.
    bool savePicturePng(const QString& path, double scale = 1);
    bool savePictureSvg(const QString& path);
    void copyPicture();
    // The per-stage results of the last run (the batch tool's --tables).
    bool saveStageTable(const QString& path);
    // The grown shell as meshes, `mmPerUnit` millimetres per model unit.
    bool saveMesh(MeshFormat format, const QString& path, double mmPerUnit);
    // Shows the plot of the per-stage results instead of the shell, or the
    // shell again; false (and the shell stays) when there is nothing to plot.
    bool showPlot(bool on);
    bool plotShown() const { return plotShown_; }
    ImageSurface& plotSurface() { return plotSurface_; }
    QString infoText() const;

    // Where the export actions ask for a file name and for the mesh scale; a
    // test can answer in their place. An empty name or no scale cancels.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)> askSavePath;
    std::function<bool(double& mmPerUnit)> askMeshScale;

    // "Fit to specimen…": asks for a specimen file (askSpecimenPath, which a
    // test can answer; empty cancels), fits the profiles on a worker thread
    // with a progress box that can cancel it, then puts the fitted profiles
    // into GRAPH as one undoable step, presses START and shows the
    // specimen's points over the shell in VIEW.
    std::function<QString()> askSpecimenPath;
    void addFitToFileMenu(QPushButton* fileButton);  // the File menu's entry
    void fitToSpecimen();
    void fitToSpecimenFile(const QString& path);
    // The fit under way (null when none), for tests.
    FitTask* fitTask() const { return fitTask_; }

    // The About box: the program's name and version (F1, or the window's
    // context menu); one box at a time, which does not block the window.
    QMessageBox* aboutBox() const { return aboutBox_; }

    // Asked before the window closes and the program quits; false keeps both
    // (the user chose Cancel). Empty: the program quits without asking.
    std::function<bool()> askBeforeQuit;
    // Whether the program may quit now: the one place that may veto closing.
    bool confirmQuit();

public slots:
    void openProfileWindow();
    void openSettingsWindow();
    void showAbout();

protected:
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void refresh();
    // Gives the pictures as many pixels as they cover on the screen (the
    // device pixel ratio times the picture's scale in the window) and paints
    // them again from what was drawn.
    void fitResolution();
    void buildExportMenu(QPushButton* button);
    // An opened scenario replaced the model: the other windows show it.
    void scenarioOpened();
    void exportWithDialog(const QString& caption, const QString& fileName, const QString& filter,
                          const std::function<bool(const QString&)>& save);
    ImageSurface& shownSurface() { return plotShown_ ? plotSurface_ : surface_; }
    DisplayList& shownDrawing() { return plotShown_ ? plotDrawing_ : drawing_; }
    void showError(const std::string& message);
    void showSaved(const QStringList& paths);

    ModelState& model_;
    ModelDocument document_{model_};
    ImageSurface surface_;
    DisplayList drawing_;         // what the model drew on surface_, for the SVG
    ImageSurface plotSurface_;
    DisplayList plotDrawing_;
    bool plotShown_ = false;
    QPushButton* plotButton_ = nullptr;
    QLabel* infoLine_ = nullptr;
    double meshScale_ = 1;
    QTimer* resolutionTimer_ = nullptr;
    LogView* log_ = nullptr;
    std::unique_ptr<MainWindowLogic> logic_;
    SurfaceView* view_ = nullptr;
    QPointer<ProfileWindow> profileWindow_;
    QPointer<SettingsWindow> settingsWindow_;
    QPointer<QMessageBox> aboutBox_;
    ScenarioFiles* scenarioFiles_ = nullptr;
    bool closing_ = false;  // set while the window is destroyed
    QPointer<FitTask> fitTask_;
    void fitFinished(FitTask* task);
};

}  // namespace ammonite

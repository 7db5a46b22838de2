// The profile window "CHART" without the toolkit: the chart of the four
// profiles (γ, C, T, β) and α, the editing of their control points with the
// mouse and the two text boxes, the final-stage marker, the profile data file
// and the window's commands. The Qt window forwards its events here; tests
// drive the same class directly.
#pragma once

#include "model/profile_file.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <memory>

#include "app/runtime_error_guard.h"
#include "app/controls.h"
#include "model/model_document.h"
#include "model/model_state.h"
#include "render/chart_layers.h"
#include "render/profile_chart.h"

namespace ammonite {

// The window's chart is a ProfileChart: its geometry, colours and drawing.
class ProfileWindowLogic : public ProfileChart {
    std::unique_ptr<ModelDocument> ownDocument_;  // when the window has the model to itself

public:
    // Edit modes.
    enum : std::int16_t { kNone = 0, kGamma = 1, kCurvature = 2, kTorsion = 3, kBeta = 4, kFinalStage = 5 };
    static constexpr int kNoPoint = 50;  // selectedPoint when no point is selected

    // The window edits the model shared through `document`: an action that
    // changed the profiles, α or the stage range is announced when it ends.
    ProfileWindowLogic(ModelDocument& document, ChartLayers& chart);
    ProfileWindowLogic(ModelState& model, ChartLayers& chart);

    // ---- window commands; each is one user action that a runtime error
    // ends with a short line in statusLine ----
    void Load();               // once, when the window is created
    void Activate();           // the window becomes active: arm the timer
    void TimerTick();          // Timer1: draw the profiles once
    void ClickFreeArea();      // full redraw
    void ClickProfileButton(int mode);  // γ, C, T, β buttons (modes 1..4)
    void ClickAlpha();         // "α": final stage and α (mode 5)
    void ClickPointDel();      // "Point Del."
    void ClickSave();          // "D-save"
    void ClickLoad();          // "D-Load": show the file list
    void ClickFile(const std::string& name);  // a name in the file list
    void PressChart(double x, double y);
    void MoveChart(double x, double y);
    void ReleaseChart(double x, double y);
    // Undoes the last point edit, final-stage change or file load (Ctrl+Z).
    void UndoEdit();
    // Replaces α, the stage range and the profiles (a fit's result) as one
    // step that UndoEdit takes back; `what` is shown in the status line.
    void ReplaceProfiles(const ProfileFileContents& contents, const std::string& what);
    // Escape: no point is selected and the boxes are empty.
    void ClearSelection();
    void TypeStage(const std::string& text) { Guard([&] { XCMtxt.setText(text); }); }
    void TypeValue(const std::string& text) { Guard([&] { YCMtxt.setText(text); }); }
    void MoveAlphaBar(int value) { Guard([&] { DShsc.setValue(value); }); }

    // Runs an action, catching the runtime error that ends it; false when it
    // ended with one (the message is in statusLine).
    bool Guard(const std::function<void()>& action);

    // ---- drawing (the chart of the model's profiles) ----
    void DrawChartBackground() { drawBackground(chart); }
    // The profiles, the edited one wide; the α controls show in final-stage mode.
    void DrawProfiles();
    void DrawEditedProfile(bool withSelection = true);
    void DrawMarker(double stage) { drawMarker(chart, stage); }

    // ---- editing ----
    void ApplyTypedPoint();
    void SaveProfiles();
    void LoadProfiles(const std::string& name);

    // Profile index 0..3 = γ, C, T, β.
    ParameterProfile& profile(int index);
    // The profile the current mode edits (modes 1..4).
    ParameterProfile& editedProfile() { return profile(editMode - 1); }
    bool editingPoints() const { return editMode >= kGamma && editMode <= kBeta; }
    // Whether "Point Del." in final-stage mode would undo a cut now.
    bool cutUndoAvailable() const;

    ModelDocument& document;
    ModelState& model;
    ChartLayers& chart;

    // How far from the final-stage marker (in chart units) a press still
    // takes it.
    double markerReach = 0;

    // Editor state.
    std::int16_t editMode = kNone;
    int selectedPoint = 0;
    bool dragging = false;
    double markerStage = 0;
    std::array<int, 4> cutSaveSlot{};
    float mouseX = 0, mouseY = 0;

    // ---- controls ----
    TextBoxModel XCMtxt, YCMtxt;
    ScrollBarModel DShsc{10, 40, 1, 10, 20};
    LabelModel DScmd;
    LabelModel statusLine;
    bool alphaControlsShown = false;
    bool fileListShown = false;
    std::string fileListFolder;            // full path of the list's folder
    std::vector<std::string> fileNames;    // "*.txt" names in it, sorted
    bool timerOn = false;

    // Notifications for the window layer.
    std::function<void()> surfaceChanged;
    std::function<void()> alphaControlsChanged;
    std::function<void()> fileListChanged;
    std::function<void()> timerChanged;
    // The stage range of the model changed (final-stage release, undo, a
    // loaded file): the main window's boxes follow it.
    std::function<void()> stagesChanged;
    // Asked before "D-save" replaces a file that exists; false keeps it.
    // Without an answer the file is replaced.
    std::function<bool(const std::string& path)> confirmOverwrite;

private:
    void PressPoint();
    void DragPoint();
    void DeletePoint();
    void PressMarker();
    void DragMarker();
    void ApplyFinalStage();
    void UndoCut();
    void showSelected(int index);
    void setAlphaControls(bool shown);
    void setFileList(bool shown);
    void setTimer(bool on);
    void refreshFileNames();
    bool ensureProfileFolder(std::string& message);
    void clearBoxes();
    // The edit about to be made can be undone.
    void rememberForUndo(bool typing = false);
    void dropUnchangedUndo();
    void init();
    void notifyStages() {
        if (stagesChanged) stagesChanged();
    }

    struct EditSnapshot {
        std::array<ParameterProfile, 4> profiles;
        std::array<double, 2> stageRange{};
        std::int16_t lastStage = 0, shownStage = 0;
        double alpha = 0;
        bool sameAs(const EditSnapshot& o) const;
    };
    EditSnapshot snapshot() const;
    std::vector<EditSnapshot> undo_;
    RuntimeErrorGuard guard_{statusLine};
    bool typingEdit_ = false;    // the last undo step is the typing going on now
    bool settingBoxes_ = false;  // the boxes are being written, not typed into

    // The state right after the last cutting release, for its undo.
    bool cutDone_ = false;
    std::array<ParameterProfile, 4> afterCut_;
    double cutFinalStage_ = 0;
    double cutPreviousFinal_ = 0;
};

}  // namespace ammonite

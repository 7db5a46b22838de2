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

#include "app/controls.h"
#include "model/model_document.h"
#include "model/model_state.h"
#include "render/chart_layers.h"

namespace ammonite {

class ProfileWindowLogic {
    std::unique_ptr<ModelDocument> ownDocument_;  // when the window has the model to itself

public:
    // Edit modes.
    enum : std::int16_t { kNone = 0, kGamma = 1, kCurvature = 2, kTorsion = 3, kBeta = 4, kFinalStage = 5 };
    static constexpr int kNoPoint = 50;  // selectedPoint when no point is selected

    // Chart colours.
    static constexpr Rgb kProfileColours[4] = {{100, 100, 250}, {250, 100, 100}, {100, 250, 100}, {250, 200, 100}};
    static constexpr Rgb kDarkColours[4] = {{50, 50, 150}, {150, 50, 50}, {50, 150, 50}, {150, 100, 50}};
    static constexpr Rgb kAxisColour{100, 100, 150};
    static constexpr Rgb kLabelColour{150, 150, 200};
    static constexpr Rgb kGridColour{255, 255, 255};
    static constexpr Rgb kNameColour{0, 0, 0};
    static constexpr Rgb kMarkerColour{150, 50, 50};
    static constexpr Rgb kEditedAxisColour{50, 50, 50};
    static constexpr Rgb kChartBackColour{222, 222, 230};

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

    // ---- drawing ----
    void DrawChartBackground();
    void DrawStageGrid();
    void DrawValueGrid();
    void DrawCurvatureTorsionAxis();
    void DrawBetaAxis();
    void DrawGammaAxis();
    void DrawProfiles();
    void DrawEditedProfile(bool withSelection = true);
    void DrawMarker(double stage);

    // ---- editing ----
    void ApplyTypedPoint();
    void SaveProfiles();
    void LoadProfiles(const std::string& name);

    // ---- chart mapping ----
    double stageToX(double stage) const { return chartLeft + stage / stagesPerUnit; }
    double xToStage(double x) const { return stagesPerUnit * (x - chartLeft); }
    // Profile index 0..3 = γ, C, T, β.
    double valueToY(int profile, double value) const;
    double yToValue(int profile, double y) const;
    ParameterProfile& profile(int index);
    // The profile the current mode edits (modes 1..4).
    ParameterProfile& editedProfile() { return profile(editMode - 1); }
    bool editingPoints() const { return editMode >= kGamma && editMode <= kBeta; }
    // Whether "Point Del." in final-stage mode would undo a cut now.
    bool cutUndoAvailable() const;

    ModelDocument& document;
    ModelState& model;
    ChartLayers& chart;

    // Chart constants, set when the window loads.
    double chartLeft = 21;
    // Stages per chart unit: 2 shows stages 0..1958 on the 1001 units of the
    // classic chart; the window sets 4 and widens the chart so that the
    // whole range 0..4000 shows.
    double stagesPerUnit = 2;
    // How far from the final-stage marker (in chart units) a press still
    // takes it.
    double markerReach = 0;
    double chartBaseline = 400;
    double gammaScale = 40;
    double curvatureScale = 200;
    double torsionScale = 200;
    double betaScale = 20;
    Rgb axisLineColour = kAxisColour;

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
    std::string numberText(double v) const;
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
    int guardDepth_ = 0;
    bool typingEdit_ = false;    // the last undo step is the typing going on now
    bool settingBoxes_ = false;  // the boxes are being written, not typed into

    // The state right after the last cutting release, for its undo.
    bool cutDone_ = false;
    std::array<ParameterProfile, 4> afterCut_;
    double cutFinalStage_ = 0;
    double cutPreviousFinal_ = 0;
};

}  // namespace ammonite

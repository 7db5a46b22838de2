// The settings window's behaviour without the toolkit: its controls as plain
// models wired to their change, leave-field and click handlers, the load step
// and the preview. Setting a box's text or a bar's position from code runs
// that control's handler at once, nested, only when the value changes; the
// order of the steps below is the order in which the model changes.
#pragma once

#include <functional>
#include <string>

#include "app/runtime_error_guard.h"
#include "app/controls.h"
#include <memory>

#include "model/model_document.h"
#include "model/model_state.h"
#include "render/surface.h"
#include "app/direction_angles.h"
#include "render/preview.h"

namespace ammonite {

// An option button: one of a group, selected from code or by the user.
// Selecting it deselects the others of its group and runs its click handler
// (only when it was not selected already).
class OptionButtonModel {
public:
    bool selected() const { return selected_; }
    void select();
    // Joins two buttons into one group (both directions).
    static void group(OptionButtonModel& a, OptionButtonModel& b);
    std::function<void()> onClick;
    std::function<void()> viewUpdate;

private:
    void deselect();
    bool selected_ = false;
    OptionButtonModel* peer_ = nullptr;
};

// Number texts the window writes into its boxes.
namespace settings_text {
// No leading blank, zero before the point: "500", "0.7071", "-1", "0".
std::string plainFixed4(Fixed4 v);
std::string plainSingle(float v);
std::string plainDouble(double v);
// A blank before zero and positive numbers, a minus before negative ones, no
// zero before the point: " .05", " 2", "-.5".
std::string padded(const std::string& plain);
std::string paddedFixed4(Fixed4 v);
std::string paddedSingle(float v);
std::string paddedDouble(double v);
}  // namespace settings_text

class SettingsWindowLogic {
    std::unique_ptr<ModelDocument> ownDocument_;  // when the window has the model to itself

public:
    // `preview` is the picture box FRpct: 800 × 600 drawing units. The
    // window sets the model through the shared document, so that the other
    // windows follow.
    SettingsWindowLogic(ModelDocument& document, DrawingSurface& preview);
    SettingsWindowLogic(ModelState& model, DrawingSurface& preview);

    // Load step: fills the boxes, bars and labels from the model state and
    // draws the preview. The check boxes show the ribbing and orientation
    // switches.
    void Load();

    // Runs a user action; a runtime error ends it with a short line in
    // statusLine, keeping the values already assigned. Returns false then.
    bool Guard(const std::function<void()>& action);

    // ---- user actions (each guarded) ----
    void Type(TextBoxModel& box, const std::string& text) { Guard([&] { box.setText(text); }); }
    void Leave(TextBoxModel& box) { Guard([&] { box.leave(); }); }
    // Types the text and leaves the box, as a user tabbing on.
    void Enter(TextBoxModel& box, const std::string& text) {
        Type(box, text);
        Leave(box);
    }
    void MoveBar(ScrollBarModel& bar, int value) { Guard([&] { bar.setValue(value); }); }
    void Tick(CheckBoxModel& box, bool checked) { Guard([&] { box.setChecked(checked); }); }
    void Choose(OptionButtonModel& option) { Guard([&] { option.select(); }); }
    void ClickPreview() { Guard([this] { DrawPreview(); }); }
    void ClickConfirm();

    void DrawPreview();

    ModelDocument& document;
    ModelState& model;
    DrawingSurface& previewSurface;

    // ---- controls ----
    TextBoxModel GItxt, SCLtxt, OXtxt, OYtxt;
    TextBoxModel VXtxt, VYtxt, VZtxt, LXtxt, LYtxt, LZtxt;
    TextBoxModel DAtxt, DBtxt;
    ScrollBarModel ORIGINhsc{-600, 800, 10, 50, 0};
    ScrollBarModel ORIGINvsc{0, 1400, 10, 50, 0};
    ScrollBarModel VIEWhsc{0, 360, 1, 1, 90};
    ScrollBarModel VIEWvsc{-90, 90, 1, 1, 0};
    ScrollBarModel LIGHThsc{0, 360, 1, 1, 0};
    ScrollBarModel LIGHTvsc{-90, 90, 1, 1, 0};
    LabelModel VLGlbl, VLTlbl, LLGlbl, LLTlbl;
    CheckBoxModel RIBcbx{true}, ORIENTcbx{true};
    OptionButtonModel INITIALopt, FINALopt, SCRNopt, FRAMEopt;
    LabelModel statusLine;

    // Working fields of the direction conversions and the preview.
    DirectionWork work;
    PreviewFields previewFields;

    // ---- hooks for the window layer ----
    std::function<void()> previewDrawn;      // the preview's pixels changed
    std::function<void()> confirmed;         // "Confirm": hide, show the main window

private:
    struct AngleControls {
        TextBoxModel &x, &y, &z;
        ScrollBarModel &azimuthBar, &elevationBar;
        LabelModel &azimuthLabel, &elevationLabel;
        Vec3F4& vector;
    };
    AngleControls view();
    AngleControls light();

    void init();
    void wire();
    RuntimeErrorGuard guard_{statusLine};
    void onLimitedBoxLeft(TextBoxModel& box);
    void onVectorBoxLeft(TextBoxModel& box, Fixed4& component);
    void onZBoxLeft(AngleControls c);
    void onAngleBarChanged(AngleControls c, bool azimuthBar);
    void showAngles(AngleControls c);
    void onDensityLeft(TextBoxModel& box, int index);
    void onOrientationClicked();
    void setOriginBar(ScrollBarModel& bar, Fixed4 value, bool quietWhenClamped);
    // The field a box or bar has just stored is announced to the other windows.
    void announce(ModelDocument::Change what) { document.announce(what, this); }
};

}  // namespace ammonite

// Editing the control points with the mouse and the two text boxes, the
// final-stage marker with its cutting or extending release, and the undo of
// a cut.
#include <cmath>
#include <string>

#include "model/interpolation.h"
#include "model/scenario.h"
#include "app/profile_window_logic.h"

namespace ammonite {

namespace {
const char* const kNames[4] = {"\xCE\xB3", "C", "T", "\xCE\xB2"};  // γ, C, T, β

double clampStage(double s) { return s < 0 ? 0 : (s > kMaxStage ? kMaxStage : s); }

// A typed coordinate: the longest number at the start of the text after any
// leading blanks. A blank inside ends the number ("12 5" reads 12), and only
// 'e' or 'E' start an exponent ("1d3" reads 1).
double readTypedNumber(const std::string& text) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin])) ++begin;
    size_t end = begin;
    while (end < text.size() && !isBlank(text[end]) && text[end] != 'd' && text[end] != 'D') ++end;
    return parseLeadingNumber(text.substr(begin, end - begin));
}

// Whether a typed text starts with a number (after leading blanks): a digit,
// or a sign or a decimal point followed by one.
bool startsWithNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool blankText(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }
}  // namespace

// ---- undo of edits ----

ProfileWindowLogic::EditSnapshot ProfileWindowLogic::snapshot() const {
    EditSnapshot e;
    e.profiles = {model.gammaProfile, model.curvatureProfile, model.torsionProfile, model.betaProfile};
    e.stageRange = {model.stageRange[0], model.stageRange[1]};
    e.lastStage = model.lastStage;
    e.shownStage = model.shownStage;
    e.alpha = model.alpha;
    return e;
}

bool ProfileWindowLogic::EditSnapshot::sameAs(const EditSnapshot& o) const {
    for (int p = 0; p < 4; ++p) {
        const ParameterProfile &a = profiles[p], &b = o.profiles[p];
        if (a.count != b.count) return false;
        for (int i = 0; i <= a.count && i <= ParameterProfile::kMaxCount; ++i)
            if (a.stages[i] != b.stages[i] || a.values[i] != b.values[i]) return false;
    }
    return stageRange == o.stageRange && lastStage == o.lastStage && shownStage == o.shownStage &&
           alpha == o.alpha;
}

void ProfileWindowLogic::rememberForUndo(bool typing) {
    if (typing && typingEdit_ && !undo_.empty()) return;  // one step for the whole typing
    typingEdit_ = typing;
    undo_.push_back(snapshot());
    if (undo_.size() > 200) undo_.erase(undo_.begin());
}

void ProfileWindowLogic::dropUnchangedUndo() {
    if (!undo_.empty() && undo_.back().sameAs(snapshot())) undo_.pop_back();
}

void ProfileWindowLogic::UndoEdit() {
    statusLine.setCaption("");
    Guard([this] {
        dragging = false;
        typingEdit_ = false;
        if (undo_.empty()) {
            statusLine.setCaption("Nothing to undo.");
            return;
        }
        const EditSnapshot e = undo_.back();
        undo_.pop_back();
        model.gammaProfile = e.profiles[0];
        model.curvatureProfile = e.profiles[1];
        model.torsionProfile = e.profiles[2];
        model.betaProfile = e.profiles[3];
        const bool stages = model.stageRange[1] != e.stageRange[1] || model.lastStage != e.lastStage;
        model.stageRange[0] = e.stageRange[0];
        model.stageRange[1] = e.stageRange[1];
        model.lastStage = e.lastStage;
        model.shownStage = e.shownStage;
        if (model.alpha != e.alpha) {
            model.alpha = e.alpha;  // a loaded file brought its own
            DScmd.setCaption("\xCE\xB1 = " + formatNumber(model.alpha));
        }
        cutDone_ = false;
        selectedPoint = kNoPoint;
        clearBoxes();
        chart.clear();
        DrawProfiles();
        if (editMode == kFinalStage) DrawMarker(model.lastStage);
        DrawEditedProfile(false);
        if (stages) notifyStages();
        statusLine.setCaption("Undone.");
    });
}

void ProfileWindowLogic::clearBoxes() {
    settingBoxes_ = true;
    XCMtxt.setText("");
    YCMtxt.setText("");
    settingBoxes_ = false;
}

void ProfileWindowLogic::ClearSelection() {
    Guard([this] {
        dragging = false;
        typingEdit_ = false;
        selectedPoint = kNoPoint;
        clearBoxes();
        if (editingPoints()) {
            DrawProfiles();
            DrawEditedProfile(false);
        }
    });
}

void ProfileWindowLogic::showSelected(int index) {
    const ParameterProfile& prof = editedProfile();
    settingBoxes_ = true;
    XCMtxt.setText(formatNumber(prof.stages.at(static_cast<size_t>(index))));
    YCMtxt.setText(formatNumber(prof.values.at(static_cast<size_t>(index))));
    settingBoxes_ = false;
}

void ProfileWindowLogic::PressChart(double x, double y) {
    statusLine.setCaption("");
    Guard([&] {
        mouseX = static_cast<float>(x);
        mouseY = static_cast<float>(y);
        if (editingPoints()) {
            PressPoint();
        } else if (editMode == kFinalStage) {
            PressMarker();
        } else {
            dragging = true;
            selectedPoint = kNoPoint;
        }
    });
}

void ProfileWindowLogic::MoveChart(double x, double y) {
    if (!dragging) return;
    Guard([&] {
        mouseX = static_cast<float>(x);
        mouseY = static_cast<float>(y);
        if (editingPoints()) {
            DragPoint();
        } else if (editMode == kFinalStage) {
            DragMarker();
        }
    });
}

void ProfileWindowLogic::ReleaseChart(double, double) {
    const bool wasDragging = dragging;
    dragging = false;
    typingEdit_ = false;
    if (editMode == kFinalStage) {
        // Only a real drag of the marker cuts or extends the profiles; a
        // release off the marker or where it was pressed changes nothing.
        if (!wasDragging) return;
        if (markerStage == model.lastStage) {
            Guard([this] {
                chart.clear();
                DrawProfiles();
                DrawMarker(model.lastStage);
            });
            return;
        }
        rememberForUndo();
        if (Guard([this] { ApplyFinalStage(); })) notifyStages();
        dropUnchangedUndo();
    } else if (wasDragging && editingPoints()) {
        dropUnchangedUndo();
    }
}

// ---- points (modes 1..4) ----

void ProfileWindowLogic::PressPoint() {
    const int p = editMode - 1;
    ParameterProfile& prof = editedProfile();
    auto& S = prof.stages;
    auto& V = prof.values;
    const int n = prof.count;
    rememberForUndo();
    dragging = true;
    selectedPoint = kNoPoint;
    bool found = false;
    // At or right of the last point, or at or left of stage 0; the boxes
    // show the point selected.
    if (mouseX >= stageToX(S[n])) selectedPoint = n, found = true;
    if (mouseX <= chartLeft) selectedPoint = 0, found = true;
    if (found) showSelected(selectedPoint);
    // Hit test; a later point within reach wins over an earlier one.
    if (0 < mouseX && mouseX < S[n]) {
        for (int i = 0; i <= n; ++i) {
            double px = stageToX(S[i]), py = valueToY(p, V[i]);
            double d = std::sqrt((mouseY - py) * (mouseY - py) + (mouseX - px) * (mouseX - px));
            if (d < 5) {
                selectedPoint = i;
                found = true;
                showSelected(i);
            }
        }
        DrawProfiles();
        DrawEditedProfile();
    }
    if (found) return;

    // Nothing hit: insert a point at the press position.
    if (n >= ParameterProfile::kMaxCount) {
        dragging = false;
        dropUnchangedUndo();
        statusLine.setCaption(std::string("The ") + kNames[p] +
                              " profile already has 51 points; delete one before adding another.");
        return;
    }
    double s = xToStage(mouseX), v = yToValue(p, mouseY);
    int i = n;
    while (i >= 0 && S[i] >= s) {
        S[i + 1] = S[i];
        V[i + 1] = V[i];
        --i;
    }
    S[i + 1] = s;
    V[i + 1] = v;
    selectedPoint = i + 1;
    prof.count = static_cast<std::int16_t>(n + 1);
    settingBoxes_ = true;
    XCMtxt.setText(formatNumber(s));
    YCMtxt.setText(formatNumber(v));
    settingBoxes_ = false;
    DrawProfiles();
    DrawEditedProfile();
}

void ProfileWindowLogic::DragPoint() {
    const int p = editMode - 1;
    ParameterProfile& prof = editedProfile();
    auto& S = prof.stages;
    auto& V = prof.values;
    const int n = prof.count, k = selectedPoint;
    chart.clear();
    if (0 < k && k < n) {
        S[k] = xToStage(mouseX);
        if (S[k] <= S[k - 1]) S[k] = S[k - 1] + 1;
        if (S[k] >= S[k + 1]) S[k] = S[k + 1] - 1;
        S[k] = clampStage(S[k]);
    }
    if (k <= n) {
        V[k] = yToValue(p, mouseY);
        showSelected(k);
    }
    DrawProfiles();
    DrawEditedProfile();
}

void ProfileWindowLogic::DeletePoint() {
    ParameterProfile& prof = editedProfile();
    const int n = prof.count, k = selectedPoint;
    if (!(0 < k && k < n)) {
        statusLine.setCaption(k == kNoPoint ? "Select an inner point first: press on it in the chart."
                                            : "The first and the last point cannot be deleted.");
        return;
    }
    rememberForUndo();
    typingEdit_ = false;
    for (int i = k; i < n; ++i) {
        prof.stages[i] = prof.stages[i + 1];
        prof.values[i] = prof.values[i + 1];
    }
    prof.count = static_cast<std::int16_t>(n - 1);
    selectedPoint = kNoPoint;
    clearBoxes();
    DrawProfiles();
    DrawEditedProfile();
}

void ProfileWindowLogic::ApplyTypedPoint() {
    if (settingBoxes_) return;
    ParameterProfile& prof = editedProfile();
    const int k = selectedPoint;
    if (k < 0 || k > prof.count || k > ParameterProfile::kMaxCount) {
        // No point of this profile is selected: the boxes move nothing.
        statusLine.setCaption("Select a point first: press on it in the chart, then type its stage and value.");
        return;
    }
    const std::string where = "; the point stays at stage " + formatNumber(prof.stages[k]) + ", value " +
                              formatNumber(prof.values[k]) + ".";
    const std::string& stageText = XCMtxt.text();
    const std::string& valueText = YCMtxt.text();
    // An emptied box waits for the new number.
    if (blankText(stageText) || blankText(valueText)) {
        statusLine.setCaption("");
        return;
    }
    if (!startsWithNumber(stageText)) {
        statusLine.setCaption("Stage: \"" + stageText + "\" is not a number" + where);
        return;
    }
    if (!startsWithNumber(valueText)) {
        statusLine.setCaption("Value: \"" + valueText + "\" is not a number" + where);
        return;
    }
    double s = readTypedNumber(stageText);
    double v = readTypedNumber(valueText);
    if (!(s >= 0 && s <= kMaxStage)) {
        statusLine.setCaption("Stage " + formatNumber(s) + " is outside 0..4000" + where);
        return;
    }
    // A value the tables cannot hold would stop the next START far from here.
    if (!ProfileValueAllowed(v)) {
        statusLine.setCaption("Value " + formatNumber(v) + " is outside " + ProfileValueRangeText() + where);
        return;
    }
    statusLine.setCaption("");
    if (prof.stages[k] == s && prof.values[k] == v) return;
    rememberForUndo(true);
    prof.stages.at(static_cast<size_t>(k)) = s;
    prof.values.at(static_cast<size_t>(k)) = v;
    DrawProfiles();
    DrawEditedProfile();
}

// ---- final stage (mode 5) ----

void ProfileWindowLogic::PressMarker() {
    selectedPoint = kNoPoint;
    markerStage = model.lastStage;
    // The marker is a line one unit wide: a press within reach takes it.
    dragging = std::fabs(mouseX - std::floor(stageToX(markerStage))) <= markerReach;
}

void ProfileWindowLogic::DragMarker() {
    // The final stage stays within the stage tables' rows.
    markerStage = clampStage(xToStage(mouseX));
    chart.clear();
    DrawProfiles();
    DrawMarker(markerStage);
}

void ProfileWindowLogic::ApplyFinalStage() {
    const double f = markerStage;
    // The final stage InterpolateProfiles is about to set.
    long first = static_cast<long>(roundHalfEven(model.stageRange[0]));
    long last = static_cast<long>(roundHalfEven(model.stageRange[1]));
    const double finalNow = first <= last ? last : first - 1;
    const bool cutting = f < finalNow;
    int full = -1;
    for (int p = 0; p < 4 && full < 0; ++p)
        if (profile(p).count >= ParameterProfile::kMaxCount) full = p;
    if (full >= 0 && !cutting) {
        // Extending would give that profile a 52nd point.
        statusLine.setCaption(std::string("The ") + kNames[full] +
                              " profile already has 51 points; the final stage stays at " + formatNumber(finalNow) +
                              ".");
        markerStage = model.lastStage;
        DrawProfiles();
        DrawMarker(model.lastStage);
        return;
    }

    InterpolateProfiles(model);
    const double L = model.lastStage;
    std::array<bool, 4> appended{};
    for (int p = 0; p < 4; ++p) {
        ParameterProfile& prof = profile(p);
        const int n = prof.count;
        if (n >= ParameterProfile::kMaxCount) continue;  // full: cut without a saved copy
        prof.count = static_cast<std::int16_t>(n + 1);
        prof.stages[n + 1] = f;
        prof.values[n + 1] = prof.values[n];
        appended[p] = true;
    }
    model.stageRange[1] = f;
    model.shownStage = toInt16(f);
    if (f < L) {
        for (int p = 0; p < 4; ++p) {
            ParameterProfile& prof = profile(p);
            const int top = prof.count;
            int d = 0;
            while (d < top && prof.stages[d] < f) ++d;
            if (appended[p]) {
                prof.stages[top] = prof.stages[d];
                prof.values[top] = prof.values[d];
                cutSaveSlot[p] = top;
            }
            switch (p) {
                case 0: prof.values[d] = model.gammaByStage.at(f); break;
                case 1: prof.values[d] = model.curvatureByStage.at(f); break;
                case 2: prof.values[d] = model.torsionByStage.at(f); break;
                default: prof.values[d] = model.betaByStage.at(f); break;
            }
            prof.stages[d] = f;
            prof.count = static_cast<std::int16_t>(d);
        }
    }
    DrawProfiles();
    markerStage = L;
    model.lastStage = toInt16(f);
    DrawMarker(model.lastStage);

    cutDone_ = f < L && full < 0;
    if (cutDone_) {
        for (int p = 0; p < 4; ++p) afterCut_[p] = profile(p);
        cutFinalStage_ = f;
        cutPreviousFinal_ = L;
    } else if (f < L) {
        statusLine.setCaption(std::string("The ") + kNames[full] +
                              " profile had 51 points, so this cut cannot be undone.");
    }
}

bool ProfileWindowLogic::cutUndoAvailable() const {
    if (!cutDone_ || model.stageRange[1] != cutFinalStage_ || markerStage != cutPreviousFinal_) return false;
    const ParameterProfile* now[4] = {&model.gammaProfile, &model.curvatureProfile, &model.torsionProfile,
                                      &model.betaProfile};
    for (int p = 0; p < 4; ++p)
        if (!(*now[p] == afterCut_[p])) return false;
    return true;
}

void ProfileWindowLogic::UndoCut() {
    if (!cutUndoAvailable()) {
        statusLine.setCaption("Nothing to undo: only the last cut of the final stage can be undone, right after it.");
        return;
    }
    for (int p = 0; p < 4; ++p) {
        ParameterProfile& prof = profile(p);
        const int k = cutSaveSlot[p];
        prof.stages[prof.count] = prof.stages[k];
        prof.values[prof.count] = prof.values[k];
        prof.count = static_cast<std::int16_t>(k - 1);
    }
    model.lastStage = toInt16(markerStage);
    model.stageRange[1] = markerStage;
    model.shownStage = toInt16(markerStage);
    cutDone_ = false;
    DrawProfiles();
    notifyStages();
}

}  // namespace ammonite

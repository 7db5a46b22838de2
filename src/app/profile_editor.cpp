// Editing the control points with the mouse and the two text boxes, the
// final-stage marker with its cutting or extending release, and the undo of
// a cut.
#include <cmath>
#include <string>

#include "model/interpolation.h"
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
}  // namespace

void ProfileWindowLogic::showSelected(int index) {
    const ParameterProfile& prof = editedProfile();
    XCMtxt.setText(formatNumber(prof.stages.at(static_cast<size_t>(index))));
    YCMtxt.setText(formatNumber(prof.values.at(static_cast<size_t>(index))));
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
    dragging = false;
    if (editMode == kFinalStage) Guard([this] { ApplyFinalStage(); });
}

// ---- points (modes 1..4) ----

void ProfileWindowLogic::PressPoint() {
    const int p = editMode - 1;
    ParameterProfile& prof = editedProfile();
    auto& S = prof.stages;
    auto& V = prof.values;
    const int n = prof.count;
    dragging = true;
    selectedPoint = kNoPoint;
    bool found = false;
    // At or right of the last point, or at or left of stage 0.
    if (mouseX >= chartLeft + S[n] / 2) selectedPoint = n, found = true;
    if (mouseX <= chartLeft) selectedPoint = 0, found = true;
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
    XCMtxt.setText(formatNumber(s));
    YCMtxt.setText(formatNumber(v));
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
    if (!(0 < k && k < n)) return;
    for (int i = k; i < n; ++i) {
        prof.stages[i] = prof.stages[i + 1];
        prof.values[i] = prof.values[i + 1];
    }
    prof.count = static_cast<std::int16_t>(n - 1);
    selectedPoint = kNoPoint;
    DrawProfiles();
    DrawEditedProfile();
}

void ProfileWindowLogic::ApplyTypedPoint() {
    ParameterProfile& prof = editedProfile();
    double s = readTypedNumber(XCMtxt.text());
    double v = readTypedNumber(YCMtxt.text());
    if (!(s >= 0 && s <= kMaxStage)) {
        statusLine.setCaption("Stage " + formatNumber(s) + " is outside 0..4000; the point was not changed.");
        return;
    }
    statusLine.setCaption("");
    prof.stages.at(static_cast<size_t>(selectedPoint)) = s;
    prof.values.at(static_cast<size_t>(selectedPoint)) = v;
    DrawProfiles();
    DrawEditedProfile();
}

// ---- final stage (mode 5) ----

void ProfileWindowLogic::PressMarker() {
    selectedPoint = kNoPoint;
    markerStage = model.lastStage;
    dragging = mouseX == std::floor(chartLeft + markerStage / 2);
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
}

}  // namespace ammonite

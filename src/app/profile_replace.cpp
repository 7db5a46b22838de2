// Profiles replaced whole from outside the chart (a fit's result), as one
// undoable step, as a file load is.
#include "app/profile_window_logic.h"
#include "core/numeric.h"

namespace ammonite {

void ProfileWindowLogic::ReplaceProfiles(const ProfileFileContents& contents, const std::string& what) {
    statusLine.setCaption("");
    Guard([&] {
        const EditSnapshot before = snapshot();
        contents.commitTo(model);
        model.lastStage = toInt16(model.stageRange[1]);
        model.shownStage = model.lastStage;
        undo_.push_back(before);
        typingEdit_ = false;
        selectedPoint = kNoPoint;
        clearBoxes();
        DScmd.setCaption("\xCE\xB1 = " + formatNumber(model.alpha));
        markerStage = model.stageRange[1];
        cutDone_ = false;
        DrawChartBackground();
        DrawProfiles();
        setFileList(false);
        statusLine.setCaption(what);
        notifyStages();
    });
}

}  // namespace ammonite

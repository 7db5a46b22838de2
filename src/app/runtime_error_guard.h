// One user action of a window, run so that a runtime error never ends the
// program: the action stops where the error arose, the values it assigned
// before stay, and the window's status line shows the error's short message.
// Actions started within an action (a box whose change handler moves a bar)
// belong to it: only the outermost one starts the status line afresh and says
// when it has ended.
#pragma once

#include <functional>

#include "app/controls.h"

namespace ammonite {

class RuntimeErrorGuard {
public:
    explicit RuntimeErrorGuard(LabelModel& statusLine) : statusLine_(statusLine) {}

    // Whether an outermost action starts with an empty status line. A window
    // whose line says how it stands (the profile window's folder) keeps it
    // until an action writes another.
    bool clearsStatus = true;
    // Runs when an outermost action has ended, with an error or without (the
    // window shows its pictures again).
    std::function<void()> ended;

    // False when the action ended on a runtime error.
    bool run(const std::function<void()>& action);
    bool running() const { return depth_ > 0; }

private:
    LabelModel& statusLine_;
    int depth_ = 0;
};

}  // namespace ammonite

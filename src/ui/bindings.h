// Binds Qt widgets to the plain control models: a user's edit goes to the
// model's setter (which runs the change handler when the value changes); a
// change made by the model is shown in the widget without echoing back.
#pragma once

#include <functional>

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QCheckBox>

#include "app/controls.h"

namespace ammonite {

using ActionGuard = std::function<void(const std::function<void()>&)>;

void bindLineEdit(QLineEdit* edit, TextBoxModel& model, ActionGuard guard);
void bindLabel(QLabel* label, LabelModel& model);
// A window's status line: what went wrong in red, what was done in the
// neutral text colour, the same in every window.
void bindStatusLine(QLabel* label, LabelModel& model);
bool IsSuccessMessage(const std::string& text);
void bindScrollBar(QScrollBar* bar, ScrollBarModel& model, ActionGuard guard);
void bindCheckBox(QCheckBox* box, CheckBoxModel& model, ActionGuard guard);

}  // namespace ammonite

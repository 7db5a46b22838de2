// The settings window: densities, growth increment, scale, origin, view and
// light directions, switches and the preview.
#pragma once

#include <QWidget>

#include "model/model_state.h"

namespace ammonite {

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    SettingsWindow(ModelState& model, QWidget* mainWindow);

private:
    ModelState& model_;
    QWidget* mainWindow_;
};

}  // namespace ammonite

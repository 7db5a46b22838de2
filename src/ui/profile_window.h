// The profile window: the chart of the four profiles and α, their editing
// and the profile data file.
#pragma once

#include <QWidget>

#include "model/model_state.h"

namespace ammonite {

class ProfileWindow : public QWidget {
    Q_OBJECT
public:
    ProfileWindow(ModelState& model, QWidget* mainWindow);

private:
    ModelState& model_;
    QWidget* mainWindow_;
};

}  // namespace ammonite

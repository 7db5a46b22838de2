#include "ui/settings_window.h"

namespace ammonite {

SettingsWindow::SettingsWindow(ModelState& model, QWidget* mainWindow)
    : QWidget(nullptr), model_(model), mainWindow_(mainWindow) {
    setWindowTitle(QStringLiteral("Form1"));
    resize(720, 406);
}

}  // namespace ammonite

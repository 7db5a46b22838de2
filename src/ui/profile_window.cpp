#include "ui/profile_window.h"

namespace ammonite {

ProfileWindow::ProfileWindow(ModelState& model, QWidget* mainWindow)
    : QWidget(nullptr), model_(model), mainWindow_(mainWindow) {
    setWindowTitle(QStringLiteral("Form1"));
    resize(1016, 730);
}

}  // namespace ammonite

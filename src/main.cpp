// The ammonite shell simulator: opens the main window with the default model.
#include <QApplication>

#include "model/model_state.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    static ammonite::ModelState model;
    ammonite::MainWindow window(model);
    window.show();
    return app.exec();
}

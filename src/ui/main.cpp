// The ammonite shell simulator: opens the main window with the default model.
#include <QApplication>

#include <clocale>

#include "model/model_state.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The toolkit takes the user's locale; numbers typed into the boxes and
    // read from files keep '.' as their decimal sign whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    static ammonite::ModelState model;
    ammonite::MainWindow window(model);
    window.show();
    return app.exec();
}

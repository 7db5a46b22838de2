// The ammonite shell simulator: opens the main window with the default model.
#include <QApplication>
#include <QCommandLineParser>

#include <clocale>

#include "core/version.h"
#include "model/model_state.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ammonite"));
    QApplication::setApplicationVersion(QString::fromLatin1(ammonite::kVersion));
    // The desktop entry that starts the program (its icon and name in the
    // desktop's task bar).
    QApplication::setDesktopFileName(QStringLiteral("ammonite"));

    // --help and --version answer and stop; an unknown option is named and
    // stops with status 1.
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Simulator of heteromorph ammonite shells. The profile folder \"ammonite\" is "
                       "looked for in the working directory; ammonite-batch runs the model without windows."));
    options.addHelpOption();
    options.addVersionOption();
    options.process(app);

    // The toolkit takes the user's locale; numbers typed into the boxes and
    // read from files keep '.' as their decimal sign whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    static ammonite::ModelState model;
    ammonite::MainWindow window(model);
    window.show();
    return app.exec();
}

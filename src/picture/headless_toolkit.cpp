#include "picture/headless_toolkit.h"

#include <clocale>
#include <iostream>
#include <mutex>
#include <string>

#include <QGuiApplication>

namespace ammonite {

namespace {

std::string& messagePrefix() {
    static std::string prefix;
    return prefix;
}

QGuiApplication*& madeHere() {
    static QGuiApplication* app = nullptr;
    return app;
}

void toolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << messagePrefix() << message.toStdString() << '\n';
}

}  // namespace

void StartHeadlessToolkit(const HeadlessToolkit& how) {
    static std::once_flag started;
    std::call_once(started, [&how] {
        if (QCoreApplication::instance()) return;  // the program has its own
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        messagePrefix() = how.messagePrefix ? how.messagePrefix : "";
        qInstallMessageHandler(toolkitMessage);
        const char* current = std::setlocale(LC_ALL, nullptr);
        const std::string saved = current ? current : "C";
        static int argc = 1;
        static std::string name;
        name = how.programName ? how.programName : "ammonite";
        static char* argv[] = {name.data(), nullptr};
        madeHere() = new QGuiApplication(argc, argv);  // lives as long as the process
        if (how.keepHostLocale) std::setlocale(LC_ALL, saved.c_str());
        std::setlocale(LC_NUMERIC, "C");
    });
}

void EndHeadlessToolkit() {
    delete madeHere();
    madeHere() = nullptr;
}

}  // namespace ammonite

// Test entry of the window tests: one QApplication on the offscreen platform.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <clocale>
#include <unistd.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The offscreen platform on a 1920 × 1080 screen at 100 %, or with the
    // options a test gives it (a screen of another size or scale).
    const QString screen = QDir::temp().filePath(QStringLiteral("ammonite-ui-test-screen-%1.json").arg(getpid()));
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        QFile file(screen);
        if (file.open(QIODevice::WriteOnly))
            file.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
                       R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).toLocal8Bit());
    }
    // Remembered window places and folders go to a store of the test's own.
    const QString config = QDir::temp().filePath(QStringLiteral("ammonite-ui-test-config-%1").arg(getpid()));
    QDir(config).removeRecursively();
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does after its toolkit takes the user's locale
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(config).removeRecursively();
    QFile::remove(screen);
    return result;
}

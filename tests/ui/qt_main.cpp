// Test entry of the window tests: one QApplication on the offscreen platform.
#include <QApplication>
#include <QDir>

#include <clocale>
#include <unistd.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The offscreen platform, with any options a test gives it (a screen of
    // another size).
    if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Remembered window places and folders go to a store of the test's own.
    const QString config = QDir::temp().filePath(QStringLiteral("ammonite-ui-test-config-%1").arg(getpid()));
    QDir(config).removeRecursively();
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // as the program does after its toolkit takes the user's locale
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    QDir(config).removeRecursively();
    return result;
}

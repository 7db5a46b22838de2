// A window's picture saved for a look by eye, when AMMONITE_SCREENSHOT_DIR
// names a folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

namespace ui_test {

inline void saveGrab(QWidget& w, const char* name) {
    const QByteArray dir = qgetenv("AMMONITE_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    w.grab().save(QString::fromUtf8(dir) + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace ui_test

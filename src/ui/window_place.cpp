#include "ui/window_place.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace ammonite {

QSettings& WindowSettings() {
    static QSettings settings(QStringLiteral("ammonite"), QStringLiteral("ammonite"));
    return settings;
}

void PlaceWindowOnScreen(QWidget* window, const QString& key, QSize preferred) {
    const QByteArray saved = WindowSettings().value(key + QStringLiteral("/geometry")).toByteArray();
    if (!saved.isEmpty() && window->restoreGeometry(saved)) return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window->resize(preferred);
        return;
    }
    // Room for the frame and title bar the window manager adds.
    const QRect room = screen->availableGeometry().adjusted(0, 0, -16, -48);
    QSize size = preferred.boundedTo(room.size()).expandedTo(window->minimumSize());
    window->resize(size);
    window->move(room.topLeft() + QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2));
}

void RememberWindowPlace(QWidget* window, const QString& key) {
    WindowSettings().setValue(key + QStringLiteral("/geometry"), window->saveGeometry());
}

void FollowScreenScale(QWidget* window, const std::function<void()>& refit) {
    static const char* const kWatched = "ammoniteScreenWatched";
    if (QWindow* handle = window->windowHandle(); handle && !window->property(kWatched).toBool()) {
        QObject::connect(handle, &QWindow::screenChanged, window, [refit] { refit(); });
        window->setProperty(kWatched, true);
    }
    refit();
}

}  // namespace ammonite

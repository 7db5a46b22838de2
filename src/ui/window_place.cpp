#include "ui/window_place.h"

#include <algorithm>

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace ammonite {

QSettings& WindowSettings() {
    static QSettings settings(QStringLiteral("ammonite"), QStringLiteral("ammonite"));
    return settings;
}

namespace {

QScreen* screenOf(const QWidget* window) {
    if (QScreen* s = window->screen()) return s;
    return QGuiApplication::primaryScreen();
}

// The screen whose free area holds the frame rectangle whole, if any.
QScreen* screenHolding(const QRect& frame) {
    for (QScreen* s : QGuiApplication::screens())
        if (s->availableGeometry().contains(frame)) return s;
    return nullptr;
}

// Keeps the window whole on its screen each time it is shown: once when it
// appears, and again when the window manager has put its frame around it.
class OnScreenKeeper : public QObject {
public:
    // Found again by its name: without a meta-object of its own, a search by
    // type would take any child of the window for it.
    static QString name() { return QStringLiteral("onScreenKeeper"); }
    explicit OnScreenKeeper(QWidget* window) : QObject(window) {
        setObjectName(name());
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Show && watched == parent()) {
            QPointer<QWidget> w = static_cast<QWidget*>(watched);
            KeepWindowOnScreen(w);
            QTimer::singleShot(0, w, [w] { KeepWindowOnScreen(w); });
            QTimer::singleShot(250, w, [w] { KeepWindowOnScreen(w); });
        }
        return false;
    }
};

}  // namespace

QMargins WindowFrameMargins(const QWidget* window) {
    if (window->isVisible() && window->windowHandle()) {
        const QMargins m = window->windowHandle()->frameMargins();
        if (!m.isNull()) return m;
        // Shown without a frame (no window manager): nothing to leave room for.
        if (window->testAttribute(Qt::WA_Mapped)) return {};
    }
    // Before the window is shown: room for a usual frame and title bar.
    return {6, 40, 6, 6};
}

void PlaceWindowOnScreen(QWidget* window, const QString& key, QSize preferred) {
    if (!window->findChild<QObject*>(OnScreenKeeper::name(), Qt::FindDirectChildrenOnly)) new OnScreenKeeper(window);
    const QByteArray saved = WindowSettings().value(key + QStringLiteral("/geometry")).toByteArray();
    if (!saved.isEmpty() && window->restoreGeometry(saved)) {
        const QRect frame = window->geometry().marginsAdded(WindowFrameMargins(window));
        if (screenHolding(frame)) return;
    }
    QScreen* screen = screenOf(window);
    if (!screen) {
        window->resize(preferred);
        return;
    }
    const QRect free = screen->availableGeometry();
    const QMargins frame = WindowFrameMargins(window);
    const QSize size = preferred.boundedTo(free.marginsRemoved(frame).size()).expandedTo(window->minimumSize());
    window->resize(size);
    // The frame's corner, so that frame and window are centred together.
    const QSize outer = size.grownBy(frame);
    window->move(free.topLeft() +
                 QPoint(std::max(0, (free.width() - outer.width()) / 2), std::max(0, (free.height() - outer.height()) / 2)));
}

bool KeepWindowOnScreen(QWidget* window) {
    if (!window || !window->isVisible() || window->isMaximized() || window->isFullScreen()) return true;
    QScreen* screen = screenOf(window);
    if (!screen) return true;
    const QRect free = screen->availableGeometry();
    const QMargins frame = WindowFrameMargins(window);
    const QRect outer = window->geometry().marginsAdded(frame);
    if (free.contains(outer)) return true;
    // Shrink to the free area, but not below what the window needs.
    const QRect room = free.marginsRemoved(frame);
    const QSize size = window->size().boundedTo(room.size()).expandedTo(window->minimumSize());
    if (size != window->size()) window->resize(size);
    QPoint at = window->pos();  // the frame's top left corner
    const int w = size.width() + frame.left() + frame.right(), h = size.height() + frame.top() + frame.bottom();
    at.setX(std::max(free.left(), std::min(at.x(), free.right() + 1 - w)));
    at.setY(std::max(free.top(), std::min(at.y(), free.bottom() + 1 - h)));
    if (at != window->pos()) window->move(at);
    return false;
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

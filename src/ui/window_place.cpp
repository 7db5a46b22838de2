#include "ui/window_place.h"

#include <algorithm>

#include <QElapsedTimer>
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
// appears, and again once the window manager has put its frame around it.
// The manager tells the frame's size only through a property of the window,
// which raises no event here, and a manager may map the window where the
// program asked with the title bar above the screen; so after each show the
// frame is looked at until it is known and the window lies whole.
class OnScreenKeeper : public QObject {
public:
    // Found again by its name: without a meta-object of its own, a search by
    // type would take any child of the window for it.
    static QString name() { return QStringLiteral("onScreenKeeper"); }
    explicit OnScreenKeeper(QWidget* window) : QObject(window) {
        setObjectName(name());
        window->installEventFilter(this);
        watch_.setInterval(kLookEvery);
        QObject::connect(&watch_, &QTimer::timeout, this, [this] { lookAtFrame(); });
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != parent()) return false;
        if (e->type() == QEvent::Show) {
            QPointer<QWidget> w = static_cast<QWidget*>(watched);
            KeepWindowOnScreen(w);
            QTimer::singleShot(0, w, [w] { KeepWindowOnScreen(w); });
            shownFor_.start();
            watch_.start();
        } else if (e->type() == QEvent::Hide) {
            watch_.stop();
        }
        return false;
    }

private:
    static constexpr int kLookEvery = 50;       // ms
    static constexpr int kGiveUpAfter = 10000;  // ms: no manager frames the window
    void lookAtFrame() {
        auto* w = static_cast<QWidget*>(parent());
        const bool framed = w->isVisible() && w->windowHandle() && !w->windowHandle()->frameMargins().isNull();
        if ((framed && KeepWindowOnScreen(w)) || shownFor_.elapsed() > kGiveUpAfter) watch_.stop();
    }
    QTimer watch_;
    QElapsedTimer shownFor_;
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
    // The window's own rectangle is what the windowing system last reported;
    // the frame is put around it here rather than read from pos() or
    // frameGeometry(), which use a frame size the widget learns only when it
    // is next moved or resized, and may still take as none.
    const QRect outer = window->geometry().marginsAdded(frame);
    if (free.contains(outer)) return true;
    // Shrink to the free area, but not below what the window needs.
    const QRect room = free.marginsRemoved(frame);
    const QSize size = window->size().boundedTo(room.size()).expandedTo(window->minimumSize());
    QPoint at = outer.topLeft();  // the frame's top left corner
    const int w = size.width() + frame.left() + frame.right(), h = size.height() + frame.top() + frame.bottom();
    at.setX(std::max(free.left(), std::min(at.x(), free.right() + 1 - w)));
    at.setY(std::max(free.top(), std::min(at.y(), free.bottom() + 1 - h)));
    const QRect inside(at + QPoint(frame.left(), frame.top()), size);
    if (inside != window->geometry()) window->setGeometry(inside);
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

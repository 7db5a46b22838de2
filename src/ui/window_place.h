// Where the windows open: at a size that fits the screen's free area, or
// where the user left them last time when that place is still whole on a
// screen. Only the windows' places and the last export folder are remembered
// between starts; no model value is.
#pragma once

#include <functional>

#include <QMargins>
#include <QSettings>
#include <QSize>
#include <QString>

class QScreen;
class QWidget;

namespace ammonite {

// The program's remembered places (the user's settings store).
QSettings& WindowSettings();

// The frame and title bar around the window: what the window manager added
// once the window is shown, a generous guess before.
QMargins WindowFrameMargins(const QWidget* window);

// Restores the window's remembered place under `key` when it lies whole, frame
// included, on a present screen; otherwise gives the window the preferred
// size bounded by the free area of the screen it appears on, centred there.
// From then on, every time the window is shown it is moved (and if need be
// shrunk) so that its frame and title bar lie whole on its screen.
void PlaceWindowOnScreen(QWidget* window, const QString& key, QSize preferred);
// Moves and if need be shrinks the shown window so that its frame lies whole
// in its screen's free area; true when it already did.
bool KeepWindowOnScreen(QWidget* window);
// Remembers the window's place under `key`.
void RememberWindowPlace(QWidget* window, const QString& key);
// Calls `refit` now and whenever the shown window moves to another screen, so
// that its pictures follow the screen's pixel ratio. Call it from the window's
// show event; the screen is watched from the first call on.
void FollowScreenScale(QWidget* window, const std::function<void()>& refit);

}  // namespace ammonite

// Where the windows open: at a size that fits the screen's free area, or
// where the user left them last time. Only the windows' places and the last
// export folder are remembered between starts; no model value is.
#pragma once

#include <functional>

#include <QSettings>
#include <QSize>
#include <QString>

class QWidget;

namespace ammonite {

// The program's remembered places (the user's settings store).
QSettings& WindowSettings();

// Restores the window's remembered place under `key`, or gives it the
// preferred size bounded by the screen's free area, centred there.
void PlaceWindowOnScreen(QWidget* window, const QString& key, QSize preferred);
// Remembers the window's place under `key`.
void RememberWindowPlace(QWidget* window, const QString& key);
// Calls `refit` now and whenever the shown window moves to another screen, so
// that its pictures follow the screen's pixel ratio. Call it from the window's
// show event; the screen is watched from the first call on.
void FollowScreenScale(QWidget* window, const std::function<void()>& refit);

}  // namespace ammonite

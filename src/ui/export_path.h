// The name a save dialog hands back, made to match the kind of file written:
// the chosen type's extension is added when none was typed, and a name whose
// extension names another kind of file ("pic.svg" for a PNG picture) becomes
// a question instead of a file of the wrong kind. The folder the dialogs
// start in is the working folder until a file has been saved elsewhere.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace ammonite {

// The extension of a dialog's filter such as "PNG pictures (*.png)", without the dot.
QString FilterExtension(const QString& filter);

// The file `typed` as a name ending in `extension`: unchanged when it does,
// with the extension added when it has none or one no file kind of ours uses,
// and, when it ends in another kind's extension, the corrected name if the
// user agrees to it, otherwise empty (nothing is saved).
QString MatchExportExtension(QWidget* parent, const QString& typed, const QString& extension);

// Asks whether to save under `corrected` instead of `typed`; a test may answer
// in the user's place. Empty: a message box asks.
std::function<bool(const QString& typed, const QString& corrected)>& ExportRenameQuestion();

// The folder save dialogs start in: the last one a file was saved to, while
// it exists, otherwise the working folder.
QString ExportFolder();
// Remembers the folder of `savedPath` for the next save dialog.
void RememberExportFolder(const QString& savedPath);

// The save dialog of the windows: starts at `suggested` (a path), offers
// `filter`, and appends the filter's extension to a name typed without one.
// Empty when cancelled.
QString AskSavePathWithDialog(QWidget* parent, const QString& caption, const QString& suggested,
                              const QString& filter);

}  // namespace ammonite

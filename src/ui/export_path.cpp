#include "ui/export_path.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

#include "ui/window_place.h"

namespace ammonite {

namespace {
// The kinds of file the program writes or reads: a name ending in one of
// these means that kind.
const char* const kKnownExtensions[] = {"png", "svg", "csv", "stl", "ply", "obj", "txt", "json", "toml",
                                        "jpg", "jpeg", "pdf", "gif", "bmp", "tif", "tiff", "webp", "mp4",
                                        "webm", "gltf", "glb", "xlsx", "nc", "npz", "npy", "mtl"};

bool knownExtension(const QString& suffix) {
    for (const char* e : kKnownExtensions)
        if (suffix.compare(QLatin1String(e), Qt::CaseInsensitive) == 0) return true;
    return false;
}
}  // namespace

QString FilterExtension(const QString& filter) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.([A-Za-z0-9]+)")).match(filter);
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

std::function<bool(const QString&, const QString&)>& ExportRenameQuestion() {
    static std::function<bool(const QString&, const QString&)> question;
    return question;
}

QString MatchExportExtension(QWidget* parent, const QString& typed, const QString& extension) {
    if (typed.isEmpty() || extension.isEmpty()) return typed;
    const QFileInfo info(typed);
    const QString suffix = info.suffix();
    if (suffix.compare(extension, Qt::CaseInsensitive) == 0) return typed;
    if (suffix.isEmpty() || !knownExtension(suffix)) return typed + QLatin1Char('.') + extension;
    // "pic.svg" for a PNG: the user may have meant another kind of file.
    const QString corrected = QDir(info.path()).filePath(info.completeBaseName() + QLatin1Char('.') + extension);
    if (ExportRenameQuestion()) return ExportRenameQuestion()(typed, corrected) ? corrected : QString();
    const QString upper = extension.toUpper();
    QString text = QStringLiteral("“%1” is the name of a %2 file, but this saves a %3 file.\n\nSave it as “%4”?")
                       .arg(info.fileName(), suffix.toUpper(), upper, QFileInfo(corrected).fileName());
    if (QFileInfo::exists(corrected)) text += QStringLiteral("\nA file of that name exists and will be replaced.");
    const auto answer = QMessageBox::question(parent, QStringLiteral("Save as %1").arg(upper), text,
                                              QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Save);
    return answer == QMessageBox::Save ? corrected : QString();
}

QString ExportFolder() {
    const QString folder = WindowSettings().value(QStringLiteral("export/folder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::currentPath();
}

void RememberExportFolder(const QString& savedPath) {
    WindowSettings().setValue(QStringLiteral("export/folder"), QFileInfo(savedPath).absolutePath());
}

QString AskSavePathWithDialog(QWidget* parent, const QString& caption, const QString& suggested,
                              const QString& filter) {
    QFileDialog dialog(parent, caption, suggested, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(FilterExtension(filter));
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                   : QString();
}

}  // namespace ammonite

#include "ui/scenario_files.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include "model/scenario_file.h"
#include "ui/window_place.h"

namespace ammonite {

namespace {
const QString kRecentKey = QStringLiteral("scenario/recent");
const QString kFilter = QStringLiteral(
    "Scenario files (*.toml);;Pictures and meshes that carry a scenario (*.png *.svg *_volumes.txt);;All files (*)");
}  // namespace

ScenarioFiles::ScenarioFiles(QWidget& window, MainWindowLogic& logic, QPushButton* button)
    : QObject(&window), window_(window), logic_(logic), scenario_(logic) {
    askOpenPath = [this](const QString& caption, const QString& folder) {
        return QFileDialog::getOpenFileName(&window_, caption, folder, kFilter);
    };
    askSavePath = [this](const QString& caption, const QString& suggested) {
        QFileDialog dialog(&window_, caption, suggested, QStringLiteral("Scenario files (*.toml)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("toml"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    askUnsaved = [this] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Form1"),
                        QStringLiteral("The inputs were changed since the scenario was last opened or saved."),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, &window_);
        box.setInformativeText(QStringLiteral("Save them as a scenario before closing?"));
        box.setDefaultButton(QMessageBox::Save);
        switch (box.exec()) {
        case QMessageBox::Save: return Unsaved::Save;
        case QMessageBox::Discard: return Unsaved::Discard;
        default: return Unsaved::Cancel;
        }
    };

    menu_ = new QMenu(button);
    menu_->setObjectName(QStringLiteral("fileMenu"));
    auto add = [&](const char* name, const QString& text, const QKeySequence& keys, auto handler) {
        auto* action = new QAction(text, &window_);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        window_.addAction(action);  // the keys work anywhere in the window
        menu_->addAction(action);
    };
    add("openScenarioAction", QStringLiteral("Open scenario…"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
        const QStringList last = recent();
        const QString folder = last.isEmpty() ? QDir::currentPath() : QFileInfo(last.front()).absolutePath();
        const QString path = askOpenPath(QStringLiteral("Open scenario"), folder);
        if (!path.isEmpty()) openFile(path);
    });
    add("saveScenarioAction", QStringLiteral("Save scenario"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { save(); });
    add("saveScenarioAsAction", QStringLiteral("Save scenario as…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        [this] {
            const QString suggested = path_.isEmpty() ? QDir::current().filePath(QStringLiteral("shell.toml")) : path_;
            const QString path = askSavePath(QStringLiteral("Save scenario as"), suggested);
            if (!path.isEmpty()) saveAs(path);
        });
    menu_->addSeparator();
    recentMenu_ = menu_->addMenu(QStringLiteral("Recent scenarios"));
    recentMenu_->setObjectName(QStringLiteral("recentScenarios"));
    rebuildRecent();
    button->setMenu(menu_);
    updateTitle();
}

QStringList ScenarioFiles::recent() const { return WindowSettings().value(kRecentKey).toStringList(); }

void ScenarioFiles::showError(const std::string& message) { logic_.statusLine.setCaption(message); }

bool ScenarioFiles::openFile(const QString& path) {
    Scenario s;
    std::string error;
    if (!ReadScenarioFrom(path.toStdString(), s, error)) {
        showError(error);
        return false;
    }
    ModelDocument::Batch batch(logic_.document);
    scenario_.open(s);
    // A picture or a mesh is not where the scenario is saved back to.
    path_ = path.endsWith(QStringLiteral(".toml"), Qt::CaseInsensitive) ? path : QString();
    remember(path);
    updateTitle();
    emit opened();
    return true;
}

bool ScenarioFiles::save() {
    if (path_.isEmpty()) {
        const QString path = askSavePath(QStringLiteral("Save scenario"), QDir::current().filePath(QStringLiteral("shell.toml")));
        return !path.isEmpty() && saveAs(path);
    }
    return saveAs(path_);
}

bool ScenarioFiles::saveAs(const QString& given) {
    QString path = given;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".toml");
    Scenario s;
    std::string error;
    if (!scenario_.current(s, error) || !WriteScenarioFile(path.toStdString(), s, error)) {
        showError(error);
        return false;
    }
    scenario_.saved(s);
    path_ = path;
    remember(path);
    updateTitle();
    logic_.statusLine.setCaption("");
    emit saved(path);
    return true;
}

bool ScenarioFiles::regrow() {
    Scenario s;
    std::string error;
    if (!scenario_.current(s, error)) {
        showError(error);
        return false;
    }
    ModelDocument::Batch batch(logic_.document);
    const Scenario reference = scenario_.reference();
    scenario_.open(s);
    scenario_.saved(reference);
    return true;
}

void ScenarioFiles::growCell(const Scenario& scenario) {
    ModelDocument::Batch batch(logic_.document);
    const Scenario reference = scenario_.reference();
    scenario_.open(scenario);
    scenario_.saved(reference);
    emit opened();
}

std::string ScenarioFiles::currentToml() const {
    Scenario s;
    std::string error;
    return scenario_.current(s, error) ? ScenarioToml(s) : std::string();
}

void ScenarioFiles::startFinished() {
    scenario_.startFinished();
}

bool ScenarioFiles::confirmClose() {
    if (!scenario_.edited()) return true;
    switch (askUnsaved()) {
    case Unsaved::Save: return save();
    case Unsaved::Discard: return true;
    case Unsaved::Cancel: return false;
    }
    return false;
}

void ScenarioFiles::remember(const QString& path) {
    QStringList list = recent();
    const QString full = QFileInfo(path).absoluteFilePath();
    list.removeAll(full);
    list.prepend(full);
    while (list.size() > kRecentCount) list.removeLast();
    WindowSettings().setValue(kRecentKey, list);
    rebuildRecent();
}

void ScenarioFiles::rebuildRecent() {
    recentMenu_->clear();
    const QStringList list = recent();
    for (int i = 0; i < list.size(); ++i) {
        const QString path = list[i];
        auto* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
    }
    recentMenu_->setEnabled(!list.isEmpty());
}

void ScenarioFiles::updateTitle() {
    const std::string& name = scenario_.reference().name;
    if (!name.empty()) window_.setWindowTitle(QString::fromStdString(name));
    else if (!path_.isEmpty()) window_.setWindowTitle(QFileInfo(path_).completeBaseName());
    else window_.setWindowTitle(QStringLiteral("Form1"));
}

}  // namespace ammonite

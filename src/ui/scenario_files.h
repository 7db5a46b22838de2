// The main window's File menu: Open scenario (Ctrl+O), Save scenario
// (Ctrl+S), Save scenario as (Ctrl+Shift+S) and the scenarios opened or
// saved last. The window's title names the open scenario ("Form1" while
// none is open), and closing the window asks before edited inputs are lost.
#pragma once

#include <functional>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "app/window_scenario.h"

class QMenu;
class QPushButton;
class QWidget;

namespace ammonite {

class ScenarioFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int kRecentCount = 5;
    enum class Unsaved { Save, Discard, Cancel };

    // `window` gets the actions (their keys work anywhere in it) and the
    // title; `button` gets the menu.
    ScenarioFiles(QWidget& window, MainWindowLogic& logic, QPushButton* button);

    WindowScenario& scenario() { return scenario_; }
    const QString& path() const { return path_; }
    QStringList recent() const;
    QMenu* menu() const { return menu_; }

    // Each returns false after showing why in the main window's status line.
    // Opens a scenario file, or the scenario a PNG, SVG or mesh sidecar of
    // this program carries, and grows it from a fresh start.
    bool openFile(const QString& path);
    bool save();                            // to the open file, or as asked
    bool saveAs(const QString& path);
    // Grows the window's scenario again from a fresh start (VIEW's "update
    // the main window"): the window then shows the shell VIEW shows. The
    // inputs stay as they are, edited or not.
    bool regrow();
    // Grows `scenario` from a fresh start in the window, as a MORPHO cell
    // opens: the inputs become the cell's, the open file stays the reference,
    // and the other windows read the model again.
    void growCell(const Scenario& scenario);

    // The text of the window's scenario for the files it exports ("" when the
    // inputs cannot be held by a scenario).
    std::string currentToml() const;

    // Around the user's START and after SHADE.
    void startPressed() { scenario_.startPressed(); }
    void startFinished();
    void shadePressed() { scenario_.shadePressed(); }

    // True when the window may close: nothing edited since the scenario was
    // last opened or saved, or the user saved or discarded the edits.
    bool confirmClose();

    // Where the actions ask; a test can answer in the user's place. An empty
    // name cancels.
    std::function<QString(const QString& caption, const QString& folder)> askOpenPath;
    std::function<QString(const QString& caption, const QString& suggested)> askSavePath;
    std::function<Unsaved()> askUnsaved;

signals:
    // The model was replaced by an opened scenario: the other windows read it again.
    void opened();
    // A line for the window's information line ("Saved x.toml").
    void saved(const QString& path);

private:
    void remember(const QString& path);
    void rebuildRecent();
    void updateTitle();
    void showError(const std::string& message);

    QWidget& window_;
    MainWindowLogic& logic_;
    WindowScenario scenario_;
    QString path_;  // the scenario file open, "" when none
    QMenu* menu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
};

}  // namespace ammonite

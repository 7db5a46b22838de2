#include "ui/fit_command.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QFileInfo>

#include "model/profile_file.h"
#include "ui/export_path.h"
#include "ui/main_window.h"
#include "ui/view_window.h"

namespace ammonite {

FitTask::FitTask(Specimen specimen, FitOptions options, QString name, QWidget* dialogParent)
    : specimen_(std::move(specimen)), options_(options), name_(std::move(name)) {
    progress_ = new QProgressDialog(QStringLiteral("Fitting the profiles to %1…").arg(name_),
                                    QStringLiteral("Cancel"), 0, options_.maxEvaluations, dialogParent);
    progress_->setObjectName(QStringLiteral("fitProgress"));
    progress_->setWindowTitle(QStringLiteral("Fit to specimen"));
    // The windows stay usable while the fit runs.
    progress_->setWindowModality(Qt::NonModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    connect(progress_, &QProgressDialog::canceled, this, [this] { cancel(); });
    progress_->show();
    thread_ = std::thread([this] {
        FitSpecimen(specimen_, options_, result_, error_, [this](const FitProgress& p) {
            evaluations_ = p.evaluations;
            budget_ = p.budget;
            bestRms_ = p.bestRmsMm;
            return !cancel_.load();
        });
        done_ = true;
    });
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(100);
}

FitTask::~FitTask() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
    delete progress_;
}

void FitTask::poll() {
    if (done_.load()) {
        timer_.stop();
        if (thread_.joinable()) thread_.join();
        progress_->hide();
        emit finished(this);
        return;
    }
    progress_->setMaximum(std::max(1, budget_.load()));
    progress_->setValue(std::min(evaluations_.load(), progress_->maximum()));
    if (bestRms_.load() > 0)
        progress_->setLabelText(QStringLiteral("Fitting the profiles to %1…\nbest RMS so far %2 mm")
                                    .arg(name_)
                                    .arg(bestRms_.load(), 0, 'g', 4));
}

void MainWindow::addFitToFileMenu(QPushButton* fileButton) {
    // Beside "Open scenario…": a fit opens a specimen and ends in a scenario.
    QMenu* menu = fileButton->menu();
    if (!menu) return;
    auto* action = new QAction(QStringLiteral("Fit to specimen…"), this);
    action->setObjectName(QStringLiteral("fitSpecimenAction"));
    connect(action, &QAction::triggered, this, [this] { fitToSpecimen(); });
    addAction(action);
    QAction* before = nullptr;
    const QList<QAction*> actions = menu->actions();
    for (int i = 0; i + 1 < actions.size(); ++i)
        if (actions[i]->objectName() == QLatin1String("openScenarioAction")) before = actions[i + 1];
    menu->insertAction(before, action);
}

void MainWindow::fitToSpecimen() {
    QString path;
    if (askSpecimenPath) {
        path = askSpecimenPath();
    } else {
        path = QFileDialog::getOpenFileName(this, QStringLiteral("Fit to specimen"), ExportFolder(),
                                            QStringLiteral("Specimen files (*.csv);;All files (*)"));
    }
    if (path.isEmpty()) return;
    fitToSpecimenFile(path);
}

void MainWindow::fitToSpecimenFile(const QString& path) {
    if (fitTask_) {
        showError("A fit is already running: cancel it first.");
        return;
    }
    Specimen specimen;
    std::string error;
    if (!ReadSpecimenFile(path.toStdString(), specimen, error)) {
        showError("Not fitted: " + error);
        return;
    }
    FitOptions options;
    options.densities = model_.densities;
    fitTask_ = new FitTask(std::move(specimen), options, QFileInfo(path).fileName(), this);
    fitTask_->setParent(this);
    infoLine_->setText(QStringLiteral("Fitting %1…").arg(QFileInfo(path).fileName()));
    connect(fitTask_, &FitTask::finished, this, [this](FitTask* task) { fitFinished(task); });
}

void MainWindow::fitFinished(FitTask* task) {
    task->deleteLater();
    fitTask_ = nullptr;
    if (!task->error().empty()) {
        showError("Not fitted: " + task->error());
        return;
    }
    const FitResult& fit = task->result();
    if (fit.cancelled) {
        infoLine_->setText(QStringLiteral("Fit cancelled; the profiles are unchanged."));
        return;
    }
    // The fitted profiles go into GRAPH as one step that its undo takes back.
    auto fitted = std::make_unique<ModelState>(model_);
    fit.applyTo(*fitted);
    openProfileWindow();
    profileWindow_->logic().ReplaceProfiles(ProfileFileContents::from(*fitted),
                                            "Fitted to " + task->name().toStdString() + " (undo restores the old profiles).");
    profileWindow_->update();
    // The fitted shell in the main window.
    logic_->ShowModelStages();
    logic_->ClickStart();
    refresh();
    // Its points and residuals over the shell in VIEW.
    std::vector<std::pair<Vec3, Vec3>> points;
    for (const FitResidual& r : fit.residuals) points.emplace_back(fit.toModel(r.measured), fit.toModel(r.fitted));
    const RunState& run = logic_->run;
    const Vec3 centre{run.centreXByStage[fit.stages], run.centreYByStage[fit.stages], run.centreZByStage[fit.stages]};
    if (ViewWindow* view = OpenViewWindow(*this)) {
        view->logic().setSpecimen(std::move(points), fit.stages, centre);
        view->poll();
        view->view()->update();
    }
    infoLine_->setText(QString::fromStdString(fit.message));
}

}  // namespace ammonite

#include "ui/view_window.h"

#include <cmath>
#include <functional>
#include <string>

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "ui/film_dialog.h"
#include "ui/main_window.h"
#include "ui/window_place.h"

namespace ammonite {

namespace {
constexpr int kSettleMs = 180;    // quiet time after which the full mesh is drawn
const char* const kHint =
    "Left drag: turn  ·  right or middle drag: move  ·  wheel: zoom  ·  double-click or F: fit  ·  "
    "1–6: front, back, left, right, top, bottom";
}  // namespace

// ---- the picture ----

MeshViewWidget::MeshViewWidget(View3DLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
    setObjectName(QStringLiteral("VIEWpct"));
    setMinimumSize(320, 240);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        logic_.settle();
        update();
    });
}

QPoint MeshViewWidget::picturePoint(const QPointF& p) const {
    const qreal ratio = devicePixelRatioF();
    return {static_cast<int>(std::lround(p.x() * ratio)), static_cast<int>(std::lround(p.y() * ratio))};
}

void MeshViewWidget::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(std::max(1, static_cast<int>(std::lround(width() * ratio))),
                       std::max(1, static_cast<int>(std::lround(height() * ratio))));
    if (frame_.size() != pixels) frame_ = QImage(pixels, QImage::Format_ARGB32);
    PixelBuffer buffer{reinterpret_cast<std::uint32_t*>(frame_.bits()), frame_.width(), frame_.height(),
                       static_cast<int>(frame_.bytesPerLine() / 4)};
    logic_.render(buffer);
    frame_.setDevicePixelRatio(ratio);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), frame_);
    if (!logic_.hasShell()) {
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(logic_.message()));
    }
}

void MeshViewWidget::mousePressEvent(QMouseEvent* e) {
    const QPoint p = picturePoint(e->position());
    if (e->button() == Qt::LeftButton)
        logic_.press(p.x(), p.y(), DragMode::Orbit);
    else if (e->button() == Qt::RightButton || e->button() == Qt::MiddleButton)
        logic_.press(p.x(), p.y(), DragMode::Pan);
    settle_.stop();
}

void MeshViewWidget::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))) return;
    const QPoint p = picturePoint(e->position());
    logic_.drag(p.x(), p.y());
    update();
    emit cameraMoved();
}

void MeshViewWidget::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = picturePoint(e->position());
    logic_.drag(p.x(), p.y());
    logic_.release();
    update();
    emit cameraMoved();
}

void MeshViewWidget::mouseDoubleClickEvent(QMouseEvent*) {
    logic_.settle();
    logic_.fit();
    update();
    emit cameraMoved();
}

void MeshViewWidget::wheelEvent(QWheelEvent* e) {
    const double steps = e->angleDelta().y() / 120.0;
    if (steps == 0) return;
    logic_.beginInteraction();
    logic_.zoom(steps);
    settle_.start();
    update();
    emit cameraMoved();
}

// ---- the window ----

ViewWindow::ViewWindow(MainWindow& main) : QWidget(&main, Qt::Window), main_(main) {
    setObjectName(QStringLiteral("VIEW"));
    setWindowTitle(QStringLiteral("VIEW"));

    view_ = new MeshViewWidget(logic_, this);

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("STAGEsld"));
    slider_->setRange(1, 1);
    slider_->setEnabled(false);
    slider_->setToolTip(QStringLiteral("The shell as it stood at an earlier stage, in the orientation it had then"));
    stageText_ = new QLabel(this);
    stageText_->setObjectName(QStringLiteral("STAGElbl"));
    stageText_->setMinimumWidth(110);

    auto label = [this](const char* name, const char* caption) {
        auto* l = new QLabel(QString::fromUtf8(caption), this);
        if (name) l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    orientation_ = label("ORIlbl", "");
    density_ = label("DNSlbl", "");
    ptRatio_ = label("PTRlbl", "");
    stability_ = label("STBlbl", "");
    for (QLabel* value : {orientation_, density_, ptRatio_, stability_}) value->setMinimumWidth(64);
    stability_->setToolTip(
        QStringLiteral("Distance between the centres of buoyancy (cyan) and mass (magenta) over the cube root of the volume"));

    live_ = new QCheckBox(QStringLiteral("Live"), this);
    live_->setObjectName(QStringLiteral("LIVEchk"));
    live_->setToolTip(QStringLiteral("Regrow the shell whenever a profile, setting, threshold or the stage count changes"));
    updateMain_ = new QCheckBox(QStringLiteral("update main window"), this);
    updateMain_->setObjectName(QStringLiteral("MAINchk"));
    updateMain_->setToolTip(QStringLiteral("With Live on, grow the same shell in the main window (from a fresh start) once it has settled"));
    updateMain_->setEnabled(false);
    growing_ = new QLabel(this);
    growing_->setObjectName(QStringLiteral("GROWlbl"));
    growing_->setStyleSheet(QStringLiteral("color: rgb(90, 90, 90);"));
    auto* fit = new QPushButton(QStringLiteral("Fit"), this);
    fit->setObjectName(QStringLiteral("FITcmd"));
    fit->setFocusPolicy(Qt::NoFocus);
    auto* film = new QPushButton(QStringLiteral("Record film…"), this);
    film->setObjectName(QStringLiteral("FILMcmd"));
    film->setFocusPolicy(Qt::NoFocus);
    auto* hint = label(nullptr, kHint);
    hint->setStyleSheet(QStringLiteral("color: rgb(90, 90, 90);"));
    hint->setWordWrap(true);
    status_ = label("statusLine", "");
    status_->setStyleSheet(QStringLiteral("color: rgb(160, 0, 0);"));
    status_->setWordWrap(true);

    auto* stageRow = new QHBoxLayout;
    stageRow->addWidget(label(nullptr, "Stage"));
    stageRow->addWidget(slider_, 1);
    stageRow->addWidget(stageText_);

    auto* readout = new QHBoxLayout;
    readout->addWidget(label(nullptr, "Orientation = "));
    readout->addWidget(orientation_);
    readout->addSpacing(16);
    readout->addWidget(label(nullptr, "Density = "));
    readout->addWidget(density_);
    readout->addSpacing(16);
    readout->addWidget(label(nullptr, "P/T ratio (%) = "));
    readout->addWidget(ptRatio_);
    readout->addSpacing(16);
    readout->addWidget(label(nullptr, "Stability = "));
    readout->addWidget(stability_);
    readout->addStretch(1);

    auto* switches = new QHBoxLayout;
    switches->addWidget(live_);
    switches->addWidget(updateMain_);
    switches->addSpacing(16);
    switches->addWidget(growing_);
    switches->addStretch(1);
    switches->addWidget(film);
    switches->addWidget(fit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(stageRow);
    layout->addLayout(readout);
    layout->addLayout(switches);
    layout->addWidget(hint);
    layout->addWidget(status_);
    PlaceWindowOnScreen(this, QStringLiteral("view"), QSize(900, 760));

    connect(fit, &QPushButton::clicked, this, [this] {
        logic_.fit();
        view_->update();
    });
    connect(film, &QPushButton::clicked, this, [this] {
        auto* dialog = findChild<FilmDialog*>(QStringLiteral("FILM"), Qt::FindDirectChildrenOnly);
        if (!dialog) dialog = new FilmDialog(this);
        // The film shows the shell VIEW shows now, and turns at its stage.
        if (logic_.hasShell())
            dialog->setShell(logic_.shell().model, logic_.shell().run, logic_.stage(),
                             view_->size() * view_->devicePixelRatioF());
        dialog->show();
        dialog->raise();
    });
    connect(live_, &QCheckBox::toggled, this, [this](bool on) {
        updateMain_->setEnabled(on);
        // The main window's shell is the scenario's as it stands: nothing to regrow.
        if (on && main_.scenarioFiles().scenario().shownIsCurrent()) queue_.acceptShown(liveKey());
        if (on) poll();
    });
    sliderSettle_.setSingleShot(true);
    sliderSettle_.setInterval(kSettleMs);
    connect(&sliderSettle_, &QTimer::timeout, this, [this] {
        logic_.settle();
        view_->update();
    });
    connect(slider_, &QSlider::valueChanged, this, [this](int s) {
        logic_.beginInteraction();
        if (!logic_.setStage(s)) setStatus(logic_.message());
        showReadout();
        sliderSettle_.start();
        view_->update();
    });
    connect(slider_, &QSlider::sliderReleased, this, [this] {
        sliderSettle_.stop();
        logic_.settle();
        view_->update();
    });

    worker_ = std::make_unique<ViewShellWorker>(
        [this](std::shared_ptr<ViewShell> shell, bool grown) {
            QMetaObject::invokeMethod(this, [this, shell, grown] { receive(shell, grown); }, Qt::QueuedConnection);
        },
        [this](std::shared_ptr<const RunState> run, std::shared_ptr<ViewMesh> full) {
            QMetaObject::invokeMethod(this, [this, run, full] { receiveFull(run, full); }, Qt::QueuedConnection);
        });

    following_ = main_.document().listen([this](ModelDocument::Change what, const void*) { follow(what); });
    showReadout();
}

ViewWindow::~ViewWindow() {
    following_.reset();
    worker_.reset();  // waits for the shell under way; what it posts is dropped with this window
}

void ViewWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    poll();
}

void ViewWindow::hideEvent(QHideEvent* e) {
    // Closed, VIEW grows nothing; it catches up when shown again.
    RememberWindowPlace(this, QStringLiteral("view"));
    QWidget::hideEvent(e);
}

std::uint64_t ViewWindow::liveKey() {
    // The window's scenario names everything that shapes the shell, and how
    // many STARTs grew it.
    return std::hash<std::string>{}(main_.scenarioFiles().currentToml());
}

void ViewWindow::follow(ModelDocument::Change what) {
    if (regrowingMain_) return;  // the main window grows the shell shown here
    if (what == ModelDocument::Change::Run || what == ModelDocument::Change::Replaced) runChanged_ = true;
    poll();
}

void ViewWindow::poll() {
    if (!isVisible()) return;
    if (live_->isChecked() && queue_.inputsAre(liveKey())) {
        if (busy_)
            growthDeferred_ = true;
        else
            launch(true);
        return;
    }
    // A START in the main window: show its shell.
    if ((!hasShownRun_ || runChanged_) && !busy_ && !queue_.running()) {
        hasShownRun_ = true;
        runChanged_ = false;
        launch(false);
    }
}

void ViewWindow::launch(bool grow) {
    busy_ = true;
    growing_->setText(grow ? QStringLiteral("growing the shell…") : QStringLiteral("building the shell…"));
    const MainWindowLogic& mainLogic = main_.logic();
    ViewJob job;
    job.model = std::make_unique<ModelState>(mainLogic.model);
    job.run = std::make_unique<RunState>(mainLogic.run);
    job.grow = grow;
    job.scaleText = mainLogic.SCLtxt.text();
    // A live regrowth grows the window's scenario from a fresh start.
    Scenario scenario;
    std::string error;
    if (grow && main_.scenarioFiles().scenario().current(scenario, error)) job.scenario = scenario;
    worker_->submit(std::move(job));
}

void ViewWindow::receiveFull(const std::shared_ptr<const RunState>& run, const std::shared_ptr<ViewMesh>& full) {
    if (logic_.setFullMesh(run.get(), std::move(*full))) view_->update();
}

void ViewWindow::receive(const std::shared_ptr<ViewShell>& shell, bool grown) {
    busy_ = false;
    growing_->clear();
    ++received_;
    const bool grewWhole = shell->error.empty();
    if (!grewWhole && logic_.hasShell()) {
        // A growth that stopped keeps the last good shell on show.
        setStatus(shell->error);
    } else {
        const bool atEnd = slider_->value() == slider_->maximum();
        const int stage = slider_->value();
        logic_.setShell(std::move(*shell));
        if (!atEnd && logic_.hasShell()) {
            logic_.setStage(stage);
            if (!logic_.interacting()) logic_.settle();  // a drag under way ends with its own
        }
        setStatus(logic_.hasShell() ? "" : logic_.message());
        showShell();
    }
    if (grown) {
        if (queue_.growthEnded()) {
            if (live_->isChecked()) {
                launch(true);
                return;
            }
            queue_.forget();  // Live was switched off meanwhile
        }
        if (live_->isChecked() && updateMain_->isChecked() && grewWhole) {
            // The shell has settled: the main window grows the same scenario from a
            // fresh start, so both show one shell.
            regrowingMain_ = true;
            main_.scenarioFiles().regrow();
            regrowingMain_ = false;
            queue_.acceptShown(liveKey());
            hasShownRun_ = true;
            runChanged_ = false;
        }
    }
    if (growthDeferred_) {
        growthDeferred_ = false;
        launch(true);
        return;
    }
    // What was set while this shell was being built.
    poll();
}

void ViewWindow::showShell() {
    {
        QSignalBlocker block(slider_);
        slider_->setEnabled(logic_.hasShell());
        slider_->setRange(1, std::max(1, logic_.lastStage()));
        slider_->setValue(std::max(1, logic_.stage()));
    }
    showReadout();
    view_->update();
}

void ViewWindow::showReadout() {
    const View3DLogic::Readout r = logic_.readout();
    stageText_->setText(QString::fromStdString(r.stage));
    orientation_->setText(QString::fromStdString(r.orientation));
    density_->setText(QString::fromStdString(r.density));
    ptRatio_->setText(QString::fromStdString(r.ptRatio));
    stability_->setText(QString::fromStdString(r.stability));
}

void ViewWindow::setStatus(const std::string& text) { status_->setText(QString::fromStdString(text)); }

void ViewWindow::keyPressEvent(QKeyEvent* e) {
    static const std::pair<int, AxisView> views[] = {{Qt::Key_1, AxisView::Front}, {Qt::Key_2, AxisView::Back},
                                                     {Qt::Key_3, AxisView::Left},  {Qt::Key_4, AxisView::Right},
                                                     {Qt::Key_5, AxisView::Top},   {Qt::Key_6, AxisView::Bottom}};
    for (const auto& [key, view] : views) {
        if (e->key() == key) {
            logic_.axisView(view);
            view_->update();
            return;
        }
    }
    switch (e->key()) {
    case Qt::Key_F:
    case Qt::Key_Home:
        logic_.fit();
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        logic_.zoom(1);
        break;
    case Qt::Key_Minus:
        logic_.zoom(-1);
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    view_->update();
}

ViewWindow* OpenViewWindow(MainWindow& main) {
    auto* window = main.findChild<ViewWindow*>(QStringLiteral("VIEW"), Qt::FindDirectChildrenOnly);
    if (!window) window = new ViewWindow(main);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QPushButton* AttachViewButton(MainWindow& main, QPushButton* button) {
    QObject::connect(button, &QPushButton::clicked, &main, [&main] { OpenViewWindow(main); });
    auto* action = new QAction(QStringLiteral("VIEW"), &main);
    action->setObjectName(QStringLiteral("viewAction"));
    action->setShortcut(QKeySequence(Qt::Key_F3));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, &main, [&main] { OpenViewWindow(main); });
    main.addAction(action);
    return button;
}

}  // namespace ammonite

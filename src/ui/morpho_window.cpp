#include "ui/morpho_window.h"

#include <cmath>

#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/export_path.h"
#include "ui/main_window.h"
#include "ui/scenario_files.h"
#include "ui/window_place.h"
#include "picture/svg_text_style.h"

namespace ammonite {

// ---- the map view ------------------------------------------------------------

MorphoMapView::MorphoMapView(ImageSurface& surface, QWidget* parent) : SurfaceView(surface, parent, true) {
    // Readable down to half its size.
    setMinimumSize(surface.width() / 2, surface.height() / 2);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void MorphoMapView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint at = toUnits(e->position());
    emit hovered(at.x(), at.y());
}

void MorphoMapView::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint at = toUnits(e->position());
    if (e->button() == Qt::LeftButton && pictureRect().contains(e->position())) emit clicked(at.x(), at.y());
}

void MorphoMapView::leaveEvent(QEvent*) { emit left(); }

// ---- the window ----------------------------------------------------------------

MorphoAxisTexts MorphoWindow::AxisBoxes::texts() const {
    return {name->currentText().toStdString(), from->text().toStdString(), to->text().toStdString(),
            steps->text().toStdString()};
}

MorphoWindow::AxisBoxes MorphoWindow::makeAxis(const char* prefix, const char* name, const char* from,
                                                const char* to, const char* steps) {
    AxisBoxes a;
    const QString p = QString::fromLatin1(prefix);
    a.name = new QComboBox(this);
    a.name->setObjectName(p + QStringLiteral("Name"));
    for (const std::string& n : MorphoAxisNames()) a.name->addItem(QString::fromStdString(n));
    a.name->setCurrentText(QString::fromLatin1(name));
    auto edit = [&](const char* suffix, const char* text, int width) {
        auto* e = new QLineEdit(QString::fromLatin1(text), this);
        e->setObjectName(p + QString::fromLatin1(suffix));
        e->setFixedWidth(width);
        return e;
    };
    a.from = edit("From", from, 80);
    a.to = edit("To", to, 80);
    a.steps = edit("Steps", steps, 50);
    // Enter in any of the boxes runs the grid, as RUN does.
    for (QLineEdit* e : {a.from, a.to, a.steps}) connect(e, &QLineEdit::returnPressed, this, [this] { run(); });
    // A newly chosen input starts from a range worth a first look.
    connect(a.name, &QComboBox::activated, this, [a] {
        std::string f, t;
        MorphoDefaultRange(a.name->currentText().toStdString(), f, t);
        a.from->setText(QString::fromStdString(f));
        a.to->setText(QString::fromStdString(t));
    });
    return a;
}

MorphoWindow::MorphoWindow(MainWindowLogic& main, QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(main), surface_(kMapWidth, kMapHeight, ImageSurface::screenResolution()) {
    setObjectName(QStringLiteral("MORPHO"));
    setWindowTitle(QStringLiteral("MORPHO"));
    askSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return AskSavePathWithDialog(this, caption, suggested, filter);
    };

    x_ = makeAxis("x", "alpha", "1.002", "1.008", "10");
    y_ = makeAxis("y", "density_body", "1", "1.6", "10");
    auto* axes = new QGridLayout;
    const char* captions[] = {"", "input", "FROM", "TO", "STEPS"};
    for (int c = 1; c < 5; ++c) axes->addWidget(new QLabel(QString::fromLatin1(captions[c]), this), 0, c);
    int row = 1;
    for (const auto& [caption, a] : {std::pair<const char*, AxisBoxes*>{"X", &x_}, {"Y", &y_}}) {
        axes->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
        axes->addWidget(a->name, row, 1);
        axes->addWidget(a->from, row, 2);
        axes->addWidget(a->to, row, 3);
        axes->addWidget(a->steps, row, 4);
        ++row;
    }

    resultBox_ = new QComboBox(this);
    resultBox_->setObjectName(QStringLiteral("resultBox"));
    for (int k = 0; k < kMorphoResultCount; ++k)
        resultBox_->addItem(QString::fromStdString(MorphoResultCaption(static_cast<MorphoResult>(k))));
    connect(resultBox_, &QComboBox::currentIndexChanged, this, [this](int k) {
        logic_.SetResult(static_cast<MorphoResult>(k));
        redraw();
    });

    runButton_ = new QPushButton(QStringLiteral("RUN"), this);
    runButton_->setObjectName(QStringLiteral("RUNcmd"));
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setObjectName(QStringLiteral("CANCELcmd"));
    cancelButton_->setEnabled(false);
    connect(runButton_, &QPushButton::clicked, this, [this] { run(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel(); });
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    // Before the first RUN there is nothing to count.
    progress_->setFormat(QStringLiteral("no shells grown yet"));

    auto* exportButton = new QPushButton(QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("EXPORTcmd"));
    auto* menu = new QMenu(exportButton);
    auto add = [&](const char* name, const QString& text, auto handler) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
    };
    add("saveCsvAction", QStringLiteral("Grid as CSV…"), [this] {
        exportWithDialog(QStringLiteral("Save the grid"), QStringLiteral("morphospace.csv"),
                         QStringLiteral("CSV tables (*.csv)"), [this](const QString& p) { return saveCsv(p); });
    });
    add("savePngAction", QStringLiteral("Map as PNG…"), [this] {
        exportWithDialog(QStringLiteral("Save the map as PNG"), QStringLiteral("morphospace.png"),
                         QStringLiteral("PNG pictures (*.png)"), [this](const QString& p) { return savePng(p); });
    });
    add("saveSvgAction", QStringLiteral("Map as SVG…"), [this] {
        exportWithDialog(QStringLiteral("Save the map as SVG"), QStringLiteral("morphospace.svg"),
                         QStringLiteral("SVG drawings (*.svg)"), [this](const QString& p) { return saveSvg(p); });
    });
    exportButton->setMenu(menu);

    auto* actions = new QGridLayout;
    actions->addWidget(new QLabel(QStringLiteral("map of"), this), 0, 0);
    actions->addWidget(resultBox_, 0, 1, 1, 3);
    actions->addWidget(runButton_, 1, 0);
    actions->addWidget(cancelButton_, 1, 1);
    actions->addWidget(exportButton, 1, 2);
    actions->addWidget(progress_, 2, 0, 1, 4);

    auto* top = new QHBoxLayout;
    top->addLayout(axes);
    top->addSpacing(24);
    top->addLayout(actions);
    top->addStretch(1);

    view_ = new MorphoMapView(surface_, this);
    view_->setObjectName(QStringLiteral("map"));
    view_->setToolTip(QString());
    connect(view_, &MorphoMapView::hovered, this, [this](int x, int y) {
        const QString text = QString::fromStdString(logic_.HoverText(kMapWidth, kMapHeight, x, y));
        hoverLine_->setText(QString(text).replace(QLatin1Char('\n'), QStringLiteral("   ")));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos() + QPoint(12, 12), text, view_);
    });
    connect(view_, &MorphoMapView::left, this, [this] { hoverLine_->clear(); });
    connect(view_, &MorphoMapView::clicked, this, [this](int x, int y) {
        size_t index = 0;
        if (!logic_.CellAt(kMapWidth, kMapHeight, x, y, index)) return;
        statusLine_->clear();
        if (logic_.OpenCell(index))
            showInfo(QStringLiteral("Opened in the main window: ") +
                     QString::fromStdString(logic_.CellText(index)).section(QLatin1Char('\n'), 0, 0));
        else
            showError("The cell's inputs could not be set: see the main window's status line");
        redraw();
    });

    hoverLine_ = new QLabel(this);
    hoverLine_->setObjectName(QStringLiteral("hoverLine"));
    hoverLine_->setMinimumHeight(20);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setStyleSheet(QStringLiteral("color: rgb(160, 0, 0);"));
    infoLine_ = new QLabel(this);
    infoLine_->setObjectName(QStringLiteral("infoLine"));
    infoLine_->setStyleSheet(QStringLiteral("color: rgb(60, 60, 60);"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    infoLine_->setMinimumWidth(420);
    infoLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bottom->addWidget(infoLine_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addWidget(hoverLine_);
    layout->addLayout(bottom);

    // The map is drawn again for its new size once the user stops resizing.
    resolutionTimer_ = new QTimer(this);
    resolutionTimer_->setSingleShot(true);
    resolutionTimer_->setInterval(120);
    connect(resolutionTimer_, &QTimer::timeout, this, [this] {
        if (std::fabs(view_->wantedResolution() - surface_.resolution()) > 1e-9) paintMapAt(view_->wantedResolution());
    });
    connect(view_, &SurfaceView::resized, resolutionTimer_, qOverload<>(&QTimer::start));
    redraw();
    PlaceWindowOnScreen(this, QStringLiteral("morpho"), sizeHint());
}

void MorphoWindow::paintMapAt(double resolution) {
    surface_.setResolution(resolution);
    redraw();
}

void MorphoWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    FollowScreenScale(this, [this] { resolutionTimer_->start(); });
}

void MorphoWindow::hideEvent(QHideEvent* e) {
    RememberWindowPlace(this, QStringLiteral("morpho"));
    QWidget::hideEvent(e);
}

MorphoWindow::~MorphoWindow() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void MorphoWindow::redraw() {
    logic_.Draw(surface_);
    view_->update();
}

void MorphoWindow::scheduleRedraw() {
    // Points finish faster than a picture is worth drawing: one redraw per
    // moment, however many points arrived.
    if (redrawPending_) return;
    redrawPending_ = true;
    QTimer::singleShot(40, this, [this] {
        redrawPending_ = false;
        redraw();
    });
}

void MorphoWindow::showError(const std::string& message) {
    infoLine_->clear();
    statusLine_->setText(QString::fromStdString(message));
}

void MorphoWindow::showInfo(const QString& text) {
    statusLine_->clear();
    infoLine_->setText(text);
}

bool MorphoWindow::run() {
    if (running()) return false;
    std::string error;
    if (!logic_.SetAxes(x_.texts(), y_.texts(), error)) {
        showError(error);
        return false;
    }
    logic_.BeginRun();
    const SessionOptions options = logic_.CurrentOptions();
    const std::vector<SweepAxis> axes = logic_.axes();
    const unsigned generation = ++generation_;
    cancel_ = false;
    progress_->setRange(0, static_cast<int>(logic_.cellCount()));
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%v / %m shells"));
    runButton_->setEnabled(false);
    cancelButton_->setEnabled(true);
    showInfo(QStringLiteral("Growing %1 shells…").arg(logic_.cellCount()));
    redraw();

    worker_ = std::thread([this, options, axes, generation] {
        SweepControl control;
        control.jobs = 0;  // all cores
        control.cancel = &cancel_;
        // Each finished point travels to the window's thread as a queued call;
        // calls still queued when the window goes are dropped with it.
        control.pointDone = [this, generation](size_t index, const SweepRow& row) {
            QMetaObject::invokeMethod(
                this, [this, generation, index, row] { pointDone(generation, index, row); }, Qt::QueuedConnection);
        };
        SweepTiming timing;
        std::vector<SweepRow> rows = RunSweep(options, axes, control, timing);
        QMetaObject::invokeMethod(
            this, [this, generation, rows = std::move(rows), timing] { finished(generation, rows, timing); },
            Qt::QueuedConnection);
    });
    return true;
}

void MorphoWindow::cancel() {
    if (!running()) return;
    cancel_ = true;
    cancelButton_->setEnabled(false);
    showInfo(QStringLiteral("Cancelling: the shells being grown finish first…"));
}

void MorphoWindow::pointDone(unsigned generation, size_t index, const SweepRow& row) {
    if (generation != generation_) return;
    logic_.PointDone(index, row);
    progress_->setValue(static_cast<int>(logic_.finishedCount()));
    scheduleRedraw();
}

void MorphoWindow::finished(unsigned generation, const std::vector<SweepRow>& rows, const SweepTiming& timing) {
    if (generation != generation_) return;
    if (worker_.joinable()) worker_.join();
    logic_.RunFinished(rows);
    progress_->setValue(static_cast<int>(logic_.finishedCount()));
    runButton_->setEnabled(true);
    cancelButton_->setEnabled(false);
    size_t stopped = 0;
    for (size_t p = 0; p < logic_.cellCount(); ++p)
        stopped += logic_.cellState(p) == MorphoLogic::CellState::Error ? 1 : 0;
    const bool cut = logic_.finishedCount() < logic_.cellCount();
    QString text = cut ? QStringLiteral("Cancelled: %1 of %2 shells grown")
                                 .arg(logic_.finishedCount())
                                 .arg(logic_.cellCount())
                           : QStringLiteral("%1 shells in %2 s on %3 threads")
                                 .arg(logic_.cellCount())
                                 .arg(timing.wallSeconds, 0, 'f', 2)
                                 .arg(timing.threads);
    if (stopped > 0) text += QStringLiteral(", %1 stopped with a runtime error").arg(stopped);
    showInfo(text);
    redraw();
    emit runFinished();
}

void MorphoWindow::changeEvent(QEvent* e) {
    // Back in this window: the model may have changed in the others.
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) redraw();
    QWidget::changeEvent(e);
}

void MorphoWindow::closeEvent(QCloseEvent* e) {
    // A closed window grows nothing in the background.
    cancel();
    QWidget::closeEvent(e);
}

void MorphoWindow::exportWithDialog(const QString& caption, const QString& fileName, const QString& filter,
                                    const std::function<bool(const QString&)>& save) {
    // Exports start in the working folder, later in the folder of the last one.
    QString path = askSavePath(caption, QDir(ExportFolder()).filePath(fileName), filter);
    // The name ends in the chosen type's extension, or nothing is saved.
    path = MatchExportExtension(this, path, QFileInfo(fileName).suffix());
    if (path.isEmpty()) return;
    if (save(path)) RememberExportFolder(path);
}

bool MorphoWindow::saveCsv(const QString& path) {
    std::string error;
    if (!logic_.SaveCsv(path.toStdString(), error)) {
        showError(error);
        return false;
    }
    showInfo(QStringLiteral("Saved ") + QFileInfo(path).fileName());
    return true;
}

bool MorphoWindow::savePng(const QString& path) {
    std::string error;
    if (logic_.cellCount() == 0) {
        showError("Nothing to export yet: press RUN first");
        return false;
    }
    redraw();
    // The map's own 900 × 600 pixels, whatever size the window shows it at.
    ImageSurface map(kMapWidth, kMapHeight, 1, surface_.font());
    logic_.Draw(map);
    if (!map.savePng(path.toStdString(), error)) {
        showError(error);
        return false;
    }
    showInfo(QStringLiteral("Saved ") + QFileInfo(path).fileName());
    return true;
}

bool MorphoWindow::saveSvg(const QString& path) {
    std::string error;
    if (!logic_.SaveSvg(path.toStdString(), kMapWidth, kMapHeight, SvgTextStyleFor(surface_), error)) {
        showError(error);
        return false;
    }
    showInfo(QStringLiteral("Saved ") + QFileInfo(path).fileName());
    return true;
}

void AttachMorphoButton(MainWindow& window, QPushButton* button) {
    QObject::connect(button, &QPushButton::clicked, &window, [&window] {
        auto* morpho = window.findChild<MorphoWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (!morpho) {
            morpho = new MorphoWindow(window.logic(), &window);
            // The map grows from the window's scenario, and a cell opens as that
            // scenario with the cell's values, from a fresh start.
            morpho->logic().currentScenario = [&window](Scenario& out, std::string& error) {
                return window.scenarioFiles().scenario().current(out, error);
            };
            morpho->logic().openScenario = [&window](const Scenario& s) { window.scenarioFiles().growCell(s); };
            // A cell opens as the user's own START would: through the main window's button.
            morpho->logic().pressStart = [&window] {
                if (auto* start = window.findChild<QPushButton*>(QStringLiteral("STARTcmd")))
                    start->click();
                else
                    window.logic().ClickStart();
            };
        }
        morpho->show();
        morpho->raise();
        morpho->activateWindow();
    });
}

}  // namespace ammonite

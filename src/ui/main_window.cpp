#include "ui/main_window.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStyle>
#include <QtGlobal>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>
#include <sstream>

#include "render/stage_plot.h"
#include "core/safe_file.h"
#include "core/version.h"
#include "model/scenario_file.h"
#include "model/stage_results.h"
#include "render/shell_mesh.h"
#include "render/svg_surface.h"
#include "picture/svg_text_style.h"

#include "ui/bindings.h"
#include "ui/export_path.h"
#include "ui/morpho_window.h"
#include "ui/window_place.h"
#include "ui/profile_window.h"
#include "ui/settings_window.h"
#include "ui/view_window.h"

namespace ammonite {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setObjectName(QStringLiteral("PBX"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(12);
    setFont(f);
    // Reached with Tab (to copy its lines): a frame in the highlight colour says so.
    setStyleSheet(QStringLiteral("QPlainTextEdit#PBX:focus { border: 2px solid palette(highlight); }"));
}

void LogView::clear() {
    lines_.clear();
    shown_ = 0;
    cleared_ = true;
}

void LogView::line(const std::vector<std::string>& items) { lines_.push_back(MemoryLog::join(items)); }

void LogView::flush() {
    if (cleared_) {
        QPlainTextEdit::clear();
        cleared_ = false;
    }
    if (shown_ == lines_.size()) return;
    QString text;
    for (size_t i = shown_; i < lines_.size(); ++i) {
        if (i > shown_) text += QLatin1Char('\n');
        text += QString::fromStdString(lines_[i]);
    }
    appendPlainText(text);
    shown_ = lines_.size();
}

namespace {
// The buttons of the control column, three to a row in the order they are made.
struct ButtonGrid {
    QWidget* parent;
    QGridLayout* grid;
    int count = 0;
    QPushButton* add(const char* name, const char* caption, const char* tip) {
        auto* b = new QPushButton(QString::fromUtf8(caption), parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(QString::fromUtf8(tip));
        b->setMinimumHeight(28);
        grid->addWidget(b, count / 3, count % 3);
        ++count;
        return b;
    }
};
QLabel* makeLabel(QWidget* parent, const char* name, const char* caption, const char* tip = nullptr) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    if (name) l->setObjectName(QString::fromLatin1(name));
    if (tip) l->setToolTip(QString::fromUtf8(tip));
    return l;
}
// A one-line label that shows as much of its text as fits, cut at the end
// with "…" so that a long message keeps its first words (a fit's verdict, what
// was saved), and the whole text as its tooltip when cut.
class ElidedLine : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect room = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
        const bool cut = shown != text();
        setToolTip(cut ? text() : QString());
        // A cut text starts at the left edge, whatever the line's alignment.
        const Qt::Alignment align = cut ? (alignment() & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft : alignment();
        style()->drawItemText(&painter, room, static_cast<int>(align), palette(), isEnabled(), shown,
                              foregroundRole());
    }
};
QLabel* placeLabel(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h,
                   const char* tip = nullptr) {
    auto* l = makeLabel(parent, name, caption, tip);
    l->setGeometry(x, y, w, h);
    return l;
}
QLineEdit* makeEdit(QWidget* parent, const char* name, const char* tip, bool output = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(QString::fromUtf8(tip));
    e->setMinimumWidth(70);
    if (output) {
        // Written by the run only: readable and copyable, skipped by Tab.
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
    }
    return e;
}
QScrollBar* placeBar(QWidget* parent, const char* name, Qt::Orientation o, int x, int y, int w, int h,
                     const char* tip) {
    auto* b = new QScrollBar(o, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    b->setToolTip(QString::fromUtf8(tip));
    return b;
}
}  // namespace

namespace {
// Paints the list again on the surface at a new resolution; the surface's
// colours, width and position stay as the model left them.
void RepaintAt(ImageSurface& surface, const DisplayList& list, double resolution) {
    const Rgb fore = surface.foreColour(), back = surface.backColour(), fill = surface.fillColour();
    const int fillStyle = surface.fillStyle(), width = surface.drawWidth();
    const double x = surface.currentX(), y = surface.currentY();
    surface.setResolution(resolution);
    {
        RecorderPause pause(surface);
        surface.setBackColour(list.hasBackground() ? list.background() : back);
        surface.clear();
        PaintDisplayList(surface, list);
    }
    surface.setForeColour(fore);
    surface.setBackColour(back);
    surface.setFillColour(fill);
    surface.setFillStyle(fillStyle);
    surface.setDrawWidth(width);
    surface.setCurrentPosition(x, y);
}
}  // namespace

MainWindow::MainWindow(ModelState& model, QWidget* parent)
    : QWidget(parent), model_(model), surface_(kSurfaceWidth, kSurfaceHeight, ImageSurface::screenResolution()),
      plotSurface_(kSurfaceWidth, kSurfaceHeight, ImageSurface::screenResolution()) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("MAIN"));
    surface_.setRecorder(&drawing_);
    plotSurface_.setRecorder(&plotDrawing_);
    surface_.clear();
    askSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return AskSavePathWithDialog(this, caption, suggested, filter);
    };
    askMeshScale = [this](double& mmPerUnit) {
        bool ok = false;
        const double v = QInputDialog::getDouble(this, QStringLiteral("Mesh scale"),
                                                 QStringLiteral("Millimetres per model unit:"), mmPerUnit, 0.001,
                                                 1e6, 3, &ok);
        if (ok) mmPerUnit = v;
        return ok;
    };

    log_ = new LogView(this);
    log_->setToolTip(QStringLiteral("Regulation log: one line per regulated stage of the last run"));
    logic_ = std::make_unique<MainWindowLogic>(document_, surface_, *log_);
    logic_->surfaceChanged = [this] { refresh(); };

    view_ = new SurfaceView(surface_, this, true);
    view_->setObjectName(QStringLiteral("surface"));
    view_->setFocusPolicy(Qt::StrongFocus);  // Tab reaches it, for Ctrl+C
    view_->setToolTip(QStringLiteral("The shell, its axes and the regulation chart; a click clears it"));
    // A click clears the shell's picture; on the plot it does nothing.
    connect(view_, &SurfaceView::clicked, this, [this] {
        if (!plotShown_) logic_->ClickWindow();
    });

    // ---- control column to the right of the drawing surface ----
    auto* column = new QWidget(this);
    column->setObjectName(QStringLiteral("controlColumn"));
    column->setFixedWidth(300);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(6, 6, 6, 0);
    columnLayout->setSpacing(6);

    auto* buttons = new QGridLayout;
    buttons->setSpacing(6);
    columnLayout->addLayout(buttons);
    ButtonGrid grid{column, buttons};
    auto* start = grid.add("STARTcmd", "START", "Grow the shell up to the stage in the STAGE box (Enter there)");
    auto* graph = grid.add("GRAPHcmd", "GRAPH", "Open the profile window: the profiles of \xCE\xB3, C, T, \xCE\xB2 and \xCE\xB1");
    auto* set = grid.add("SETcmd", "SETTING", "Open the settings window: densities, scale, view and light");
    auto* shade = grid.add("SHADINGcmd", "SHADE", "Paint the last run's shell shaded, lit from the light direction");
    auto* fileButton = grid.add("FILEcmd", "File", "Open or save a scenario (everything that defines the shell, in one file), or fit one to a specimen");
    auto* exportButton = grid.add("EXPORTcmd", "Export", "Save or copy the picture, the stage results or the shell as a mesh");
    plotButton_ = grid.add("PLOTcmd", "PLOT", "Density, orientation and stability of every stage of the last run");
    plotButton_->setCheckable(true);
    AttachViewButton(*this, grid.add("VIEWcmd", "VIEW", "The shell in 3D, turned with the mouse, regrown live (F3)"));
    AttachMorphoButton(*this, grid.add("MORPHOcmd", "MORPHO",
                                       "Sweep two inputs over a grid of shells and map what each does in the water"));
    // A run or a shaded rendering is shown as it is drawn: back to the shell.
    connect(start, &QPushButton::clicked, this, [this] {
        showPlot(false);
        infoLine_->clear();
        // The other windows hear of the START once the scenario has counted it.
        ModelDocument::Batch batch(document_);
        scenarioFiles_->startPressed();
        logic_->ClickStart();
        scenarioFiles_->startFinished();
    });
    connect(shade, &QPushButton::clicked, this, [this] {
        showPlot(false);
        infoLine_->clear();
        ModelDocument::Batch batch(document_);
        logic_->ClickShade();
        scenarioFiles_->shadePressed();
    });
    scenarioFiles_ = new ScenarioFiles(*this, *logic_, fileButton);
    connect(scenarioFiles_, &ScenarioFiles::opened, this, &MainWindow::scenarioOpened);
    connect(scenarioFiles_, &ScenarioFiles::saved, this, [this](const QString& path) { showSaved({path}); });
    addFitToFileMenu(fileButton);
    buildExportMenu(exportButton);
    connect(plotButton_, &QPushButton::toggled, this, [this](bool on) { showPlot(on); });
    connect(graph, &QPushButton::clicked, this, &MainWindow::openProfileWindow);
    connect(set, &QPushButton::clicked, this, &MainWindow::openSettingsWindow);

    // Nothing reaches the logic once the window is being destroyed.
    ActionGuard guard = [this](const std::function<void()>& f) {
        if (!closing_) logic_->Guard(f);
    };

    auto* form = new QGridLayout;
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(4);
    columnLayout->addLayout(form);
    auto* num = makeEdit(column, "NUMtxt", "Stages to grow (0..3999; START limits it to the final stage)");
    auto* max = makeEdit(column, "MAXtxt", "The final stage of the profiles (set by the profile window)", true);
    auto* scl = makeEdit(column, "SCLtxt", "Drawing scale: picture pixels per model unit");
    auto* ptr = makeEdit(column, "PTRtxt", "Volume of the phragmocone over the body chamber, in per cent", true);
    form->addWidget(makeLabel(column, nullptr, "STAGE"), 0, 0);
    form->addWidget(num, 0, 1);
    form->addWidget(max, 0, 2);
    form->addWidget(makeLabel(column, nullptr, "SCALE  x"), 1, 0);
    form->addWidget(scl, 1, 1);
    form->addWidget(makeLabel(column, nullptr, "P/T ratio"), 2, 0);
    form->addWidget(ptr, 2, 1);
    form->addWidget(makeLabel(column, nullptr, "%"), 2, 2);
    auto* ori = makeLabel(column, "ORIlbl", "", "Angle of the life orientation after the last run");
    form->addWidget(makeLabel(column, nullptr, "Orientation = "), 3, 0);
    form->addWidget(ori, 3, 1, 1, 2);
    auto* dns = makeLabel(column, "DNSlbl", "", "Density of the whole shell after the last run");
    auto* stb = makeLabel(column, "STBlbl", "",
                          "Distance between the centres of buoyancy and mass over the cube root of the volume");
    auto* densityRow = new QHBoxLayout;
    densityRow->addWidget(dns, 1);
    densityRow->addWidget(makeLabel(column, nullptr, "Stability = "));
    densityRow->addWidget(stb, 1);
    form->addWidget(makeLabel(column, nullptr, "Density = "), 4, 0);
    form->addLayout(densityRow, 4, 1, 1, 2);
    bindLineEdit(num, logic_->NUMtxt, guard);
    bindLineEdit(max, logic_->MAXtxt, guard);
    bindLineEdit(scl, logic_->SCLtxt, guard);
    bindLineEdit(ptr, logic_->PTRtxt, guard);
    bindLabel(ori, logic_->ORIlbl);
    bindLabel(dns, logic_->DNSlbl);
    bindLabel(stb, logic_->STBlbl);
    // Enter in the stage box grows the shell to what it says.
    connect(num, &QLineEdit::returnPressed, start, &QPushButton::click);

    // Threshold bars: two sizes and the fatigue threshold at each size.
    auto* bars = new QWidget(column);
    bars->setObjectName(QStringLiteral("thresholdBars"));
    bars->setFixedSize(288, 166);
    columnLayout->addWidget(bars);
    auto* fatig = placeLabel(bars, "FATIGlbl", "", 0, 2, 30, 22);
    bindLabel(fatig, logic_->FATIGlbl);
    auto* ft1 = placeBar(bars, "FT1vsc", Qt::Vertical, 35, 0, 17, 110, "Fatigue threshold at the smaller size");
    auto* ft2 = placeBar(bars, "FT2vsc", Qt::Vertical, 150, 0, 17, 110, "Fatigue threshold at the larger size");
    auto* ft1l = placeLabel(bars, "FT1lbl", "", 57, 45, 60, 22, "Fatigue threshold at the smaller size");
    auto* ft2l = placeLabel(bars, "FT2lbl", "", 172, 45, 60, 22, "Fatigue threshold at the larger size");
    auto* st1 = placeBar(bars, "ST1hsc", Qt::Horizontal, 0, 120, 220, 17, "The smaller size of the regulation");
    auto* st1l = placeLabel(bars, "ST1lbl", "", 228, 118, 60, 22, "The smaller size of the regulation");
    auto* st2 = placeBar(bars, "ST2hsc", Qt::Horizontal, 0, 145, 220, 17, "The larger size of the regulation");
    auto* st2l = placeLabel(bars, "ST2lbl", "", 228, 143, 60, 22, "The larger size of the regulation");
    bindScrollBar(ft1, logic_->FT1vsc, guard);
    bindScrollBar(ft2, logic_->FT2vsc, guard);
    bindScrollBar(st1, logic_->ST1hsc, guard);
    bindScrollBar(st2, logic_->ST2hsc, guard);
    bindLabel(ft1l, logic_->FT1lbl);
    bindLabel(ft2l, logic_->FT2lbl);
    bindLabel(st1l, logic_->ST1lbl);
    bindLabel(st2l, logic_->ST2lbl);

    log_->setMinimumHeight(80);
    columnLayout->addWidget(log_, 1);

    auto* status = makeLabel(this, "statusLine", "");
    status->setMinimumWidth(100);
    status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bindStatusLine(status, logic_->statusLine);
    infoLine_ = new ElidedLine(this);
    infoLine_->setObjectName(QStringLiteral("infoLine"));
    infoLine_->setStyleSheet(QStringLiteral("color: rgb(60, 60, 60);"));
    infoLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    infoLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(view_, 1);
    top->addWidget(column, 0);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 0, 4, 4);
    bottom->addWidget(status, 2);
    bottom->addWidget(infoLine_, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(4);
    outer->addLayout(top, 1);
    outer->addLayout(bottom, 0);

    resolutionTimer_ = new QTimer(this);
    resolutionTimer_->setSingleShot(true);
    resolutionTimer_->setInterval(150);
    connect(resolutionTimer_, &QTimer::timeout, this, [this] { fitResolution(); });

    // The picture at its own size, 1000 × 760 pixels, where the screen has room.
    PlaceWindowOnScreen(this, QStringLiteral("main"), sizeHint());

    // About: F1 anywhere in the window, or a right click on the control panel.
    auto* about = new QAction(QStringLiteral("About ammonite…"), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    about->setShortcutContext(Qt::WindowShortcut);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
    addAction(about);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // A click on the drawing belongs to the model (it clears the picture).
    view_->setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this, about](const QPoint& at) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("windowMenu"));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addAction(about);
        menu->popup(mapToGlobal(at));
    });

    logic_->Load();
}

void MainWindow::showAbout() {
    if (aboutBox_) {
        aboutBox_->raise();
        aboutBox_->activateWindow();
        return;
    }
    auto* box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("About ammonite"));
    box->setIcon(QMessageBox::Information);
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromLatin1(kGenerator));
    box->setInformativeText(
        QStringLiteral("Simulator of heteromorph ammonite shells: growth of a tube from parameter profiles, "
                       "growth regulation, hydrostatics, wireframe and shaded drawing.\n\n"
                       "Files it writes name this version in a generator line.\n\n"
                       "Released under the MIT licence. Built with Qt %1, running on Qt %2.")
            .arg(QString::fromLatin1(QT_VERSION_STR), QString::fromLatin1(qVersion())));
    box->setStandardButtons(QMessageBox::Ok);
    box->setModal(false);
    aboutBox_ = box;
    box->show();
}

bool MainWindow::confirmQuit() {
    // A caller may keep the program running (the tests do; so may a running
    // export); edited inputs are asked about in closeEvent.
    return !askBeforeQuit || askBeforeQuit();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // The user closing the window is asked before edited inputs are lost.
    if (!confirmQuit() || (e->spontaneous() && !closing_ && !scenarioFiles_->confirmClose())) {
        e->ignore();
        return;
    }
    RememberWindowPlace(this, QStringLiteral("main"));
    // Closing the main window closes the program: every other window goes
    // with it, a sweep or a live regrowth under way is cancelled first, so no
    // window is left running on its own.
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible()) w->close();
    if (profileWindow_) profileWindow_->hide();
    if (settingsWindow_) settingsWindow_->close();
    if (aboutBox_) aboutBox_->close();
    QWidget::closeEvent(e);
}

void MainWindow::hideEvent(QHideEvent* e) {
    RememberWindowPlace(this, QStringLiteral("main"));
    QWidget::hideEvent(e);
}

void MainWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    // Once the user has stopped dragging the window's edge.
    resolutionTimer_->start();
}

void MainWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    FollowScreenScale(this, [this] { resolutionTimer_->start(); });
}


void MainWindow::fitResolution() {
    const double wanted = view_->wantedResolution();
    if (std::fabs(wanted - surface_.resolution()) < 1e-9) return;
    RepaintAt(surface_, drawing_, wanted);
    RepaintAt(plotSurface_, plotDrawing_, wanted);
    view_->update();
}

MainWindow::~MainWindow() {
    // The other windows and then the controls go first, while the logic still
    // exists; a box that loses the focus on the way runs no leave-field check.
    closing_ = true;
    delete profileWindow_.data();
    delete settingsWindow_.data();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
}

void MainWindow::refresh() {
    log_->flush();
    view_->update();
}

QString MainWindow::infoText() const { return infoLine_->text(); }

void MainWindow::showError(const std::string& message) {
    infoLine_->clear();
    logic_->statusLine.setCaption(message);
}

void MainWindow::showSaved(const QStringList& paths) {
    logic_->statusLine.setCaption("");
    QStringList names;
    for (const QString& p : paths) names << QFileInfo(p).fileName();
    infoLine_->setText(QStringLiteral("Saved ") + names.join(QStringLiteral(", ")));
    infoLine_->setToolTip(paths.join(QLatin1Char('\n')));
    if (!paths.isEmpty()) RememberExportFolder(paths.front());
}

void MainWindow::buildExportMenu(QPushButton* button) {
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("exportMenu"));
    auto add = [&](const char* name, const QString& text, const QKeySequence& keys, auto handler) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);  // the shortcut works anywhere in the window
        menu->addAction(action);
        return action;
    };
    const QString pngFilter = QStringLiteral("PNG pictures (*.png)");
    // Ctrl+S and Ctrl+Shift+S save the scenario (File menu); the pictures have keys of their own.
    add("savePngAction", QStringLiteral("Save picture as PNG…"), QKeySequence(Qt::CTRL | Qt::Key_E), [=] {
        exportWithDialog(QStringLiteral("Save picture as PNG"), QStringLiteral("ammonite.png"), pngFilter,
                         [this](const QString& p) { return savePicturePng(p); });
    });
    // Twice the pixels in each direction, for print.
    add("savePng2xAction", QStringLiteral("Save picture as PNG at 2× (print)…"), QKeySequence(), [=] {
        exportWithDialog(QStringLiteral("Save picture as PNG at 2×"), QStringLiteral("ammonite_2x.png"), pngFilter,
                         [this](const QString& p) { return savePicturePng(p, 2); });
    });
    add("saveSvgAction", QStringLiteral("Save picture as SVG…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), [=] {
        exportWithDialog(QStringLiteral("Save picture as SVG"), QStringLiteral("ammonite.svg"),
                         QStringLiteral("SVG drawings (*.svg)"),
                         [this](const QString& p) { return savePictureSvg(p); });
    });
    // Ctrl+C copies the picture only where the picture has the focus; in a
    // text box or the log it copies their text.
    QAction* copy = add("copyPictureAction", QStringLiteral("Copy picture"), QKeySequence(QKeySequence::Copy),
                        [this] { copyPicture(); });
    removeAction(copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    view_->addAction(copy);
    menu->addSeparator();
    add("saveCsvAction", QStringLiteral("Stage results as CSV…"), QKeySequence(), [=] {
        exportWithDialog(QStringLiteral("Save stage results"), QStringLiteral("ammonite_stages.csv"),
                         QStringLiteral("CSV tables (*.csv)"), [this](const QString& p) { return saveStageTable(p); });
    });
    menu->addSeparator();
    const std::pair<MeshFormat, const char*> meshes[] = {
        {MeshFormat::Stl, "STL"}, {MeshFormat::Ply, "PLY"}, {MeshFormat::Obj, "OBJ"}};
    for (const auto& [format, label] : meshes) {
        const MeshFormat f = format;
        const QString upper = QString::fromLatin1(label);
        const QString ext = QString::fromLatin1(MeshFormatExtension(f));
        const QByteArray name = "saveMesh" + upper.toLatin1() + "Action";
        add(name.constData(), QStringLiteral("Shell as %1 mesh…").arg(upper), QKeySequence(), [=] {
            // Refused before any question when there is no shell to export.
            std::string why;
            if (!ShellMeshAvailable(model_, logic_->run, why)) {
                showError(why);
                return;
            }
            double scale = meshScale_;
            if (!askMeshScale(scale)) return;
            exportWithDialog(QStringLiteral("Save shell as %1").arg(upper), QStringLiteral("ammonite.") + ext,
                             QStringLiteral("%1 meshes (*.%2)").arg(upper, ext), [this, f, scale](const QString& p) {
                                 if (!saveMesh(f, p, scale)) return false;
                                 meshScale_ = scale;
                                 return true;
                             });
        });
    }
    button->setMenu(menu);
}

void MainWindow::exportWithDialog(const QString& caption, const QString& fileName, const QString& filter,
                                  const std::function<bool(const QString&)>& save) {
    // Exports start in the working folder, later in the folder of the last one.
    QString path = askSavePath(caption, QDir(ExportFolder()).filePath(fileName), filter);
    // The name ends in the chosen type's extension, or nothing is saved.
    path = MatchExportExtension(this, path, QFileInfo(fileName).suffix());
    if (path.isEmpty()) return;  // cancelled: nothing changes
    save(path);
}

bool MainWindow::savePicturePng(const QString& path, double scale) {
    ImageSurface& shown = shownSurface();
    std::string error;
    bool saved = false;
    if (std::fabs(shown.resolution() - scale) < 1e-9) {
        // The pixels on the screen are the picture at this scale.
        saved = shown.savePng(path.toStdString(), error, scenarioFiles_->currentToml());
    } else {
        // Painted again from what was drawn, at the scale asked for.
        ImageSurface copy(shown.width(), shown.height(), scale, shown.font());
        copy.setBackColour(shown.backColour());
        RepaintAt(copy, shownDrawing(), scale);
        saved = copy.savePng(path.toStdString(), error, scenarioFiles_->currentToml());
    }
    if (!saved) {
        showError(error);
        return false;
    }
    showSaved({path});
    return true;
}

bool MainWindow::savePictureSvg(const QString& path) {
    ImageSurface& shown = shownSurface();
    std::string error;
    if (!WriteSvgFile(path.toStdString(), shownDrawing(), shown.width(), shown.height(), shown.backColour(),
                      SvgTextStyleFor(shown), error, SvgScenarioMetadata(scenarioFiles_->currentToml()))) {
        showError(error);
        return false;
    }
    showSaved({path});
    return true;
}

void MainWindow::copyPicture() {
    QGuiApplication::clipboard()->setImage(shownSurface().image().copy());
    logic_->statusLine.setCaption("");
    infoLine_->setText(QStringLiteral("Picture copied"));
}

bool MainWindow::saveStageTable(const QString& path) {
    const RunState& run = logic_->run;
    // A run that stopped on an error still has its rows up to where it stopped.
    if (run.currentStage < 1) {
        showError("Nothing to export yet: press START first");
        return false;
    }
    std::string error;
    if (!WriteFileSafely(
            path.toStdString(),
            [&](std::ostream& out) { WriteStageTables(out, logic_->model, run, run.lastBuiltStage); }, error)) {
        showError(error);
        return false;
    }
    showSaved({path});
    return true;
}

bool MainWindow::saveMesh(MeshFormat format, const QString& path, double mmPerUnit) {
    std::vector<std::string> written;
    std::string error;
    MeshOptions options;
    options.mmPerUnit = mmPerUnit;
    if (!ExportShellMesh(format, path.toStdString(), model_, logic_->run, options, written, error,
                         scenarioFiles_->currentToml())) {
        showError(error);
        return false;
    }
    QStringList paths;
    for (const std::string& w : written) paths << QString::fromStdString(w);
    showSaved(paths);
    return true;
}

bool MainWindow::showPlot(bool on) {
    if (on && !plotShown_) {
        if (!DrawStagePlot(plotSurface_, logic_->run)) {
            showError("Nothing to plot yet: press START first");
            on = false;
        } else {
            logic_->statusLine.setCaption("");
            plotShown_ = true;
            view_->setSurface(plotSurface_);
        }
    } else if (!on && plotShown_) {
        plotShown_ = false;
        view_->setSurface(surface_);
    }
    if (plotButton_->isChecked() != plotShown_) {
        QSignalBlocker block(plotButton_);
        plotButton_->setChecked(plotShown_);
    }
    return plotShown_ == on;
}

void MainWindow::openProfileWindow() {
    if (!profileWindow_) {
        profileWindow_ = new ProfileWindow(document_, this);
        // The stage boxes follow the final stage and file loads made there.
        connect(profileWindow_, &ProfileWindow::stagesChanged, this, [this] { logic_->ShowModelStages(); });
    }
    profileWindow_->show();
    profileWindow_->raise();
    profileWindow_->activateWindow();
}

void MainWindow::openSettingsWindow() {
    if (!settingsWindow_) {
        settingsWindow_ = new SettingsWindow(document_, this);
        settingsWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    settingsWindow_->show();
    settingsWindow_->raise();
    settingsWindow_->activateWindow();
}

void MainWindow::scenarioOpened() {
    // A growth that stopped keeps its message through the windows' refresh.
    const std::string status = logic_->statusLine.caption();
    showPlot(false);
    logic_->ShowModelStages();
    // The settings window is filled again from the model by its load step.
    if (settingsWindow_) {
        const bool shown = settingsWindow_->isVisible();
        delete settingsWindow_;
        if (shown) openSettingsWindow();
    }
    if (profileWindow_) {
        profileWindow_->logic().DrawChartBackground();
        profileWindow_->logic().DrawProfiles();
    }
    if (!status.empty()) logic_->statusLine.setCaption(status);
    refresh();
}

}  // namespace ammonite

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
#include <QScrollBar>
#include <sstream>

#include "render/stage_plot.h"
#include "core/safe_file.h"
#include "model/stage_results.h"
#include "render/svg_surface.h"
#include "ui/svg_text_style.h"

#include "ui/bindings.h"
#include "ui/profile_window.h"
#include "ui/settings_window.h"

namespace ammonite {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setObjectName(QStringLiteral("PBX"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(12);
    setFont(f);
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
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    return b;
}
QLabel* makeLabel(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* l = new QLabel(QString::fromUtf8(caption), parent);
    if (name) l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, h);
    return l;
}
QLineEdit* makeEdit(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, h);
    return e;
}
}  // namespace

MainWindow::MainWindow(ModelState& model, QWidget* parent)
    : QWidget(parent), model_(model), surface_(kSurfaceWidth, kSurfaceHeight),
      plotSurface_(kSurfaceWidth, kSurfaceHeight) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("MAIN"));
    surface_.setRecorder(&drawing_);
    plotSurface_.setRecorder(&plotDrawing_);
    surface_.clear();
    lastFolder_ = QDir::homePath();
    askSavePath = [this](const QString& caption, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(this, caption, suggested, filter);
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
    logic_ = std::make_unique<MainWindowLogic>(model_, surface_, *log_);
    logic_->surfaceChanged = [this] { refresh(); };

    view_ = new SurfaceView(surface_, this);
    view_->setObjectName(QStringLiteral("surface"));
    view_->move(0, 0);
    // A click clears the shell's picture; on the plot it does nothing.
    connect(view_, &SurfaceView::clicked, this, [this] {
        if (!plotShown_) logic_->ClickWindow();
    });

    // Control panel to the right of the drawing surface.
    const int px = kSurfaceWidth + 10;
    auto* start = makeButton(this, "STARTcmd", "START", px, 10, 90, 30);
    auto* graph = makeButton(this, "GRAPHcmd", "GRAPH", px + 100, 10, 90, 30);
    auto* set = makeButton(this, "SETcmd", "SETTING", px + 200, 10, 90, 30);
    auto* shade = makeButton(this, "SHADINGcmd", "SHADE", px, 45, 90, 30);
    // A run or a shaded rendering is shown as it is drawn: back to the shell.
    connect(start, &QPushButton::clicked, this, [this] {
        showPlot(false);
        infoLine_->clear();
        logic_->ClickStart();
    });
    connect(shade, &QPushButton::clicked, this, [this] {
        showPlot(false);
        infoLine_->clear();
        logic_->ClickShade();
    });
    auto* exportButton = makeButton(this, "EXPORTcmd", "Export", px + 100, 45, 90, 30);
    buildExportMenu(exportButton);
    plotButton_ = makeButton(this, "PLOTcmd", "PLOT", px + 200, 45, 90, 30);
    plotButton_->setCheckable(true);
    plotButton_->setToolTip(QStringLiteral("Density, orientation and stability of every stage of the last run"));
    connect(plotButton_, &QPushButton::toggled, this, [this](bool on) { showPlot(on); });
    connect(graph, &QPushButton::clicked, this, &MainWindow::openProfileWindow);
    connect(set, &QPushButton::clicked, this, &MainWindow::openSettingsWindow);

    // Nothing reaches the logic once the window is being destroyed.
    ActionGuard guard = [this](const std::function<void()>& f) {
        if (!closing_) logic_->Guard(f);
    };

    makeLabel(this, nullptr, "STAGE", px, 85, 80, 22);
    auto* num = makeEdit(this, "NUMtxt", px + 80, 85, 70, 22);
    auto* max = makeEdit(this, "MAXtxt", px + 160, 85, 70, 22);
    makeLabel(this, nullptr, "SCALE  x", px, 112, 80, 22);
    auto* scl = makeEdit(this, "SCLtxt", px + 80, 112, 70, 22);
    makeLabel(this, nullptr, "P/T ratio", px, 139, 80, 22);
    auto* ptr = makeEdit(this, "PTRtxt", px + 80, 139, 70, 22);
    makeLabel(this, nullptr, "%", px + 155, 139, 20, 22);
    makeLabel(this, nullptr, "Orientation = ", px, 166, 100, 22);
    auto* ori = makeLabel(this, "ORIlbl", "", px + 100, 166, 120, 22);
    makeLabel(this, nullptr, "Density = ", px, 190, 100, 22);
    auto* dns = makeLabel(this, "DNSlbl", "", px + 100, 190, 50, 22);
    makeLabel(this, nullptr, "Stability = ", px + 150, 190, 80, 22);
    auto* stb = makeLabel(this, "STBlbl", "", px + 230, 190, 60, 22);
    stb->setToolTip(QStringLiteral("Distance between the centres of buoyancy and mass over the cube root of the volume"));
    bindLineEdit(num, logic_->NUMtxt, guard);
    bindLineEdit(max, logic_->MAXtxt, guard);
    bindLineEdit(scl, logic_->SCLtxt, guard);
    bindLineEdit(ptr, logic_->PTRtxt, guard);
    bindLabel(ori, logic_->ORIlbl);
    bindLabel(dns, logic_->DNSlbl);
    bindLabel(stb, logic_->STBlbl);

    // Threshold bars: two sizes and the fatigue threshold at each size.
    auto* fatig = makeLabel(this, "FATIGlbl", "", px, 222, 30, 22);
    bindLabel(fatig, logic_->FATIGlbl);
    auto* ft1 = new QScrollBar(Qt::Vertical, this);
    ft1->setObjectName(QStringLiteral("FT1vsc"));
    ft1->setGeometry(px + 35, 220, 17, 110);
    auto* ft2 = new QScrollBar(Qt::Vertical, this);
    ft2->setObjectName(QStringLiteral("FT2vsc"));
    ft2->setGeometry(px + 150, 220, 17, 110);
    auto* ft1l = makeLabel(this, "FT1lbl", "", px + 57, 265, 60, 22);
    auto* ft2l = makeLabel(this, "FT2lbl", "", px + 172, 265, 60, 22);
    auto* st1 = new QScrollBar(Qt::Horizontal, this);
    st1->setObjectName(QStringLiteral("ST1hsc"));
    st1->setGeometry(px, 340, 220, 17);
    auto* st1l = makeLabel(this, "ST1lbl", "", px + 228, 338, 60, 22);
    auto* st2 = new QScrollBar(Qt::Horizontal, this);
    st2->setObjectName(QStringLiteral("ST2hsc"));
    st2->setGeometry(px, 365, 220, 17);
    auto* st2l = makeLabel(this, "ST2lbl", "", px + 228, 363, 60, 22);
    bindScrollBar(ft1, logic_->FT1vsc, guard);
    bindScrollBar(ft2, logic_->FT2vsc, guard);
    bindScrollBar(st1, logic_->ST1hsc, guard);
    bindScrollBar(st2, logic_->ST2hsc, guard);
    bindLabel(ft1l, logic_->FT1lbl);
    bindLabel(ft2l, logic_->FT2lbl);
    bindLabel(st1l, logic_->ST1lbl);
    bindLabel(st2l, logic_->ST2lbl);

    log_->setGeometry(px, 392, 290, 368);

    auto* status = makeLabel(this, "statusLine", "", 4, kSurfaceHeight + 4, 640, 20);
    status->setStyleSheet(QStringLiteral("color: rgb(160, 0, 0);"));
    bindLabel(status, logic_->statusLine);
    infoLine_ = makeLabel(this, "infoLine", "", 650, kSurfaceHeight + 4, kSurfaceWidth + 300 - 650, 20);
    infoLine_->setStyleSheet(QStringLiteral("color: rgb(60, 60, 60);"));
    infoLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    setFixedSize(kSurfaceWidth + 305, kSurfaceHeight + 28);

    logic_->Load();
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
    if (!paths.isEmpty()) lastFolder_ = QFileInfo(paths.front()).absolutePath();
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
    add("savePngAction", QStringLiteral("Save picture as PNG…"), QKeySequence(QKeySequence::Save), [=] {
        exportWithDialog(QStringLiteral("Save picture as PNG"), QStringLiteral("ammonite.png"), pngFilter,
                         [this](const QString& p) { return savePicturePng(p); });
    });
    add("saveSvgAction", QStringLiteral("Save picture as SVG…"), QKeySequence(QKeySequence::SaveAs), [=] {
        exportWithDialog(QStringLiteral("Save picture as SVG"), QStringLiteral("ammonite.svg"),
                         QStringLiteral("SVG drawings (*.svg)"),
                         [this](const QString& p) { return savePictureSvg(p); });
    });
    add("copyPictureAction", QStringLiteral("Copy picture"), QKeySequence(QKeySequence::Copy),
        [this] { copyPicture(); });
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
    const QString path = askSavePath(caption, QDir(lastFolder_).filePath(fileName), filter);
    if (path.isEmpty()) return;  // cancelled: nothing changes
    save(path);
}

bool MainWindow::savePicturePng(const QString& path) {
    std::string error;
    if (!shownSurface().savePng(path.toStdString(), error)) {
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
                      SvgTextStyleFor(shown), error)) {
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
    if (!ExportShellMesh(format, path.toStdString(), model_, logic_->run, options, written, error)) {
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
    if (!profileWindow_) profileWindow_ = new ProfileWindow(model_, this);
    profileWindow_->show();
    profileWindow_->raise();
    profileWindow_->activateWindow();
}

void MainWindow::openSettingsWindow() {
    if (!settingsWindow_) {
        settingsWindow_ = new SettingsWindow(model_, this);
        settingsWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    settingsWindow_->show();
    settingsWindow_->raise();
    settingsWindow_->activateWindow();
}

}  // namespace ammonite

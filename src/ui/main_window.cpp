#include "ui/main_window.h"

#include <QFont>
#include <QScrollBar>

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
    : QWidget(parent), model_(model), surface_(kSurfaceWidth, kSurfaceHeight) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("MAIN"));
    surface_.clear();

    log_ = new LogView(this);
    logic_ = std::make_unique<MainWindowLogic>(model_, surface_, *log_);
    logic_->surfaceChanged = [this] { refresh(); };

    view_ = new SurfaceView(surface_, this);
    view_->setObjectName(QStringLiteral("surface"));
    view_->move(0, 0);
    connect(view_, &SurfaceView::clicked, this, [this] { logic_->ClickWindow(); });

    // Control panel to the right of the drawing surface.
    const int px = kSurfaceWidth + 10;
    auto* start = makeButton(this, "STARTcmd", "START", px, 10, 90, 30);
    auto* graph = makeButton(this, "GRAPHcmd", "GRAPH", px + 100, 10, 90, 30);
    auto* set = makeButton(this, "SETcmd", "SETTING", px + 200, 10, 90, 30);
    auto* shade = makeButton(this, "SHADINGcmd", "SHADE", px, 45, 90, 30);
    connect(start, &QPushButton::clicked, this, [this] { logic_->ClickStart(); });
    connect(shade, &QPushButton::clicked, this, [this] { logic_->ClickShade(); });
    connect(graph, &QPushButton::clicked, this, &MainWindow::openProfileWindow);
    connect(set, &QPushButton::clicked, this, &MainWindow::openSettingsWindow);

    ActionGuard guard = [this](const std::function<void()>& f) { logic_->Guard(f); };

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

    auto* status = makeLabel(this, "statusLine", "", 4, kSurfaceHeight + 4, kSurfaceWidth + 296, 20);
    status->setStyleSheet(QStringLiteral("color: rgb(160, 0, 0);"));
    bindLabel(status, logic_->statusLine);

    setFixedSize(kSurfaceWidth + 305, kSurfaceHeight + 28);

    logic_->Load();
}

MainWindow::~MainWindow() {
    delete profileWindow_.data();
    delete settingsWindow_.data();
}

void MainWindow::refresh() {
    log_->flush();
    view_->update();
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

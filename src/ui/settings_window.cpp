#include "ui/settings_window.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QShowEvent>
#include <QTimer>

#include "ui/bindings.h"
#include "ui/main_window.h"
#include "ui/surface_view.h"
#include "ui/window_place.h"

namespace ammonite {

// ---- the preview's surface -------------------------------------------------------

ScaledImageSurface::ScaledImageSurface(int pixelWidth, int pixelHeight, double unitsWide, double unitsHigh)
    : ImageSurface(pixelWidth, pixelHeight, ImageSurface::screenResolution()), sx_(pixelWidth / unitsWide), sy_(pixelHeight / unitsHigh) {}

void ScaledImageSurface::doLine(double x1, double y1, double x2, double y2, Rgb colour, int width) {
    RasterSurface::doLine(x1 * sx_, y1 * sy_, x2 * sx_, y2 * sy_, colour, width);
}

void ScaledImageSurface::doPoint(double x, double y, Rgb colour, int width) {
    RasterSurface::doPoint(x * sx_, y * sy_, colour, width);
}

void ScaledImageSurface::doCircle(double cx, double cy, double radius, Rgb outline, bool filled, Rgb fill) {
    // A circle smaller than a pixel still shows as a dot.
    RasterSurface::doCircle(cx * sx_, cy * sy_, std::max(radius * sx_, 1.0), outline, filled, fill);
}

void ScaledImageSurface::doText(double x, double y, const std::string& utf8, Rgb colour, double& advance,
                                double& lineHeight) {
    ImageSurface::doText(x * sx_, y * sy_, utf8, colour, advance, lineHeight);
    advance /= sx_;
    lineHeight /= sy_;
}

// ---- layout helpers (positions in pixels: twips ÷ 15) ------------------------------

namespace {

constexpr int kFrameBorder = 2;  // the preview's sunken border
// FRpct: 1935 × 1455 twips.
constexpr int kPreviewBoxWidth = 129, kPreviewBoxHeight = 97;

QLabel* caption(QWidget* parent, const char* text, int x, int y, int w = 120, int h = 16) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setGeometry(x, y, w, h);
    return l;
}

QLabel* namedLabel(QWidget* parent, const char* name, int x, int y, int w = 36, int h = 16) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, h);
    return l;
}

// A box at least wide enough for `widest`, the longest text it shows.
QLineEdit* box(QWidget* parent, const char* name, int x, int y, int w, const char* widest = nullptr, int h = 18) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    if (widest) w = std::max(w, parent->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 6);
    e->setGeometry(x, y, w, h);
    // The design's boxes are narrow (" .05" in 25 pixels): no inner padding.
    e->setTextMargins(0, 0, 0, 0);
    e->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; border: 1px solid rgb(122, 122, 122); "
                                    "background: white; }"));
    return e;
}

QScrollBar* bar(QWidget* parent, const char* name, Qt::Orientation o, int x, int y, int w, int h) {
    auto* b = new QScrollBar(o, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QRadioButton* option(QWidget* parent, const char* name, int x, int y) {
    auto* r = new QRadioButton(parent);
    r->setObjectName(QString::fromLatin1(name));
    r->setGeometry(x, y, 16, 16);
    return r;
}

void bindOption(QRadioButton* button, OptionButtonModel& model, const ActionGuard& guard) {
    {
        QSignalBlocker block(button);
        button->setChecked(model.selected());
    }
    model.viewUpdate = [button, &model] {
        if (button->isChecked() != model.selected()) {
            QSignalBlocker b(button);
            button->setChecked(model.selected());
        }
    };
    QObject::connect(button, &QRadioButton::toggled, button, [&model, guard](bool on) {
        if (on) guard([&] { model.select(); });
    });
}

// The view or the light group: the vector's three boxes, its elevation and
// azimuth bars and numbers, `dx` units right of the view group's place.
// Object names start with `letter` (VXtxt, VLTlbl) and `bars` (VIEWvsc).
struct VectorGroup {
    QLineEdit *x, *y, *z;
    QScrollBar *elevationBar, *azimuthBar;
    QLabel *elevation, *azimuth;
};
VectorGroup vectorGroup(QWidget* page, const char* title, char letter, const std::string& bars, int dx) {
    const std::string l(1, letter);
    caption(page, title, 16 + dx, 240, 60);
    VectorGroup g{};
    QLineEdit** boxes[] = {&g.x, &g.y, &g.z};
    const char* axes[] = {"x", "y", "z"};
    for (int k = 0; k < 3; ++k) {
        caption(page, (l + axes[k]).c_str(), 20 + dx, 265 + 24 * k, 20);
        *boxes[k] = box(page, (l + static_cast<char>('X' + k) + "txt").c_str(), 40 + dx, 264 + 24 * k, 41, "-0.9781");
    }
    g.elevationBar = bar(page, (bars + "vsc").c_str(), Qt::Vertical, 152 + dx, 240, 9, 137);
    g.elevation = namedLabel(page, (l + "LTlbl").c_str(), 120 + dx, 264, 30);
    g.azimuth = namedLabel(page, (l + "LGlbl").c_str(), 40 + dx, 360, 32);
    // What the two angle numbers are.
    caption(page, "elevation", 92 + dx, 249, 58, 14)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption(page, "azimuth", 74 + dx, 360, 56);
    g.azimuthBar = bar(page, (bars + "hsc").c_str(), Qt::Horizontal, 16 + dx, 376, 137, 9);
    return g;
}

}  // namespace

// ---- the window ------------------------------------------------------------------------

SettingsWindow::SettingsWindow(ModelState& model, QWidget* mainWindow)
    : QWidget(nullptr),
      model_(model),
      mainWindow_(mainWindow),
      preview_(kPreviewBoxWidth - 2 * kFrameBorder, kPreviewBoxHeight - 2 * kFrameBorder, kPreviewWidth,
               kPreviewHeight) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("SETTING"));
    QFont previewFont(QStringLiteral("IPAPGothic"));
    previewFont.setPixelSize(8);  // about 6 points
    preview_.setFont(previewFont);
    logic_ = std::make_unique<SettingsWindowLogic>(model_, preview_);
    build();
    logic_->Guard([this] { logic_->Load(); });
}

SettingsWindow::~SettingsWindow() {
    // The controls go first, while the handlers still exist; the focus they
    // lose on the way runs no check.
    closing_ = true;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    // Closed from the title bar: the window goes away with the focus where it
    // is, so a box being typed in loses it without its leave-field check.
    closing_ = true;
    QWidget::closeEvent(event);
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    RememberWindowPlace(this, QStringLiteral("settings"));
    QWidget::hideEvent(event);
}

void SettingsWindow::showEvent(QShowEvent* event) {
    // A closed window that is kept and shown again takes its events again.
    closing_ = false;
    QWidget::showEvent(event);
    FollowScreenScale(this, [this] { fitResolution(); });
}

void SettingsWindow::fitResolution() {
    const double wanted = previewView_->wantedResolution();
    if (closing_ || std::fabs(wanted - preview_.resolution()) < 1e-9) return;
    paintPreviewAt(wanted);
}

void SettingsWindow::paintPreviewAt(double resolution) {
    preview_.setResolution(resolution);
    // Drawn again from the settings, as a click on the preview does.
    logic_->ClickPreview();
    previewView_->update();
}

void SettingsWindow::mirrorScaleToMainWindow() {
    // START reads the scale from the main window's own scale box: keep it
    // showing the scale set here.
    auto* main = qobject_cast<MainWindow*>(mainWindow_.data());
    if (!main) return;
    main->logic().Guard([&] { main->logic().SCLtxt.setText(formatFixed4(model_.drawScale)); });
}

void SettingsWindow::build() {
    // The controls lie on a page of at least the design size; on a screen
    // too small for it the window scrolls instead of cutting it off, and in
    // a larger window the preview takes the room.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("settingsPage"));
    page->setMinimumSize(kWidth, kHeight);
    page_ = page;
    // The window's green, on the page too.
    setAutoFillBackground(true);
    page->setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    setPalette(pal);
    page->setPalette(pal);
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
    scroll->setWidget(page);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    SettingsWindowLogic& L = *logic_;
    ActionGuard guard = [this](const std::function<void()>& action) {
        if (!closing_) logic_->Guard(action);
    };

    // ---- left column: parameters, switches, view ----
    caption(page, "*** View  ***", 16, 8);
    caption(page, "* Parameters", 16, 56);
    caption(page, "GI", 16, 81, 22);
    auto* gi = box(page, "GItxt", 40, 80, 25, " .0005");
    caption(page, "Growth increment", gi->geometry().right() + 6, 81, 110);
    caption(page, "SCL", 16, 113, 24);
    auto* scl = box(page, "SCLtxt", 40, 112, 25, "14.3004");
    caption(page, "Scale", scl->geometry().right() + 6, 113, 60);
    auto* orient = new QCheckBox(QStringLiteral("Life orientation"), page);
    orient->setObjectName(QStringLiteral("ORIENTcbx"));
    orient->setGeometry(16, 144, 113, 17);
    auto* rib = new QCheckBox(QStringLiteral("Ribbing"), page);
    rib->setObjectName(QStringLiteral("RIBcbx"));
    rib->setGeometry(16, 176, 113, 17);

    const VectorGroup view = vectorGroup(page, "* View", 'V', "VIEW", 0);

    auto* ref = new QFrame(page);
    ref->setObjectName(QStringLiteral("REFfra"));
    ref->setFrameShape(QFrame::Box);
    // Wide enough for "initial" and for the vector boxes left of it.
    const int refLeft = std::max(96, view.x->geometry().right() + 3);
    const int refWidth = std::max(152 - refLeft, page->fontMetrics().horizontalAdvance(QStringLiteral("initial")) + 24);
    ref->setGeometry(refLeft, 280, refWidth, 57);
    caption(ref, "Refer to", 3, 2, refWidth - 4, 14);
    auto* initial = option(ref, "INITIALopt", 3, 18);
    caption(ref, "initial", 19, 18, refWidth - 21, 16);
    auto* final_ = option(ref, "FINALopt", 3, 36);
    caption(ref, "final", 19, 36, refWidth - 21, 16);

    // ---- middle: origin with the preview, light, "Fixed to" ----
    caption(page, "* Origin", 200, 48, 60);
    auto* frame = new QFrame(page);
    frame->setObjectName(QStringLiteral("FRfra"));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(kFrameBorder);
    frame->setGeometry(200, 80, kPreviewBoxWidth, kPreviewBoxHeight);
    previewView_ = new SurfaceView(preview_, frame, true);
    previewView_->setObjectName(QStringLiteral("FRpct"));
    previewView_->setGeometry(kFrameBorder, kFrameBorder, preview_.width(), preview_.height());
    // The design's box is the smallest the 6-point labels stay readable at.
    previewView_->setMinimumSize(preview_.width(), preview_.height());
    previewView_->setMaxResolution(8);
    previewView_->setFocusPolicy(Qt::StrongFocus);
    connect(previewView_, &SurfaceView::clicked, this, [this] {
        if (!closing_) logic_->ClickPreview();
    });
    auto* originV = bar(page, "ORIGINvsc", Qt::Vertical, 336, 80, 9, 145);
    auto* originH = bar(page, "ORIGINhsc", Qt::Horizontal, 152, 184, 177, 9);
    caption(page, "Oy", 308, 57, 18);
    auto* oy = box(page, "OYtxt", 328, 56, 33, "14.3004");
    caption(page, "Ox", 204, 201, 18);
    auto* ox = box(page, "OXtxt", 224, 200, 33, "14.3004");

    const VectorGroup light = vectorGroup(page, "* Light", 'L', "LIGHT", 184);
    const int fixedLeft = std::max(280, light.x->geometry().right() + 3);
    caption(page, "Fixed to", fixedLeft, 288, 50);
    auto* frameOpt = option(page, "FRAMEopt", fixedLeft, 304);
    caption(page, "frame", fixedLeft + 17, 304, 335 - fixedLeft - 17);
    auto* scrnOpt = option(page, "SCRNopt", fixedLeft, 320);
    caption(page, "screen", fixedLeft + 17, 320, 335 - fixedLeft - 17);

    // ---- right column: densities and "Confirm" ----
    caption(page, "*** Growth  ***", 416, 8);
    caption(page, "Air chamber density", 400, 105, 125);
    auto* da = box(page, "DAtxt", 528, 104, 41, "14.3004");
    caption(page, "Bogy chamber density", 400, 137, 125);
    auto* db = box(page, "DBtxt", 528, 136, 41, "14.3004");
    auto* conf = new QPushButton(QStringLiteral("Confirm"), page);
    conf->setObjectName(QStringLiteral("Conf"));
    conf->setGeometry(624, 8, 73, 25);

    auto* status = namedLabel(page, "statusLine", 8, 388, 704, 16);

    // ---- bindings ----
    bindLineEdit(gi, L.GItxt, guard);
    bindLineEdit(scl, L.SCLtxt, guard);
    bindLineEdit(ox, L.OXtxt, guard);
    bindLineEdit(oy, L.OYtxt, guard);
    bindLineEdit(view.x, L.VXtxt, guard);
    bindLineEdit(view.y, L.VYtxt, guard);
    bindLineEdit(view.z, L.VZtxt, guard);
    bindLineEdit(light.x, L.LXtxt, guard);
    bindLineEdit(light.y, L.LYtxt, guard);
    bindLineEdit(light.z, L.LZtxt, guard);
    bindLineEdit(da, L.DAtxt, guard);
    bindLineEdit(db, L.DBtxt, guard);
    bindScrollBar(originH, L.ORIGINhsc, guard);
    bindScrollBar(originV, L.ORIGINvsc, guard);
    bindScrollBar(view.azimuthBar, L.VIEWhsc, guard);
    bindScrollBar(view.elevationBar, L.VIEWvsc, guard);
    bindScrollBar(light.azimuthBar, L.LIGHThsc, guard);
    bindScrollBar(light.elevationBar, L.LIGHTvsc, guard);
    bindLabel(view.azimuth, L.VLGlbl);
    bindLabel(view.elevation, L.VLTlbl);
    bindLabel(light.azimuth, L.LLGlbl);
    bindLabel(light.elevation, L.LLTlbl);
    bindStatusLine(status, L.statusLine);
    bindCheckBox(rib, L.RIBcbx, guard);
    bindCheckBox(orient, L.ORIENTcbx, guard);
    bindOption(initial, L.INITIALopt, guard);
    bindOption(final_, L.FINALopt, guard);
    bindOption(scrnOpt, L.SCRNopt, guard);
    bindOption(frameOpt, L.FRAMEopt, guard);
    connect(conf, &QPushButton::clicked, this, [this] {
        if (!closing_) logic_->ClickConfirm();
    });

    L.previewDrawn = [this] { previewView_->update(); };
    L.drawScaleChanged = [this] { mirrorScaleToMainWindow(); };
    L.confirmed = [this] {
        hide();
        if (mainWindow_) {
            mainWindow_->show();
            mainWindow_->raise();
            mainWindow_->activateWindow();
        }
    };

    // ---- keyboard focus order ----
    QWidget* order[] = {gi,           scl,
                        ox,           oy,
                        view.x,       view.y,
                        view.z,       light.x,
                        light.y,      light.z,
                        view.azimuthBar, light.azimuthBar,
                        originH,      conf,
                        view.elevationBar, light.elevationBar,
                        previewView_, originV,
                        frameOpt,     scrnOpt,
                        initial,      final_,
                        orient,       rib,
                        da,           db};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    for (QWidget* w : {static_cast<QWidget*>(orient), static_cast<QWidget*>(rib),
                       static_cast<QWidget*>(initial), static_cast<QWidget*>(final_),
                       static_cast<QWidget*>(frameOpt), static_cast<QWidget*>(scrnOpt)})
        w->setFocusPolicy(Qt::StrongFocus);
    // ---- what each control does, in one line ----
    const std::pair<const char*, const char*> tips[] = {
        {"GItxt", "Growth increment per stage"},
        {"SCLtxt", "Drawing scale: picture pixels per model unit"},
        {"ORIENTcbx", "Draw the shell in the orientation in which it floats"},
        {"RIBcbx", "Swollen ribs and growth lines on the shaded shell"},
        {"VXtxt", "View direction, x component"},
        {"VYtxt", "View direction, y component"},
        {"VZtxt", "View direction, z component"},
        {"VIEWvsc", "Elevation of the view direction"},
        {"VIEWhsc", "Azimuth of the view direction"},
        {"VLTlbl", "Elevation of the view direction in degrees"},
        {"VLGlbl", "Azimuth of the view direction in degrees"},
        {"INITIALopt", "Refer the directions to the initial stage"},
        {"FINALopt", "Refer the directions to the final stage"},
        {"FRpct", "Where the shell's origin lies on the picture, with the view and light; a click redraws it"},
        {"ORIGINvsc", "Vertical position of the shell's origin on the picture"},
        {"ORIGINhsc", "Horizontal position of the shell's origin on the picture"},
        {"OXtxt", "Horizontal position of the shell's origin in pixels"},
        {"OYtxt", "Vertical position of the shell's origin in pixels"},
        {"LXtxt", "Light direction, x component"},
        {"LYtxt", "Light direction, y component"},
        {"LZtxt", "Light direction, z component"},
        {"LIGHTvsc", "Elevation of the light direction"},
        {"LIGHThsc", "Azimuth of the light direction"},
        {"LLTlbl", "Elevation of the light direction in degrees"},
        {"LLGlbl", "Azimuth of the light direction in degrees"},
        {"FRAMEopt", "The preview shows the light fixed to the shell's frame"},
        {"SCRNopt", "The preview shows the light fixed to the screen"},
        {"DAtxt", "Density of the air-filled chambers"},
        {"DBtxt", "Density of the body chamber"},
        {"Conf", "Close this window and go back to the main window"},
    };
    for (const auto& [name, tip] : tips)
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->setToolTip(QString::fromUtf8(tip));

    gi->setFocus();

    for (QWidget* w : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        designPlaces_.emplace_back(w, w->geometry());
    resolutionTimer_ = new QTimer(this);
    resolutionTimer_->setSingleShot(true);
    resolutionTimer_->setInterval(120);
    connect(resolutionTimer_, &QTimer::timeout, this, [this] { fitResolution(); });
    connect(previewView_, &SurfaceView::resized, resolutionTimer_, qOverload<>(&QTimer::start));
    page->installEventFilter(this);
    page->resize(kWidth, kHeight);
    layoutPage();
    PlaceWindowOnScreen(this, QStringLiteral("settings"), QSize(kWidth, kHeight));
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == page_ && event->type() == QEvent::Resize) layoutPage();
    return QWidget::eventFilter(watched, event);
}

double SettingsWindow::previewGrowth() const {
    if (!page_) return 1;
    // The room beyond the design size goes to the preview, its shape kept.
    const double kx = double(page_->width() - kWidth + kPreviewBoxWidth) / kPreviewBoxWidth;
    const double ky = double(page_->height() - kHeight + kPreviewBoxHeight) / kPreviewBoxHeight;
    return std::max(1.0, std::min(kx, ky));
}

void SettingsWindow::layoutPage() {
    if (!page_ || designPlaces_.empty()) return;
    const double k = previewGrowth();
    const int dw = static_cast<int>(std::lround(kPreviewBoxWidth * k)) - kPreviewBoxWidth;
    const int dh = static_cast<int>(std::lround(kPreviewBoxHeight * k)) - kPreviewBoxHeight;
    // The preview's box in the design: everything below its foot moves down,
    // the origin's box and bar right of it and the right-hand column move
    // right; the origin bars and the status line stretch along its sides.
    constexpr int previewFoot = 80 + kPreviewBoxHeight, rightOfPreview = 300, rightColumn = 400;
    for (const auto& [w, design] : designPlaces_) {
        QRect r = design;
        const QString name = w->objectName();
        if (name == QLatin1String("FRfra")) {
            r.setSize(r.size() + QSize(dw, dh));
        } else if (name == QLatin1String("ORIGINvsc")) {
            r.translate(dw, 0);
            r.setHeight(r.height() + dh);
        } else if (name == QLatin1String("ORIGINhsc") || name == QLatin1String("statusLine")) {
            r.translate(0, dh);
            r.setWidth(r.width() + dw);
        } else {
            const bool below = design.top() >= previewFoot;
            if (below) r.translate(0, dh);
            if (design.left() >= rightColumn || (design.left() >= rightOfPreview && !below)) r.translate(dw, 0);
        }
        if (w->geometry() != r) w->setGeometry(r);
    }
    previewView_->resize(kPreviewBoxWidth + dw - 2 * kFrameBorder, kPreviewBoxHeight + dh - 2 * kFrameBorder);
}

}  // namespace ammonite

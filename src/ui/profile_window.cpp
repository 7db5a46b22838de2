#include "ui/profile_window.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QFont>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>

#include "ui/bindings.h"
#include "ui/window_place.h"

namespace ammonite {

namespace {
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QFont serifFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("DejaVu Serif"),
                   QStringLiteral("IPAPMincho")});
    f.setStyleHint(QFont::Serif);
    f.setPixelSize(15);
    return f;
}
}  // namespace

ProfileWindow::ProfileWindow(ModelDocument& document, QWidget* mainWindow)
    : QWidget(nullptr),
      document_(document),
      model_(document.state()),
      mainWindow_(mainWindow),
      background_(kChartWidth, kChartHeight, ImageSurface::screenResolution()),
      shown_(kChartWidth, kChartHeight, ImageSurface::screenResolution()),
      layers_(background_, shown_) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("CHART"));

    // The chart grows and shrinks with the window, the controls keep their
    // size around it (layoutPage); below the page's least size, on a screen
    // too small for even that, the window scrolls instead of cutting it off.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("chartPage"));
    page->setMinimumSize(kMinPageWidth, kMinPageHeight);
    scroll->setWidget(page);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    page_ = page;
    page->installEventFilter(this);

    logic_ = std::make_unique<ProfileWindowLogic>(document_, layers_);
    ProfileWindowLogic& L = *logic_;
    // The chart is widened so that the whole stage range 0..4000 shows, four
    // stages a unit; the marker is taken within a few units.
    L.stagesPerUnit = 4;
    L.markerReach = 4;
    // Nothing reaches the logic once the window is being destroyed.
    ActionGuard guard = [this](const std::function<void()>& f) {
        if (!closing_) logic_->Guard(f);
    };

    view_ = new SurfaceView(shown_, page, true);
    view_->setObjectName(QStringLiteral("GRAPHpct"));
    view_->setToolTip(QStringLiteral("Press a point to select and drag it, or press elsewhere to add one"));
    view_->setMinimumSize(kChartWidth / 2, kChartHeight / 2);
    connect(view_, &SurfaceView::pressed, this, [this](double x, double y) { logic_->PressChart(x, y); });
    connect(view_, &SurfaceView::moved, this, [this](double x, double y) { logic_->MoveChart(x, y); });
    connect(view_, &SurfaceView::released, this, [this](double x, double y) { logic_->ReleaseChart(x, y); });
    L.surfaceChanged = [this] { view_->update(); };

    const int boxX = kChartWidth - 81;
    auto* xcmLabel = new QLabel(QStringLiteral("stage"), page);
    xcmLabel->setObjectName(QStringLiteral("XCMlbl"));
    xcmLabel->setGeometry(boxX - 50, 16, 46, 25);
    xcmLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* xcm = new QLineEdit(page);
    xcm->setObjectName(QStringLiteral("XCMtxt"));
    xcm->setGeometry(boxX, 16, 81, 25);
    xcm->setToolTip(QStringLiteral("Stage of the selected point (0..4000)"));
    xcmLabel->setBuddy(xcm);
    auto* ycmLabel = new QLabel(QStringLiteral("value"), page);
    ycmLabel->setObjectName(QStringLiteral("YCMlbl"));
    ycmLabel->setGeometry(boxX - 50, 48, 46, 25);
    ycmLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* ycm = new QLineEdit(page);
    ycm->setObjectName(QStringLiteral("YCMtxt"));
    ycm->setGeometry(boxX, 48, 81, 25);
    ycm->setToolTip(QStringLiteral("Value of the selected point"));
    ycmLabel->setBuddy(ycm);
    bindLineEdit(xcm, L.XCMtxt, guard);
    bindLineEdit(ycm, L.YCMtxt, guard);
    // Ctrl+Z in the boxes undoes the last profile edit, as it does elsewhere
    // in the window, not the box's own typing.
    xcm->installEventFilter(this);
    ycm->installEventFilter(this);

    fileList_ = new QListWidget(page);
    fileList_->setObjectName(QStringLiteral("FILElst"));
    fileList_->setGeometry(680, 508, 220, 162);
    fileList_->hide();
    connect(fileList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { logic_->ClickFile(item->text().toStdString()); });
    L.fileListChanged = [this] { refreshFileList(); };

    alphaBar_ = new QScrollBar(Qt::Horizontal, page);
    alphaBar_->setToolTip(QStringLiteral("\xCE\xB1, the radius ratio per stage (1.001..1.004)"));
    alphaBar_->setObjectName(QStringLiteral("DShsc"));
    alphaBar_->setGeometry(56, 624, 169, 17);
    bindScrollBar(alphaBar_, L.DShsc, guard);
    alphaCaption_ = makeButton(page, "DScmd", "", 112, 648, 73, 17);
    alphaCaption_->setFlat(true);
    alphaCaption_->setFocusPolicy(Qt::NoFocus);
    alphaCaption_->setStyleSheet(QStringLiteral("padding: 0px;"));
    alphaCaption_->setText(QString::fromStdString(L.DScmd.caption()));
    L.DScmd.viewUpdate = [this] { alphaCaption_->setText(QString::fromStdString(logic_->DScmd.caption())); };
    alphaBar_->hide();
    alphaCaption_->hide();
    L.alphaControlsChanged = [this] {
        alphaBar_->setVisible(logic_->alphaControlsShown);
        alphaCaption_->setVisible(logic_->alphaControlsShown);
    };

    // Parameter buttons, their letters in a serif font so α β γ show.
    struct Param {
        const char* name;
        const char* caption;
        int x;
        int mode;
    };
    const Param params[] = {{"Scmd", "\xCE\xB1", 16, ProfileWindowLogic::kFinalStage},
                            {"Bcmd", "\xCE\xB2", 96, ProfileWindowLogic::kBeta},
                            {"Ecmd", "\xCE\xB3", 176, ProfileWindowLogic::kGamma},
                            {"Ccmd", "C", 256, ProfileWindowLogic::kCurvature},
                            {"Tcmd", "T", 336, ProfileWindowLogic::kTorsion}};
    const char* const tips[] = {"Final stage and \xCE\xB1: drag the marker, move the \xCE\xB1 bar",
                                "Edit the profile of \xCE\xB2, the body-chamber length",
                                "Edit the profile of \xCE\xB3", "Edit the profile of C, the curvature",
                                "Edit the profile of T, the torsion"};
    int tip = 0;
    for (const Param& p : params) {
        auto* b = makeButton(page, p.name, p.caption, p.x, 680, 73, 25);
        b->setToolTip(QString::fromUtf8(tips[tip++]));
        b->setFont(serifFont());
        int mode = p.mode;
        connect(b, &QPushButton::clicked, this, [this, mode] {
            if (mode == ProfileWindowLogic::kFinalStage)
                logic_->ClickAlpha();
            else
                logic_->ClickProfileButton(mode);
        });
    }
    auto* del = makeButton(page, "PDLcmd", "Point Del.", 456, 680, 81, 25);
    del->setToolTip(QStringLiteral("Delete the selected inner point (Delete); with \xCE\xB1 chosen, undo the last cut"));
    del->setStyleSheet(QStringLiteral("background-color: rgb(255, 192, 192);"));
    connect(del, &QPushButton::clicked, this, [this] { logic_->ClickPointDel(); });
    auto* ok = makeButton(page, "OKcom", "OK", 560, 680, 105, 25);
    ok->setToolTip(QStringLiteral("Back to the main window; the next START uses the edited profiles"));
    ok->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 192);"));
    connect(ok, &QPushButton::clicked, this, [this] { returnToMainWindow(); });
    auto* load = makeButton(page, "LOADcmd", "D-Load", 760, 680, 65, 25);
    load->setToolTip(QStringLiteral("Show the profile files; a click on a name loads it"));
    connect(load, &QPushButton::clicked, this, [this] { logic_->ClickLoad(); });
    auto* save = makeButton(page, "SAVEcmd", "D-save", 832, 680, 65, 25);
    save->setToolTip(QStringLiteral("Save the profiles and \xCE\xB1 as ammonite/SAMPLE.txt"));
    connect(save, &QPushButton::clicked, this, [this] { logic_->ClickSave(); });

    status_ = new QLabel(page);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setGeometry(8, 708, kPageWidth - 16, 20);
    bindStatusLine(status_, L.statusLine);
    fileList_->setToolTip(QStringLiteral("Profile files in the folder; a click loads one"));

    // Keys of the editor: undo, delete the selected point, clear the selection.
    auto shortcut = [this](const QKeySequence& keys, const char* name, std::function<void()> action) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, std::move(action));
        addAction(a);
    };
    shortcut(QKeySequence(QKeySequence::Undo), "undoAction", [this] { logic_->UndoEdit(); });
    shortcut(QKeySequence(Qt::Key_Delete), "deletePointAction", [this] {
        if (logic_->editingPoints()) logic_->ClickPointDel();
    });
    shortcut(QKeySequence(Qt::Key_Escape), "clearSelectionAction", [this] { logic_->ClearSelection(); });
    L.confirmOverwrite = [this](const std::string& path) {
        if (confirmOverwrite) return confirmOverwrite(QString::fromStdString(path));
        return QMessageBox::question(this, QStringLiteral("D-save"),
                                     QStringLiteral("%1 exists. Replace it?").arg(QString::fromStdString(path)),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    L.stagesChanged = [this] { emit stagesChanged(); };

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(1);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { logic_->TimerTick(); });
    L.timerChanged = [this] {
        if (logic_->timerOn)
            timer_->start();
        else
            timer_->stop();
    };

    L.Load();
    fileList_->setToolTip(QString::fromStdString(model_.profileFolderPath));

    resolutionTimer_ = new QTimer(this);
    resolutionTimer_->setSingleShot(true);
    resolutionTimer_->setInterval(120);
    connect(resolutionTimer_, &QTimer::timeout, this, [this] { fitResolution(); });
    connect(view_, &SurfaceView::resized, resolutionTimer_, qOverload<>(&QTimer::start));
    page->resize(kPageWidth, kPageHeight);
    layoutPage();
    PlaceWindowOnScreen(this, QStringLiteral("chart"), QSize(kPageWidth, kPageHeight));
}

void ProfileWindow::layoutPage() {
    if (!page_ || !view_) return;
    const int w = page_->width(), h = page_->height();
    // The chart takes all but the button row and the status line below it.
    view_->setGeometry(8, 8, w - 16, h - 8 - kBelowChart);
    const double k = view_->shownScale();
    const QRect picture(view_->pos(), QSize(static_cast<int>(std::lround(kChartWidth * k)),
                                            static_cast<int>(std::lround(kChartHeight * k))));
    auto place = [this](const char* name, int x, int y) {
        if (auto* c = page_->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly)) c->move(x, y);
    };
    // The coordinate boxes in the chart's top right corner.
    place("XCMtxt", picture.right() + 1 - 81, picture.top() + 8);
    place("YCMtxt", picture.right() + 1 - 81, picture.top() + 40);
    place("XCMlbl", picture.right() + 1 - 131, picture.top() + 8);
    place("YCMlbl", picture.right() + 1 - 131, picture.top() + 40);
    // The file list where the chart has room for it, the α bar and its
    // caption along the chart's foot.
    const QPoint list(picture.left() + static_cast<int>(std::lround(672 * k)),
                      picture.top() + static_cast<int>(std::lround(500 * k)));
    fileList_->move(std::min(list.x(), picture.right() + 1 - fileList_->width()),
                    std::max(picture.top(), std::min(list.y(), picture.bottom() + 1 - fileList_->height())));
    alphaBar_->move(picture.left() + static_cast<int>(std::lround(48 * k)), picture.bottom() + 1 - 49);
    alphaCaption_->move(alphaBar_->x() + 56, picture.bottom() + 1 - 25);
    // The buttons and the status line below the chart.
    const int buttonsY = h - kBelowChart + 7;
    for (QPushButton* b : page_->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
        if (b != alphaCaption_) b->move(b->x(), buttonsY);
    status_->setGeometry(8, buttonsY + 28, w - 16, 20);
}

ProfileWindow::~ProfileWindow() {
    // The logic's callbacks refer to widgets that are about to go.
    logic_->surfaceChanged = nullptr;
    logic_->alphaControlsChanged = nullptr;
    logic_->fileListChanged = nullptr;
    logic_->timerChanged = nullptr;
    logic_->stagesChanged = nullptr;
    logic_->confirmOverwrite = nullptr;
    // The controls go first, while the logic still exists; a box that loses
    // the focus on the way runs no leave-field check.
    closing_ = true;
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete child;
}

void ProfileWindow::refreshFileList() {
    fileList_->clear();
    for (const std::string& name : logic_->fileNames) fileList_->addItem(QString::fromStdString(name));
    fileList_->setToolTip(QString::fromStdString(logic_->fileListFolder));
    fileList_->setVisible(logic_->fileListShown);
    if (logic_->fileListShown) fileList_->raise();
}

void ProfileWindow::hideEvent(QHideEvent* e) {
    RememberWindowPlace(this, QStringLiteral("chart"));
    QWidget::hideEvent(e);
}

void ProfileWindow::returnToMainWindow() {
    hide();
    if (mainWindow_) {
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
    }
}

void ProfileWindow::mouseReleaseEvent(QMouseEvent* e) {
    // A click on the window's own area, outside every control.
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) logic_->ClickFreeArea();
    QWidget::mouseReleaseEvent(e);
}

bool ProfileWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == page_ && e->type() == QEvent::Resize) layoutPage();
    if (e->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(watched) &&
        static_cast<QKeyEvent*>(e)->matches(QKeySequence::Undo))
        return true;  // not taken by the box: the window's undo runs
    // A click on the page's own area, outside every control.
    if (watched == page_ && e->type() == QEvent::MouseButtonRelease) {
        auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::LeftButton && page_->rect().contains(m->position().toPoint()))
            logic_->ClickFreeArea();
    }
    return QWidget::eventFilter(watched, e);
}

void ProfileWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) logic_->Activate();
    QWidget::changeEvent(e);
}

void ProfileWindow::showEvent(QShowEvent* e) {
    logic_->Activate();
    QWidget::showEvent(e);
    FollowScreenScale(this, [this] { fitResolution(); });
}

void ProfileWindow::fitResolution() {
    const double wanted = view_->wantedResolution();
    if (closing_ || std::fabs(wanted - shown_.resolution()) < 1e-9) return;
    paintChartAt(wanted);
}

void ProfileWindow::paintChartAt(double resolution) {
    if (closing_) return;
    background_.setResolution(resolution);
    shown_.setResolution(resolution);
    // The chart is drawn again from the model, as a click beside it does.
    logic_->Guard([this] {
        logic_->DrawChartBackground();
        logic_->DrawProfiles();
    });
    view_->update();
}

}  // namespace ammonite

#include "ui/profile_window.h"

#include <QEvent>
#include <QFont>
#include <QMouseEvent>

#include "ui/bindings.h"

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

ProfileWindow::ProfileWindow(ModelState& model, QWidget* mainWindow)
    : QWidget(nullptr),
      model_(model),
      mainWindow_(mainWindow),
      background_(kChartWidth, kChartHeight),
      shown_(kChartWidth, kChartHeight),
      layers_(background_, shown_) {
    setWindowTitle(QStringLiteral("Form1"));
    setObjectName(QStringLiteral("CHART"));
    setFixedSize(1016, 730);

    logic_ = std::make_unique<ProfileWindowLogic>(model_, layers_);
    ProfileWindowLogic& L = *logic_;
    // Nothing reaches the logic once the window is being destroyed.
    ActionGuard guard = [this](const std::function<void()>& f) {
        if (!closing_) logic_->Guard(f);
    };

    view_ = new SurfaceView(shown_, this);
    view_->setObjectName(QStringLiteral("GRAPHpct"));
    view_->move(8, 8);
    connect(view_, &SurfaceView::pressed, this, [this](double x, double y) { logic_->PressChart(x, y); });
    connect(view_, &SurfaceView::moved, this, [this](double x, double y) { logic_->MoveChart(x, y); });
    connect(view_, &SurfaceView::released, this, [this](double x, double y) { logic_->ReleaseChart(x, y); });
    L.surfaceChanged = [this] { view_->update(); };

    auto* xcm = new QLineEdit(this);
    xcm->setObjectName(QStringLiteral("XCMtxt"));
    xcm->setGeometry(920, 16, 81, 25);
    auto* ycm = new QLineEdit(this);
    ycm->setObjectName(QStringLiteral("YCMtxt"));
    ycm->setGeometry(920, 48, 81, 25);
    bindLineEdit(xcm, L.XCMtxt, guard);
    bindLineEdit(ycm, L.YCMtxt, guard);

    fileList_ = new QListWidget(this);
    fileList_->setObjectName(QStringLiteral("FILElst"));
    fileList_->setGeometry(776, 568, 105, 102);
    fileList_->hide();
    connect(fileList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { logic_->ClickFile(item->text().toStdString()); });
    L.fileListChanged = [this] { refreshFileList(); };

    alphaBar_ = new QScrollBar(Qt::Horizontal, this);
    alphaBar_->setObjectName(QStringLiteral("DShsc"));
    alphaBar_->setGeometry(56, 624, 169, 17);
    bindScrollBar(alphaBar_, L.DShsc, guard);
    alphaCaption_ = makeButton(this, "DScmd", "", 112, 648, 73, 17);
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
    for (const Param& p : params) {
        auto* b = makeButton(this, p.name, p.caption, p.x, 680, 73, 25);
        b->setFont(serifFont());
        int mode = p.mode;
        connect(b, &QPushButton::clicked, this, [this, mode] {
            if (mode == ProfileWindowLogic::kFinalStage)
                logic_->ClickAlpha();
            else
                logic_->ClickProfileButton(mode);
        });
    }
    auto* del = makeButton(this, "PDLcmd", "Point Del.", 456, 680, 81, 25);
    del->setStyleSheet(QStringLiteral("background-color: rgb(255, 192, 192);"));
    connect(del, &QPushButton::clicked, this, [this] { logic_->ClickPointDel(); });
    auto* ok = makeButton(this, "OKcom", "OK", 560, 680, 105, 25);
    ok->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 192);"));
    connect(ok, &QPushButton::clicked, this, [this] { returnToMainWindow(); });
    auto* load = makeButton(this, "LOADcmd", "D-Load", 760, 680, 65, 25);
    connect(load, &QPushButton::clicked, this, [this] { logic_->ClickLoad(); });
    auto* save = makeButton(this, "SAVEcmd", "D-save", 832, 680, 65, 25);
    connect(save, &QPushButton::clicked, this, [this] { logic_->ClickSave(); });

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLine"));
    status_->setGeometry(8, 708, 1000, 20);
    status_->setStyleSheet(QStringLiteral("color: rgb(120, 0, 0);"));
    bindLabel(status_, L.statusLine);

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
}

ProfileWindow::~ProfileWindow() {
    // The logic's callbacks refer to widgets that are about to go.
    logic_->surfaceChanged = nullptr;
    logic_->alphaControlsChanged = nullptr;
    logic_->fileListChanged = nullptr;
    logic_->timerChanged = nullptr;
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

void ProfileWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) logic_->Activate();
    QWidget::changeEvent(e);
}

void ProfileWindow::showEvent(QShowEvent* e) {
    logic_->Activate();
    QWidget::showEvent(e);
}

}  // namespace ammonite

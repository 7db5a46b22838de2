#include "ui/film_dialog.h"

#include <algorithm>

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QVBoxLayout>

#include "session/film_recording.h"
#include "picture/film_pictures.h"

namespace ammonite {

namespace {

// The formats in the order of the format box, with their file extensions
// ("" for a folder of PNG frames).
struct FormatChoice {
    const char* caption;
    const char* extension;
};
constexpr FormatChoice kFormats[] = {{"MP4 (H.264)", ".mp4"},
                                     {"WebM (VP9)", ".webm"},
                                     {"Animated GIF", ".gif"},
                                     {"PNG frames (a folder)", ""}};

}  // namespace

FilmDialog::FilmDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FILM"));
    setWindowTitle(QStringLiteral("Record film"));
    setModal(false);

    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("FILMkind"));
    kind_->addItem(QStringLiteral("Growth: stage 1 to the last, in each stage's life orientation"), "growth");
    kind_->addItem(QStringLiteral("Turntable: one turn about the vertical at the stage shown"), "turntable");
    kind_->addItem(QStringLiteral("Both: the growth, then a turn"), "both");
    size_ = new QComboBox(this);
    size_->setObjectName(QStringLiteral("FILMsize"));
    size_->addItem(QStringLiteral("720p (1280 × 720)"), QSize(1280, 720));
    size_->addItem(QStringLiteral("1080p (1920 × 1080)"), QSize(1920, 1080));
    size_->addItem(QStringLiteral("VIEW's picture"), QSize(1280, 720));
    fps_ = new QSpinBox(this);
    fps_->setObjectName(QStringLiteral("FILMfps"));
    fps_->setRange(1, kFilmMaxFps);
    fps_->setValue(30);
    fps_->setSuffix(QStringLiteral(" frames/s"));
    seconds_ = new QDoubleSpinBox(this);
    seconds_->setObjectName(QStringLiteral("FILMseconds"));
    seconds_->setRange(0.1, kFilmMaxSeconds);
    seconds_->setDecimals(1);
    seconds_->setValue(10);
    seconds_->setSuffix(QStringLiteral(" s"));
    format_ = new QComboBox(this);
    format_->setObjectName(QStringLiteral("FILMformat"));
    for (const FormatChoice& f : kFormats) format_->addItem(QString::fromUtf8(f.caption));
    path_ = new QLineEdit(QStringLiteral("ammonite-film.mp4"), this);
    path_->setObjectName(QStringLiteral("FILMpath"));
    browse_ = new QPushButton(QStringLiteral("Browse…"), this);
    record_ = new QPushButton(QStringLiteral("Record"), this);
    record_->setObjectName(QStringLiteral("FILMrecord"));
    record_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("FILMcancel"));
    cancel_->setEnabled(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("FILMprogress"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FILMstatus"));
    status_->setWordWrap(true);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Kind"), kind_);
    form->addRow(QStringLiteral("Size"), size_);
    form->addRow(QStringLiteral("Frame rate"), fps_);
    form->addRow(QStringLiteral("Duration"), seconds_);
    form->addRow(QStringLiteral("Format"), format_);
    form->addRow(QStringLiteral("File"), pathRow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progress_, 1);
    buttons->addWidget(record_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(status_);

    connect(browse_, &QPushButton::clicked, this, &FilmDialog::browse);
    connect(record_, &QPushButton::clicked, this, &FilmDialog::startRecording);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        status_->setText(QStringLiteral("Cancelling…"));
    });
    connect(format_, &QComboBox::currentIndexChanged, this, &FilmDialog::formatChanged);
}

FilmDialog::~FilmDialog() {
    cancelled_ = true;
    if (worker_.joinable()) worker_.join();
}

void FilmDialog::setShell(std::shared_ptr<const ModelState> model, std::shared_ptr<const RunState> run, int stage,
                          QSize windowPixels) {
    model_ = std::move(model);
    run_ = std::move(run);
    stage_ = stage;
    // Video encoders need even sides.
    windowPixels_ = QSize(std::max(kFilmMinSide, windowPixels.width() & ~1), std::max(kFilmMinSide, windowPixels.height() & ~1));
    size_->setItemText(2, QStringLiteral("VIEW's picture (%1 × %2)").arg(windowPixels_.width()).arg(windowPixels_.height()));
    size_->setItemData(2, windowPixels_);
}

void FilmDialog::formatChanged() {
    // The file's extension follows the format.
    const FormatChoice& f = kFormats[std::clamp(format_->currentIndex(), 0, 3)];
    QString path = path_->text();
    for (const FormatChoice& other : kFormats) {
        const QString ext = QString::fromLatin1(other.extension);
        if (!ext.isEmpty() && path.endsWith(ext, Qt::CaseInsensitive)) path.chop(ext.size());
    }
    path_->setText(path + QString::fromLatin1(f.extension));
}

void FilmDialog::browse() {
    const bool folder = format_->currentIndex() == 3;
    const QString chosen = folder ? QFileDialog::getExistingDirectory(this, QStringLiteral("Folder of PNG frames"),
                                                                      path_->text())
                                  : QFileDialog::getSaveFileName(this, QStringLiteral("Film file"), path_->text(),
                                                                 QStringLiteral("Films (*.mp4 *.webm *.gif)"));
    if (!chosen.isEmpty()) path_->setText(chosen);
}

void FilmDialog::startRecording() {
    if (recording()) return;
    if (!model_ || !run_) {
        status_->setText(QStringLiteral("Nothing to film yet: grow a shell first"));
        return;
    }
    const QString path = path_->text().trimmed();
    if (path.isEmpty()) {
        status_->setText(QStringLiteral("Give the film a file name (or a folder for PNG frames)"));
        return;
    }
    FilmSettings settings;
    ParseFilmKind(kind_->currentData().toString().toStdString(), settings.kind);
    const QSize size = size_->currentData().toSize();
    settings.width = size.width();
    settings.height = size.height();
    settings.fps = fps_->value();
    settings.seconds = seconds_->value();
    if (settings.kind != FilmKind::Growth) settings.turnStage = stage_;
    FilmTarget target;
    if (format_->currentIndex() == 3) target.framesFolder = path.toStdString();
    else target.file = path.toStdString();

    // The plan is checked here, so that a bad setting is told at once.
    auto plan = std::make_shared<FilmPlan>();
    std::string error;
    if (!plan->prepare(*model_, *run_, settings, error)) {
        status_->setText(QString::fromStdString(error));
        return;
    }
    target.metadata = FilmMetadata(*model_, settings, "VIEW, Record film");
    cancelled_ = false;
    progress_->setRange(0, plan->frameCount());
    progress_->setValue(0);
    record_->setEnabled(false);
    cancel_->setEnabled(true);
    status_->setText(QStringLiteral("Recording…"));
    // The thread keeps the shell it films alive.
    worker_ = std::thread([this, plan, target, model = model_, run = run_] {
        FilmControl control;
        control.cancel = &cancelled_;
        control.progress = [this](int done, int) {
            QMetaObject::invokeMethod(this, [this, done] { progress_->setValue(done); }, Qt::QueuedConnection);
        };
        FilmReport report;
        std::string why;
        const bool ok = RecordFilm(*plan, target, FilmTools{MakeFilmPicture, EncodeFilmPng}, control, report, why);
        QString message;
        if (ok) {
            message = QStringLiteral("Recorded %1 frames in %2 s: %3")
                          .arg(report.frames)
                          .arg(report.seconds, 0, 'f', 1)
                          .arg(QString::fromStdString(target.file ? *target.file : *target.framesFolder));
        } else {
            message = !report.cancelled  ? QString::fromStdString(why)
                      : target.file      ? QStringLiteral("Cancelled; the film was not written")
                                         : QStringLiteral("Cancelled; the frames written so far stay in the folder");
        }
        QMetaObject::invokeMethod(this, [this, ok, message] { finished(ok, message); }, Qt::QueuedConnection);
    });
}

void FilmDialog::finished(bool ok, const QString& message) {
    if (worker_.joinable()) worker_.join();
    record_->setEnabled(true);
    cancel_->setEnabled(false);
    if (!ok) progress_->setValue(0);
    status_->setStyleSheet(ok ? QString() : QStringLiteral("color: rgb(160, 0, 0);"));
    status_->setText(message);
}

}  // namespace ammonite

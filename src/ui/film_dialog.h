// VIEW's "Record film…" dialog: the kind of film (growth, turntable at the
// stage VIEW shows, or both), its size (720p, 1080p or VIEW's picture), frame
// rate and duration, and where it goes (MP4, WebM, GIF or a folder of PNG
// frames). The film is recorded on threads of its own from a copy of the
// shell VIEW shows, with a progress bar and Cancel; VIEW stays usable.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSize>
#include <QSpinBox>

#include "model/model_state.h"
#include "model/run_state.h"

namespace ammonite {

class FilmDialog : public QDialog {
    Q_OBJECT
public:
    explicit FilmDialog(QWidget* parent);
    ~FilmDialog() override;  // a recording under way is cancelled and waited for

    // The shell to film, the stage VIEW shows (the turntable's) and the size
    // of VIEW's picture in pixels.
    void setShell(std::shared_ptr<const ModelState> model, std::shared_ptr<const RunState> run, int stage,
                  QSize windowPixels);
    bool recording() const { return worker_.joinable(); }

    QComboBox* kindBox() { return kind_; }
    QComboBox* sizeBox() { return size_; }
    QComboBox* formatBox() { return format_; }
    QSpinBox* fpsBox() { return fps_; }
    QDoubleSpinBox* secondsBox() { return seconds_; }
    QLineEdit* pathBox() { return path_; }
    QPushButton* recordButton() { return record_; }
    QPushButton* cancelButton() { return cancel_; }
    QProgressBar* progressBar() { return progress_; }
    QLabel* statusLine() { return status_; }

private:
    void browse();
    void startRecording();
    void finished(bool ok, const QString& message);
    void formatChanged();

    QComboBox *kind_ = nullptr, *size_ = nullptr, *format_ = nullptr;
    QSpinBox* fps_ = nullptr;
    QDoubleSpinBox* seconds_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton *browse_ = nullptr, *record_ = nullptr, *cancel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;

    std::shared_ptr<const ModelState> model_;
    std::shared_ptr<const RunState> run_;
    int stage_ = 0;
    QSize windowPixels_{1280, 720};
    std::atomic<bool> cancelled_{false};
    std::thread worker_;
};

}  // namespace ammonite

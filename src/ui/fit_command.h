// A fit of the profiles to a specimen, run on a worker thread for the main
// window: the progress box with Cancel polls it; destroying it cancels the
// fit and waits for the thread.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <QObject>
#include <QProgressDialog>
#include <QTimer>

#include "model/fit.h"

namespace ammonite {

class FitTask : public QObject {
    Q_OBJECT
public:
    FitTask(Specimen specimen, FitOptions options, QString name, QWidget* dialogParent);
    ~FitTask() override;

    bool done() const { return done_.load(); }
    void cancel() { cancel_ = true; }
    QProgressDialog* progress() const { return progress_; }
    const FitResult& result() const { return result_; }
    const std::string& error() const { return error_; }
    const Specimen& specimen() const { return specimen_; }
    const QString& name() const { return name_; }

signals:
    void finished(FitTask* task);

private:
    void poll();

    Specimen specimen_;
    FitOptions options_;
    QString name_;
    FitResult result_;
    std::string error_;
    std::atomic<bool> cancel_{false}, done_{false};
    std::atomic<int> evaluations_{0}, budget_{1};
    std::atomic<double> bestRms_{0};
    std::thread thread_;
    QTimer timer_;
    QProgressDialog* progress_ = nullptr;
};

}  // namespace ammonite

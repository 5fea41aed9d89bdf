#include "crypto/BackgroundTask.h"

#include <QMetaObject>
#include <QThread>

namespace vk {

class BackgroundTask::Worker : public QThread {
 public:
  explicit Worker(std::function<void()> work) : work_(std::move(work)) {}
  void run() override {
    try {
      work_();
    } catch (...) {
      error_ = std::current_exception();
    }
  }
  std::exception_ptr Error() const { return error_; }

 private:
  std::function<void()> work_;
  std::exception_ptr error_;
};

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
  if (worker_) {
    cancel_ = true;
    worker_->wait();
    delete worker_;
  }
}

void BackgroundTask::Start(std::function<void()> work, std::function<void(std::exception_ptr)> done) {
  if (running_) return;
  running_ = true;
  cancel_ = false;
  delete worker_;
  worker_ = new Worker(std::move(work));
  connect(worker_, &QThread::finished, this, [this, done = std::move(done)] {
    running_ = false;
    done(worker_->Error());
  });
  worker_->start();
}

void BackgroundTask::ReportProgress(int perMille) {
  QMetaObject::invokeMethod(this, [this, perMille] { emit Progress(perMille); }, Qt::QueuedConnection);
}

void BackgroundTask::Wait() {
  if (worker_) worker_->wait();
}

}  // namespace vk

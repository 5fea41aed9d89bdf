#pragma once

// Runs one piece of engine work on a worker thread and reports back on the
// user-interface thread, so that a view stays responsive while a file is
// encrypted or a key pair is made.

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>

namespace vk {

class BackgroundTask : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundTask(QObject* parent = nullptr);
  ~BackgroundTask() override;

  // work runs on a worker thread; done runs on this object's thread with the
  // exception the work threw, if any. One task at a time.
  void Start(std::function<void()> work, std::function<void(std::exception_ptr)> done);
  bool Running() const { return running_; }

  // Asked from the user-interface thread; the work polls it.
  void RequestCancel() { cancel_ = true; }
  bool CancelRequested() const { return cancel_; }
  // From the work: progress in per mille, delivered as Progress() signals.
  void ReportProgress(int perMille);

  // Blocks until the work has finished (used when a view closes mid-run).
  void Wait();

 signals:
  void Progress(int perMille);

 private:
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  class Worker;
  Worker* worker_ = nullptr;
};

}  // namespace vk

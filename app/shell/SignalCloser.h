#pragma once

// A session's end (SIGTERM) or a terminal's Ctrl+C (SIGINT) closes the
// program as its close box would, so the settings are written back; a second
// signal ends it at once.

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace vk {

class SignalCloser : public QObject {
  Q_OBJECT
 public:
  // closeProgram runs on the user-interface thread for the first signal.
  explicit SignalCloser(std::function<void()> closeProgram, QObject* parent = nullptr);
  ~SignalCloser() override;

  // The number of signals received so far.
  static int Received();

 private:
  void Readable();
  void CloseWhenUnwound();

  std::function<void()> closeProgram_;
  QSocketNotifier* notifier_ = nullptr;
};

// Answers every open modal dialog with its Cancel, innermost first, so that
// a close request is not held up by a question nobody is there to answer.
void CancelModalDialogs();

}  // namespace vk

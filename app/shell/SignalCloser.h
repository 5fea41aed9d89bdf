#pragma once

// A session's end (SIGTERM), a terminal's Ctrl+C (SIGINT) or its hang-up
// (SIGHUP) closes the program as its close box would, so the settings are
// written back and work under way is cancelled and cleaned up; a second
// signal ends it at once, after its last words.

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace vk {

class SignalCloser : public QObject {
  Q_OBJECT
 public:
  // closeProgram runs on the user-interface thread for the first signal.
  // lastWords, if given, runs in the signal handler before a second signal
  // ends the program, so it may only do what a handler may.
  explicit SignalCloser(std::function<void()> closeProgram, void (*lastWords)() = nullptr, QObject* parent = nullptr);
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

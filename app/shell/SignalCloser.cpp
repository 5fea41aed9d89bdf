#include "shell/SignalCloser.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace vk {

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_received = 0;
void (*volatile g_lastWords)() = nullptr;

extern "C" void OnTerminationSignal(int signo) {
  if (g_received > 0) {
    if (g_lastWords) g_lastWords();
    _exit(128 + signo);
  }
  g_received = g_received + 1;
  const char byte = static_cast<char>(signo);
  ssize_t written = write(g_pipe[1], &byte, 1);
  (void)written;
}

}  // namespace

SignalCloser::SignalCloser(std::function<void()> closeProgram, void (*lastWords)(), QObject* parent)
    : QObject(parent), closeProgram_(std::move(closeProgram)) {
  g_lastWords = lastWords;
  if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::Readable);
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

SignalCloser::~SignalCloser() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
  g_received = 0;
  g_lastWords = nullptr;
}

int SignalCloser::Received() { return g_received; }

void SignalCloser::Readable() {
  char buffer[16];
  while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
  CancelModalDialogs();
  CloseWhenUnwound();
}

void SignalCloser::CloseWhenUnwound() {
  // A dialog's own loop must return before the window it belongs to goes,
  // or its caller would carry on in a view that no longer exists.
  if (QThread::currentThread()->loopLevel() > 1) {
    CancelModalDialogs();
    QTimer::singleShot(10, this, &SignalCloser::CloseWhenUnwound);
    return;
  }
  if (closeProgram_) closeProgram_();
}

void CancelModalDialogs() {
  for (int guard = 0; guard < 16; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    else modal->close();
  }
}

}  // namespace vk

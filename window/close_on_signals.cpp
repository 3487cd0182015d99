#include "close_on_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <cerrno>

namespace {

// Written by the signal handler (async-signal-safe), read on the main thread.
int g_signalPipe[2] = {-1, -1};
// Written by the signal handler too, and never read: readable for good once a
// signal has come, whoever has read the one above.
int g_stopPipe[2] = {-1, -1};

const TCloseOnSignals *g_closeOnSignals = nullptr;

// A dialog's event loop that has been ended unwinds within a pass or two; a
// loop that is not a dialog's is waited for at most this long.
constexpr int kRetryMs = 10;
constexpr int kMaxAttempts = 200;

void OnTerminationSignal(int) {
  const int savedErrno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
  [[maybe_unused]] const ssize_t stopWritten = write(g_stopPipe[1], &byte, 1);
  errno = savedErrno;
}

// Ends every dialog that is up: modal message boxes, file dialogs, the about
// box. Their exec() returns as if cancelled.
void EndDialogs() {
  for (QWidget *widget : QApplication::topLevelWidgets()) {
    auto *dialog = qobject_cast<QDialog *>(widget);
    if (dialog != nullptr && dialog->isVisible()) {
      dialog->done(QDialog::Rejected);
    }
  }
}

}  // namespace

bool ClosingBySignal() {
  return g_closeOnSignals != nullptr && g_closeOnSignals->Requested();
}

void RunClosingSaves(const std::function<void()> &saveSettings,
                     const std::function<void()> &saveMemory) {
  if (ClosingBySignal()) {
    saveMemory();
    saveSettings();
  } else {
    saveSettings();
    saveMemory();
  }
}

void CatchTerminationSignals() {
  if (g_signalPipe[0] >= 0 ||
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
    return;
  }
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_stopPipe) != 0) {
    g_stopPipe[0] = g_stopPipe[1] = -1;  // the handler's write to -1 fails harmlessly
  }
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(signalNumber, &action, nullptr);
  }
}

int TerminationRequestedFd() {
  return g_stopPipe[0];
}

TCloseOnSignals::TCloseOnSignals(QObject *parent) : QObject(parent) {
  g_closeOnSignals = this;
  if (g_signalPipe[0] < 0) {
    return;
  }
  // A signal noted before now is waiting in the socket: the notifier fires
  // for it as soon as an event loop runs.
  notifier_ = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TCloseOnSignals::OnSignal);
}

TCloseOnSignals::~TCloseOnSignals() {
  if (g_closeOnSignals == this) {
    g_closeOnSignals = nullptr;
  }
  TMessageDialogPresenter *current = SetMessageDialogPresenter(nullptr);
  if (current != &presenter_) {
    SetMessageDialogPresenter(current);
  }
}

void TCloseOnSignals::SetWindow(QWidget *window) {
  window_ = window;
  if (requested_ && !closeScheduled_) {
    closeScheduled_ = true;
    QTimer::singleShot(0, this, &TCloseOnSignals::TryClose);
  }
}

void TCloseOnSignals::OnSignal() {
  char bytes[16];
  while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  requested_ = true;
  SetMessageDialogPresenter(&presenter_);
  EndDialogs();
  if (window_ != nullptr && !closeScheduled_) {
    closeScheduled_ = true;
    QTimer::singleShot(0, this, &TCloseOnSignals::TryClose);
  }
}

// Closes the window from the program's own event loop, once the loops of the
// ended dialogs have unwound, so the closing steps never run inside a dialog
// that its caller still waits for.
void TCloseOnSignals::TryClose() {
  if (window_ == nullptr) {
    return;
  }
  if (QThread::currentThread()->loopLevel() > 1 && ++attempts_ < kMaxAttempts) {
    EndDialogs();
    QTimer::singleShot(kRetryMs, this, &TCloseOnSignals::TryClose);
    return;
  }
  // A close the user started may have finished meanwhile.
  if (window_->isVisible()) {
    window_->close();
  }
  QCoreApplication::quit();
}

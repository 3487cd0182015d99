// Termination signals (SIGTERM, SIGINT, SIGHUP: kill, Ctrl+C, logout) end the
// program through the same closing steps as the window's close button, so the
// port is closed and the settings and the memory are saved (the memory first:
// see RunClosingSaves).
//
// A close started by a signal never waits for a person: every dialog that is
// up is ended, and from then on messages go to standard error instead of a
// dialog. A further signal ends any dialog that came up meanwhile.
//
//   int main(int argc, char *argv[]) {
//     CatchTerminationSignals();            // the very first step
//     QApplication application(argc, argv);
//     TCloseOnSignals closeOnSignals;       // before anything shows a dialog
//     TForm_Sorvanel window;                // a signal now ends its dialogs
//     closeOnSignals.SetWindow(&window);    // ... and then closes it
//     window.show();
//     return QApplication::exec();
//   }
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "standard_error_presenter.h"

class QSocketNotifier;

// Installs the signal handlers: from now on the three signals are noted and
// never end the process by themselves. Call once, before anything else.
void CatchTerminationSignals();
// Readable for good from the first signal on (nothing reads it); -1 before
// CatchTerminationSignals. A wait that no person ends (a network port's
// connect) gives up when it is readable. TCloseOnSignals may act on the
// signal at any moment, also from the event loop the wait runs.
int TerminationRequestedFd();

// A termination signal has reached the TCloseOnSignals that exists now: the
// window is being closed because of it (or a close the user started is
// still running). Main thread only.
bool ClosingBySignal();

// The two saves of the closing steps: the settings, then the memory. When
// the close comes from a signal the memory goes first: whoever sent the
// signal may kill the program soon after (a logout, a service stop), and a
// slow settings save (a huge file, a slow disk) must not keep the memory,
// which nothing can rebuild, from the disk.
void RunClosingSaves(const std::function<void()> &saveSettings,
                     const std::function<void()> &saveMemory);

// Acts on the noted signals on the main thread, from the event loop (also
// from the loop of a dialog). Create it once the application exists.
class TCloseOnSignals : public QObject {
  Q_OBJECT

 public:
  explicit TCloseOnSignals(QObject *parent = nullptr);
  ~TCloseOnSignals() override;
  TCloseOnSignals(const TCloseOnSignals &) = delete;
  TCloseOnSignals &operator=(const TCloseOnSignals &) = delete;

  // The window to close. A signal that came before this call closes it as
  // soon as the event loop runs.
  void SetWindow(QWidget *window);
  // A signal has arrived.
  bool Requested() const { return requested_; }

 private:
  void OnSignal();
  void TryClose();

  QSocketNotifier *notifier_ = nullptr;
  QPointer<QWidget> window_;
  TStandardErrorPresenter presenter_;
  bool requested_ = false;
  bool closeScheduled_ = false;
  int attempts_ = 0;
};

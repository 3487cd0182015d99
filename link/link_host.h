// What the link asks of the main window. The reply handler, the memory file
// and the port menu with its watchdog know no widgets: they call these
// operations, which the main window implements. Tests implement them with a
// recorder. Everything here is called on the main thread.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The two alerts about the programming terminal on the line.
enum class TProgTermAlert { Connected, Disconnected };

// What went wrong with a memory file.
enum class TMemoryFileError {
  Corrupt,      // "Hibás memória fájl!"
  NotWritable,  // "A fájl nem írható! (Lehet, hogy írásvédett)"
};
#include "open_failure.h"
#include "status_screen.h"

class TLinkHost {
 public:
  virtual ~TLinkHost() = default;

  // Status screens, shown by the window's display model. (The display lines
  // go from the reply handler to the model directly.)
  virtual void ShowStatusScreen(TStatusScreen screen) = 0;

  // Status bar: ConverterConnected or ProgTermCountdown changed (the window
  // has its display model tell the indicators' observers); and the
  // text of panel 0 (the port name).
  virtual void RepaintStatusBar() = 0;
  virtual void SetPortStatusText(const QString &text) = 0;

  // The "save memory to file" menu item.
  virtual void SetMemorySaveEnabled(bool enabled) = 0;
  virtual bool IsMemorySaveEnabled() const = 0;
  // The converter has written 'length' bytes of the terminal memory from
  // 'address' (some may lie outside the image). For the memory view.
  virtual void MemoryBlockWritten(uint32_t /*address*/, uint32_t /*length*/) {}

  // The once-a-second timer that drives the watchdog.
  virtual void SetTimerEnabled(bool enabled) = 0;

  // Check marks of menu items. The alert items always show
  // ProgramSettings.PTConnect / PTDisconnect, the search item FindFreq.
  virtual void SetProgTermAlertOnConnectChecked(bool checked) = 0;
  virtual void SetProgTermAlertOnDisconnectChecked(bool checked) = 0;
  virtual void SetFindFrequencyConverterChecked(bool checked) = 0;

  // Port items of the port menu. Rebuild removes every item after the three
  // fixed ones and adds one item per entry in order: "-" gives a separator,
  // any other entry a radio item captioned with the entry whose click calls
  // TPortMenu::Menu_OpenPortClick(position), position counted in 'entries'
  // from 0. No item is checked after a rebuild. Checking one port item
  // unchecks the others.
  virtual void RebuildPortItems(const QStringList &entries) = 0;
  virtual void SetPortItemChecked(int position, bool checked) = 0;

  // Lets the application handle its pending events once (repaints, data
  // handed over by the port's worker, clicks). May run HandleReply.
  virtual void ProcessPendingEvents() = 0;

  // Shows the alert modally (it runs its own event loop) with the check box
  // "show next time" ticked as 'showNextTime'; returns the box's state when
  // the user closed it.
  virtual bool AskProgTermAlert(TProgTermAlert alert, bool showNextTime) = 0;
  // Tells the user, modally, that the memory file at 'path' could not be used.
  virtual void ShowMemoryFileError(TMemoryFileError error, const QString &path) = 0;
  // Tells the user that a port did not open and why: the error dialog,
  // modal, before the open that failed returns. Which failures are shown is
  // decided in link/supervise/open_failure_policy.h.
  virtual void ShowOpenFailure(const TOpenFailure &failure) = 0;
};

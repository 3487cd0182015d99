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

class TLinkHost {
 public:
  virtual ~TLinkHost() = default;

  // Display. UpdateGraphicMode runs the graphic-mode step for the display
  // line now held in the link state's ReplyData and ends by calling
  // RefreshDisplay itself. RefreshDisplay shows that line and sets the LEDs.
  // Both are only called with a ReplyData of at least 19 bytes.
  virtual void UpdateGraphicMode() = 0;
  virtual void RefreshDisplay() = 0;
  // Status screens: 1 no communication, 2 no port opened, 3 converter search
  // (showing ProgramSettings.Port).
  virtual void ShowStatusScreen(int mode) = 0;

  // Status bar: repaint of the converter and programming-terminal panels,
  // which are drawn from ConverterConnected and ProgTermCountdown; and the
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
};

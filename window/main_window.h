// The main window: the terminal picture in two sizes, the menu and the
// status bar. The window only wires its parts together and runs the
// start-up and closing steps; the panel's set-up and sizes, the display,
// the keyboard, the menu's construction, the Tools windows, the settings
// binding and the language switch live in their own files.
#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "display_model.h"
#include "display_renderer.h"
#include "file_error_dialogs.h"
#include "file_locations.h"
#include "front_panel.h"
#include "keypad.h"
#include "link_host.h"
#include "link_state.h"
#include "memory_file_dialogs.h"
#include "open_error_dialogs.h"
#include "prog_term_alerts.h"
#include "program_settings.h"
#include "tools_windows.h"
#include "window_keyboard.h"
#include "window_settings.h"

class QAction;
class QFileDialog;
class QMenu;
class QTimer;
class TAutomationSwitch;
class TDriveLink;
class TForm_AboutBox;
class TPortMenuItems;
class TStatusBar;

namespace Ui {
class TForm_Sorvanel;
}

class TForm_Sorvanel : public QMainWindow, public TLinkHost {
  Q_OBJECT

 public:
  // Runs the start-up sequence with the files beside 'programPath': the
  // settings file is the program path with ".ini"; tests pass a program path
  // in a folder of their own.
  explicit TForm_Sorvanel(const QString &programPath = QCoreApplication::applicationFilePath(),
                          QWidget *parent = nullptr);
  // Runs the start-up sequence with these files. A 'startPort' that is not
  // empty is opened at start instead of the saved port, for this run only:
  // the saved port stays unless a port is chosen during the run.
  TForm_Sorvanel(const TFileLocations &files, const QString &startPort, QWidget *parent = nullptr);
  ~TForm_Sorvanel() override;

  // --- Display and status, for the watchdog and the reply handler.
  void ShowStatusScreen(TStatusScreen screen) override { displayModel_.ShowStatusScreen(screen); }
  // The link indicators (panels 1 and 2) follow the display model.
  void RepaintStatusBar() override { displayModel_.IndicatorsChanged(); }
  // Status bar panel 0: the name of the open port, "-" when none.
  void SetPortStatusText(const QString &text) override;

  // --- Menu state and timer, for the link.
  void SetMemorySaveEnabled(bool enabled) override;
  bool IsMemorySaveEnabled() const override;
  void MemoryBlockWritten(uint32_t address, uint32_t length) override;
  void SetTimerEnabled(bool enabled) override;
  void SetProgTermAlertOnConnectChecked(bool checked) override;
  void SetProgTermAlertOnDisconnectChecked(bool checked) override;
  void SetFindFrequencyConverterChecked(bool checked) override;
  void RebuildPortItems(const QStringList &entries) override;
  void SetPortItemChecked(int position, bool checked) override;
  void ProcessPendingEvents() override;
  // The alerts and file errors of the link, shown by the dialogs.
  bool AskProgTermAlert(TProgTermAlert alert, bool showNextTime) override {
    return alert == TProgTermAlert::Connected ? ShowProgTermConnectedAlert(showNextTime)
                                              : ShowProgTermDisconnectedAlert(showNextTime);
  }
  void ShowMemoryFileError(TMemoryFileError error, const QString &path) override {
    error == TMemoryFileError::Corrupt ? ShowCorruptFileError(path) : ShowFileWriteError(path);
  }
  void ShowOpenFailure(const TOpenFailure &failure) override { ShowOpenFailureDialog(failure); }

  // The drive link: port, reply handler, terminal memory, port menu.
  TDriveLink &DriveLink() { return *driveLink_; }

  // --- State the window owns for the whole run.
  TLinkState &LinkState() { return link_; }
  TProgramSettings &ProgramSettings() { return settings_; }
  TFrontPanel &FrontPanel() { return panel_; }
  TDisplayRenderer &Display() { return *display_; }
  TDisplayModel &DisplayModel() { return displayModel_; }
  // The one way in for a terminal key.
  TKeypad &Keypad() { return keypad_; }
  // Automation on the session bus (Tools menu, --automation).
  TAutomationSwitch &Automation() { return *automation_; }
  TKeyInput &KeyInput() { return keyboard_->Input(); }
  TKeyRepeatFilter &KeyRepeat() { return keyboard_->Repeat(); }
  TStatusBar *StatusBar() const;
  QTimer *Timer() const { return timer_; }
  const TFileLocations &Files() const { return files_; }

  // --- Menu access. Port items go into Menu_PortHandling after its first
  // three items (index 3 on).
  const Ui::TForm_Sorvanel &Controls() const { return *ui_; }
  QMenu *PortHandlingMenu() const;
  QAction *MemorySaveItem() const;
  QAction *FindFrequencyConverterItem() const;
  // The memory-file dialogs, created on first use.
  QFileDialog *OpenDialog() { return memoryDialogs_.OpenDialog(); }
  QFileDialog *SaveDialog() { return memoryDialogs_.SaveDialog(); }

  void SetAboutBox(TForm_AboutBox *aboutBox) { aboutBox_ = aboutBox; }

  // --- Tools: the line monitor (created when first opened) and the capture.
  TLineMonitor *LineMonitor() const { return tools_->LineMonitor(); }
  TLineCapture &Capture() { return tools_->Capture(); }
  void Menu_LineMonitorClick();

  // --- Handlers (also run by the settings and by the integration).
  void Menu_TerminalSizeBigClick();
  void Menu_TerminalSizeSmallClick();
  void Menu_ExitClick();
  void Menu_OpenHelpClick();
  void Menu_AboutClick();
  void Menu_AlwaysOnTopClick();
  void Menu_ProgTermAlertOnConnectClick();
  void Menu_ProgTermAlertOnDisconnectClick();
  void Menu_LanguageClick(QAction *sender);
  void Menu_MemoryLoadClick();
  void Menu_MemorySaveClick();
  void Menu_MemoryClearClick();
  void Menu_FindAvailablePortsClick();
  void Menu_FindFrequencyConverterClick();
  void Menu_NetworkPortsClick();
  void TimerTimer();
  // Tools menu.
  void Menu_MemoryViewClick();
  // The memory view, once it has been opened.
  TForm_MemoryView *MemoryView() const { return tools_->MemoryView(); }

 protected:
  void closeEvent(QCloseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void changeEvent(QEvent *event) override;

 private:
  void FormCreate();
  void FormClose();
  void ApplyNetworkPorts();
  void WireHandlers();
  TSettingsTargets SettingsTargets();

  // --- Link steps of the start-up and closing sequences.
  void CreatePortThread();
  void OpenSavedPort();
  void DestroyPortThread();

  std::unique_ptr<Ui::TForm_Sorvanel> ui_;
  TFileLocations files_;
  QString startPort_;
  TLinkState link_;
  TProgramSettings settings_;
  TDisplayModel displayModel_{link_, settings_};
  TKeypad keypad_;
  TFrontPanel panel_;
  std::unique_ptr<TDisplayRenderer> display_;
  std::unique_ptr<TWindowKeyboard> keyboard_;
  QTimer *timer_ = nullptr;
  TMemoryFileDialogs memoryDialogs_{this};
  TForm_AboutBox *aboutBox_ = nullptr;
  std::unique_ptr<TPortMenuItems> portItems_;
  QAction *networkPortsItem_ = nullptr;
  std::unique_ptr<TDriveLink> driveLink_;
  std::unique_ptr<TToolsWindows> tools_;
  std::unique_ptr<TAutomationSwitch> automation_;
};

#include "main_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <cerrno>

#include "about_box.h"
#include "automation_switch.h"
#include "close_on_signals.h"
#include "designed_panel.h"
#include "drive_link.h"
#include "help_viewer.h"
#include "image_widget.h"
#include "main_menu.h"
#include "network_ports_dialog.h"
#include "open_error_dialogs.h"
#include "port_menu_items.h"
#include "status_bar.h"
#include "terminal_size.h"
#include "text_table.h"
#include "tools_menu.h"
#include "ui_main_window.h"
#include "window_resources.h"

namespace {

constexpr int kTimerInterval = 1000;
constexpr int kClosePortWait = 100;

}  // namespace

TForm_Sorvanel::TForm_Sorvanel(const QString &programPath, QWidget *parent)
    : TForm_Sorvanel(FilesBesideProgram(programPath), QString(), parent) {}

TForm_Sorvanel::TForm_Sorvanel(const TFileLocations &files, const QString &startPort,
                               QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint),
      ui_(std::make_unique<Ui::TForm_Sorvanel>()),
      files_(files),
      startPort_(startPort) {
  InitWindowResources();
  ui_->setupUi(this);
  QFont windowFont(QStringLiteral("Liberation Sans"));
  windowFont.setPixelSize(11);
  setFont(windowFont);
  setFocusPolicy(Qt::StrongFocus);
  TakeDesignedControls(*ui_, panel_);
  SetUpStatusBarPanels(*ui_->StatusBar, [this](QPainter &painter, int index, const QRect &rect) {
    display_->StatusBarDrawPanel(painter, index, rect);
  });
  networkPortsItem_ = CompleteMainMenu(*ui_, this);
  // Nothing but the window takes the keyboard, so every key reaches it.
  for (QWidget *child : findChildren<QWidget *>()) {
    child->setFocusPolicy(Qt::NoFocus);
  }

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer"));
  timer_->setInterval(kTimerInterval);
  // Enabled from creation: it ticks also while a dialog of the start-up
  // sequence is up.
  connect(timer_, &QTimer::timeout, this, &TForm_Sorvanel::TimerTimer);
  timer_->start();

  display_ = std::make_unique<TDisplayRenderer>(panel_, displayModel_);
  keyboard_ = std::make_unique<TWindowKeyboard>(panel_, keypad_);
  FormCreate();
  WireHandlers();
}

TForm_Sorvanel::~TForm_Sorvanel() {
  // The key images, labels and cells go with their panels.
  DestroyPortThread();
}

void TForm_Sorvanel::FormCreate() {
  CreatePortThread();
  Menu_FindAvailablePortsClick();
  BuildFrontPanel(panel_);
  ShowStatusScreen(TStatusScreen::StartUp);
  LoadSettings(settings_, files_.settingsFile, SettingsTargets());
  ApplyNetworkPorts();
  driveLink_->PortMenu().UseForThisRun(startPort_);
  driveLink_->MemoryFile().LoadMemoryFile(QString());
  ui_->Menu_LanguageHun->setData(static_cast<int>(kLanguageHungarian));
  ui_->Menu_LanguageEng->setData(static_cast<int>(kLanguageEnglish));
  BuildTextTable();
  ApplyLanguage(MainMenuLanguageTargets(*ui_, networkPortsItem_), settings_.Language);
  tools_->Retranslate();
  automation_->Retranslate();
  (settings_.Language == kLanguageEnglish ? ui_->Menu_LanguageEng : ui_->Menu_LanguageHun)
      ->setChecked(true);
  AdjustStatusBarFont(*ui_->StatusBar);
  ShowRefusedNetworkPorts(files_.settingsFile, settings_.RefusedNetworkPorts);
  if (!settings_.Port.isEmpty()) {
    OpenSavedPort();
  }
  HoldOffAnswers(link_);
}

// The network ports read from the settings join the port list.
void TForm_Sorvanel::ApplyNetworkPorts() {
  driveLink_->Port().SetNetworkPorts(settings_.NetworkPorts);
  if (!settings_.NetworkPorts.empty()) {
    Menu_FindAvailablePortsClick();
  }
}

void TForm_Sorvanel::FormClose() {
  // No tick may reopen a port (watchdog, converter search) during the saves.
  timer_->stop();
  // A recording still on is written before the port goes.
  automation_->Recipes().StopRecording();
  driveLink_->ClosePort();
  QThread::msleep(kClosePortWait);
  settings_.Port = driveLink_->PortMenu().PortToSave();  // a --port is for this run only
  RunClosingSaves([this] { SaveSettings(settings_, files_.settingsFile, SettingsTargets()); },
                  [this] { driveLink_->MemoryFile().SaveMemoryFile(QString()); });
}

void TForm_Sorvanel::WireHandlers() {
  Ui::TForm_Sorvanel &ui = *ui_;
  for (const TButtonPlacement &entry : panel_.ButtonTable) {
    for (TImage *image : {entry.ImageBig, entry.ImageSmall}) {
      connect(image, &TImage::MouseDown, this,
              [this](TImage *sender) { keyboard_->Input().ButtonMouseDown(sender); });
      connect(image, &TImage::MouseUp, this,
              [this](TImage *sender) { keyboard_->Input().ButtonMouseUp(sender); });
    }
  }
  connect(ui.Image_ResizeBig, &TImage::Click, this, &TForm_Sorvanel::Menu_TerminalSizeSmallClick);
  connect(ui.Image_ResizeSmall, &TImage::Click, this, &TForm_Sorvanel::Menu_TerminalSizeBigClick);

  connect(ui.Menu_Exit, &QAction::triggered, this, &TForm_Sorvanel::Menu_ExitClick);
  connect(ui.Menu_MemoryLoad, &QAction::triggered, this, &TForm_Sorvanel::Menu_MemoryLoadClick);
  connect(ui.Menu_MemorySave, &QAction::triggered, this, &TForm_Sorvanel::Menu_MemorySaveClick);
  connect(ui.Menu_MemoryClear, &QAction::triggered, this, &TForm_Sorvanel::Menu_MemoryClearClick);
  connect(ui.Menu_FindAvailablePorts, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_FindAvailablePortsClick);
  connect(ui.Menu_FindFrequencyConverter, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_FindFrequencyConverterClick);
  connect(networkPortsItem_, &QAction::triggered, this, &TForm_Sorvanel::Menu_NetworkPortsClick);
  connect(ui.Menu_TerminalSizeBig, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_TerminalSizeBigClick);
  connect(ui.Menu_TerminalSizeSmall, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_TerminalSizeSmallClick);
  connect(ui.Menu_AlwaysOnTop, &QAction::triggered, this, &TForm_Sorvanel::Menu_AlwaysOnTopClick);
  connect(ui.Menu_ProgTermAlertOnConnect, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_ProgTermAlertOnConnectClick);
  connect(ui.Menu_ProgTermAlertOnDisconnect, &QAction::triggered, this,
          &TForm_Sorvanel::Menu_ProgTermAlertOnDisconnectClick);
  for (QAction *item : {ui.Menu_LanguageHun, ui.Menu_LanguageEng}) {
    connect(item, &QAction::triggered, this, [this, item] { Menu_LanguageClick(item); });
  }
  connect(ui.Menu_LineMonitor, &QAction::triggered, this, &TForm_Sorvanel::Menu_LineMonitorClick);
  connect(ui.Menu_MemoryView, &QAction::triggered, this, &TForm_Sorvanel::Menu_MemoryViewClick);
  connect(ui.Menu_OpenHelp, &QAction::triggered, this, &TForm_Sorvanel::Menu_OpenHelpClick);
  connect(ui.Menu_About, &QAction::triggered, this, &TForm_Sorvanel::Menu_AboutClick);
}

TSettingsTargets TForm_Sorvanel::SettingsTargets() {
  TSettingsTargets targets;
  targets.window = this;
  targets.Menu_FindFrequencyConverter = ui_->Menu_FindFrequencyConverter;
  targets.Menu_ProgTermAlertOnConnect = ui_->Menu_ProgTermAlertOnConnect;
  targets.Menu_ProgTermAlertOnDisconnect = ui_->Menu_ProgTermAlertOnDisconnect;
  targets.Menu_AlwaysOnTop = ui_->Menu_AlwaysOnTop;
  targets.Menu_TerminalSizeBig = ui_->Menu_TerminalSizeBig;
  targets.showBig = [this] { Menu_TerminalSizeBigClick(); };
  targets.showSmall = [this] { Menu_TerminalSizeSmallClick(); };
  return targets;
}

void TForm_Sorvanel::Menu_TerminalSizeBigClick() {
  ui_->Menu_TerminalSizeBig->setChecked(true);
  PlaceToolsMenu(*ui_, false);
  ShowTerminalSize(*this, *ui_->CentralArea, *ui_->StatusBar, panel_, kSizeBig);
}

void TForm_Sorvanel::Menu_TerminalSizeSmallClick() {
  ui_->Menu_TerminalSizeSmall->setChecked(true);
  PlaceToolsMenu(*ui_, true);
  ShowTerminalSize(*this, *ui_->CentralArea, *ui_->StatusBar, panel_, kSizeSmall);
}

void TForm_Sorvanel::SetPortStatusText(const QString &text) {
  ui_->StatusBar->SetPanelText(0, text);
}

void TForm_Sorvanel::SetMemorySaveEnabled(bool enabled) {
  ui_->Menu_MemorySave->setEnabled(enabled);
}

bool TForm_Sorvanel::IsMemorySaveEnabled() const {
  return ui_->Menu_MemorySave->isEnabled();
}

void TForm_Sorvanel::MemoryBlockWritten(uint32_t address, uint32_t length) {
  tools_->MemoryBlockWritten(address, length);
}

void TForm_Sorvanel::SetTimerEnabled(bool enabled) {
  enabled ? timer_->start() : timer_->stop();
}

void TForm_Sorvanel::SetProgTermAlertOnConnectChecked(bool checked) {
  ui_->Menu_ProgTermAlertOnConnect->setChecked(checked);
}

void TForm_Sorvanel::SetProgTermAlertOnDisconnectChecked(bool checked) {
  ui_->Menu_ProgTermAlertOnDisconnect->setChecked(checked);
}

void TForm_Sorvanel::SetFindFrequencyConverterChecked(bool checked) {
  ui_->Menu_FindFrequencyConverter->setChecked(checked);
}

TStatusBar *TForm_Sorvanel::StatusBar() const {
  return ui_->StatusBar;
}
QMenu *TForm_Sorvanel::PortHandlingMenu() const {
  return ui_->Menu_PortHandling;
}
QAction *TForm_Sorvanel::MemorySaveItem() const {
  return ui_->Menu_MemorySave;
}
QAction *TForm_Sorvanel::FindFrequencyConverterItem() const {
  return ui_->Menu_FindFrequencyConverter;
}

void TForm_Sorvanel::Menu_ExitClick() {
  close();
}

void TForm_Sorvanel::Menu_OpenHelpClick() {
  OpenHelp(this, files_.helpFile);
}

void TForm_Sorvanel::Menu_AboutClick() {
  if (aboutBox_ != nullptr) {
    aboutBox_->ShowModal();
  }
}

void TForm_Sorvanel::Menu_AlwaysOnTopClick() {
  ::Menu_AlwaysOnTopClick(settings_, SettingsTargets());
}

void TForm_Sorvanel::Menu_ProgTermAlertOnConnectClick() {
  ::Menu_ProgTermAlertOnConnectClick(settings_, SettingsTargets());
}

void TForm_Sorvanel::Menu_ProgTermAlertOnDisconnectClick() {
  ::Menu_ProgTermAlertOnDisconnectClick(settings_, SettingsTargets());
}

void TForm_Sorvanel::Menu_LanguageClick(QAction *sender) {
  ::Menu_LanguageClick(sender, MainMenuLanguageTargets(*ui_, networkPortsItem_), settings_);
  tools_->Retranslate();
  automation_->Retranslate();
}

void TForm_Sorvanel::Menu_LineMonitorClick() {
  tools_->ShowLineMonitor();
}

void TForm_Sorvanel::Menu_MemoryLoadClick() {
  const QString file = memoryDialogs_.ChooseFileToLoad();
  if (!file.isEmpty()) {
    driveLink_->MemoryFile().LoadMemoryFile(file);
  }
}

void TForm_Sorvanel::Menu_MemorySaveClick() {
  const QString file = memoryDialogs_.ChooseFileToSave();
  if (!file.isEmpty()) {
    driveLink_->MemoryFile().SaveMemoryFile(file);
  }
}

void TForm_Sorvanel::Menu_MemoryClearClick() {
  driveLink_->MemoryFile().Menu_MemoryClearClick();
}

void TForm_Sorvanel::Menu_FindAvailablePortsClick() {
  driveLink_->PortMenu().Menu_FindAvailablePortsClick();
}

void TForm_Sorvanel::Menu_FindFrequencyConverterClick() {
  driveLink_->PortMenu().Menu_FindFrequencyConverterClick();
}

void TForm_Sorvanel::Menu_NetworkPortsClick() {
  if (EditNetworkPorts(settings_.NetworkPorts, this)) {
    driveLink_->Port().SetNetworkPorts(settings_.NetworkPorts);
    Menu_FindAvailablePortsClick();
  }
}

void TForm_Sorvanel::TimerTimer() {
  driveLink_->Watchdog().TimerTimer();
}

void TForm_Sorvanel::Menu_MemoryViewClick() {
  tools_->ShowMemoryView();
}

void TForm_Sorvanel::RebuildPortItems(const QStringList &entries) {
  portItems_->Rebuild(entries);
}

void TForm_Sorvanel::SetPortItemChecked(int position, bool checked) {
  portItems_->SetChecked(position, checked);
}

void TForm_Sorvanel::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

void TForm_Sorvanel::CreatePortThread() {
  portItems_ = std::make_unique<TPortMenuItems>(ui_->Menu_PortHandling, [this](int position) {
    driveLink_->PortMenu().Menu_OpenPortClick(position);
  });
  driveLink_ =
      std::make_unique<TDriveLink>(link_, settings_, *this, displayModel_, files_.memoryFile);
  // A signal during a network port's connect (up to 3 s, the window waiting)
  // ends the wait at once.
  driveLink_->Port().SetOpenStop(TOpenStop(TerminationRequestedFd()));
  tools_ = std::make_unique<TToolsWindows>(*driveLink_, this);
  automation_ = std::make_unique<TAutomationSwitch>(
      displayModel_, keypad_, *driveLink_, files_.settingsFile, *ui_->Menu_Tools, *ui_->StatusBar);
}

void TForm_Sorvanel::OpenSavedPort() {
  driveLink_->PortMenu().OpenSavedPort();
  // A port asked for on the command line that the menu does not list is
  // reported as a port that does not exist.
  if (!startPort_.isEmpty() && !driveLink_->PortMenu().Entries().contains(startPort_)) {
    ShowOpenFailureDialog(TOpenFailure::OfTty(ENOENT));
  }
}

void TForm_Sorvanel::DestroyPortThread() {
  // The observers leave the link before it goes.
  automation_.reset();
  tools_.reset();
  driveLink_.reset();
}

void TForm_Sorvanel::closeEvent(QCloseEvent *event) {
  tools_->CloseMemoryView();
  FormClose();
  QMainWindow::closeEvent(event);
}

void TForm_Sorvanel::keyPressEvent(QKeyEvent *event) {
  if (!keyboard_->KeyPress(*event)) {
    QMainWindow::keyPressEvent(event);
  }
}

void TForm_Sorvanel::keyReleaseEvent(QKeyEvent *event) {
  if (!keyboard_->KeyRelease(*event)) {
    QMainWindow::keyReleaseEvent(event);
  }
}

void TForm_Sorvanel::focusOutEvent(QFocusEvent *event) {
  keyboard_->LetGo();
  QMainWindow::focusOutEvent(event);
}

void TForm_Sorvanel::changeEvent(QEvent *event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
    keyboard_->LetGo();
  }
  QMainWindow::changeEvent(event);
}

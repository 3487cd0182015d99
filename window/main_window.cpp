#include "main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <cerrno>

#include "about_box.h"
#include "circle_shape.h"
#include "display_colors.h"
#include "display_font.h"
#include "drive_link.h"
#include "help_viewer.h"
#include "image_widget.h"
#include "key_mapping.h"
#include "key_repeat_filter.h"
#include "line_capture.h"
#include "line_monitor.h"
#include "memory_file_dialogs.h"
#include "memory_view.h"
#include "network_ports_dialog.h"
#include "open_error.h"
#include "port_menu_items.h"
#include "status_bar.h"
#include "text_table.h"
#include "ui_main_window.h"
#include "window_resources.h"

namespace {

constexpr QSize kClientSize[kSizeCount] = {{320, 518}, {220, 363}};
constexpr int kTimerInterval = 1000;
constexpr int kClosePortWait = 100;
constexpr int kStatusBarFontSize = 8;

QPixmap Picture(const char *name) {
  return QPixmap(QStringLiteral(":/pictures/") + QString::fromLatin1(name));
}

// A Tools window comes up in front, also when it was open behind others.
void BringToFront(QWidget *window) {
  window->show();
  window->raise();
  window->activateWindow();
}

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
  SetUpDesignedControls();
  AddNetworkPortsItem();
  display_ = std::make_unique<TDisplayRenderer>(panel_, link_, settings_);
  keyInput_ = std::make_unique<TKeyInput>(panel_);
  keyRepeat_ = new TKeyRepeatFilter([this](uint16_t key) { keyInput_->FormKeyDown(key); },
                                    [this](uint16_t key) { keyInput_->FormKeyUp(key); }, this);
  FormCreate();
  WireHandlers();
}

TForm_Sorvanel::~TForm_Sorvanel() {
  // The key images, labels and cells go with their panels.
  DestroyPortThread();
}

void TForm_Sorvanel::SetUpDesignedControls() {
  QFont windowFont(QStringLiteral("Liberation Sans"));
  windowFont.setPixelSize(11);
  setFont(windowFont);
  setFocusPolicy(Qt::StrongFocus);

  Ui::TForm_Sorvanel &ui = *ui_;
  for (QFrame *group : {ui.Group_TerminalSizeBig, ui.Group_TerminalSizeSmall}) {
    QPalette palette = group->palette();
    palette.setColor(QPalette::Window, kPanelGray);
    group->setPalette(palette);
  }
  ui.Image_BackgroundBig->SetPicture(Picture("face_big.png"));
  ui.Image_BackgroundSmall->SetPicture(Picture("face_small.png"));
  ui.Image_ResizeBig->SetPicture(Picture("resize_down.png"));
  ui.Image_ResizeSmall->SetPicture(Picture("resize_up.png"));

  panel_.Group_TerminalSize = {ui.Group_TerminalSizeBig, ui.Group_TerminalSizeSmall};
  panel_.Shape_ErrorLed = {ui.Shape_ErrorLedBig, ui.Shape_ErrorLedSmall};
  panel_.Shape_RunLed = {ui.Shape_RunLedBig, ui.Shape_RunLedSmall};
  panel_.StatusBar = ui.StatusBar;
  panel_.Images_ButtonBig = TImageList(Picture("keys_big.png"), 60, 60, kKeyImageCount);
  panel_.Images_ButtonSmall = TImageList(Picture("keys_small.png"), 40, 40, kKeyImageCount);

  ui.StatusBar->SetPanels({
      {50, Qt::AlignHCenter, false, QStringLiteral("-")},
      {95, Qt::AlignHCenter, true, QStringLiteral("Frekvenciaváltó")},
      {75, Qt::AlignHCenter, true, QStringLiteral("Prog. term.")},
      {50, Qt::AlignLeft, false, QString()},
  });
  ui.StatusBar->SetDrawPanelHandler([this](QPainter &painter, int index, const QRect &rect) {
    display_->StatusBarDrawPanel(painter, index, rect);
  });

  // Separators in menu order get the names N1 to N6.
  int separator = 0;
  for (QMenu *menu : {ui.Menu_Memory, ui.Menu_PortHandling, ui.Menu_Settings, ui.Menu_Help}) {
    for (QAction *action : menu->actions()) {
      if (action->isSeparator()) {
        action->setObjectName(QStringLiteral("N%1").arg(++separator));
      }
    }
  }
  auto *sizeGroup = new QActionGroup(this);
  sizeGroup->addAction(ui.Menu_TerminalSizeBig);
  sizeGroup->addAction(ui.Menu_TerminalSizeSmall);
  auto *languageGroup = new QActionGroup(this);
  languageGroup->addAction(ui.Menu_LanguageHun);
  languageGroup->addAction(ui.Menu_LanguageEng);

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
}

void TForm_Sorvanel::FormCreate() {
  CreatePortThread();
  Menu_FindAvailablePortsClick();
  BuildFrontPanel(panel_);
  ShowStatusScreen(kStatusScreenStartUp);
  LoadSettings(settings_, files_.settingsFile, SettingsTargets());
  ApplyNetworkPorts();
  if (!startPort_.isEmpty()) {
    settings_.Port = startPort_;
  }
  LoadMemoryFile();
  ui_->Menu_LanguageHun->setData(static_cast<int>(kLanguageHungarian));
  ui_->Menu_LanguageEng->setData(static_cast<int>(kLanguageEnglish));
  BuildTextTable();
  ApplyLanguage(LanguageTargets(), settings_.Language);
  ApplyToolsLanguage();
  (settings_.Language == kLanguageEnglish ? ui_->Menu_LanguageEng : ui_->Menu_LanguageHun)
      ->setChecked(true);
  AdjustStatusBarFont();
  if (!settings_.Port.isEmpty()) {
    OpenSavedPort();
  }
  HoldOffAnswers(link_);
}

// "Network ports…" at the end of the port menu; the port items go above it.
void TForm_Sorvanel::AddNetworkPortsItem() {
  ui_->Menu_PortHandling->addSeparator()->setObjectName(QStringLiteral("N_NetworkPorts"));
  networkPortsItem_ = ui_->Menu_PortHandling->addAction(GetText(kTextNetworkPorts));
  networkPortsItem_->setObjectName(QStringLiteral("Menu_NetworkPorts"));
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
  ClosePort();
  QThread::msleep(kClosePortWait);
  SaveSettings(settings_, files_.settingsFile, SettingsTargets());
  SaveMemoryFile();
}

void TForm_Sorvanel::WireHandlers() {
  Ui::TForm_Sorvanel &ui = *ui_;
  for (const TButtonPlacement &entry : panel_.ButtonTable) {
    for (TImage *image : {entry.ImageBig, entry.ImageSmall}) {
      connect(image, &TImage::MouseDown, this,
              [this](TImage *sender) { keyInput_->ButtonMouseDown(sender); });
      connect(image, &TImage::MouseUp, this,
              [this](TImage *sender) { keyInput_->ButtonMouseUp(sender); });
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

TLanguageTargets TForm_Sorvanel::LanguageTargets() const {
  const Ui::TForm_Sorvanel &ui = *ui_;
  TLanguageTargets targets;
  targets.menuItems = {
      ui.Menu_File->menuAction(),
      ui.Menu_Exit,
      ui.Menu_Memory->menuAction(),
      ui.Menu_MemoryLoad,
      ui.Menu_MemorySave,
      ui.Menu_MemoryClear,
      ui.Menu_Settings->menuAction(),
      ui.Menu_PortHandling->menuAction(),
      ui.Menu_FindAvailablePorts,
      ui.Menu_FindFrequencyConverter,
      ui.Menu_TerminalSizeBig,
      ui.Menu_TerminalSizeSmall,
      ui.Menu_AlwaysOnTop,
      ui.Menu_ProgTermAlert->menuAction(),
      ui.Menu_ProgTermAlertOnConnect,
      ui.Menu_ProgTermAlertOnDisconnect,
      ui.Menu_Language->menuAction(),
      ui.Menu_LanguageHun,
      ui.Menu_LanguageEng,
      ui.Menu_Help->menuAction(),
      ui.Menu_OpenHelp,
      ui.Menu_About,
  };
  targets.addedItems = {{networkPortsItem_, kTextNetworkPorts},
                        {ui.Menu_Tools->menuAction(), kTextToolsMenu},
                        {ui.Menu_MemoryView, kTextMemoryView},
                        {ui.Menu_LineMonitor, kTextLineMonitor}};
  targets.statusBar = ui.StatusBar;
  return targets;
}

// The Tools windows follow the language too (their menu items are language
// targets).
void TForm_Sorvanel::ApplyToolsLanguage() {
  if (memoryView_ != nullptr) {
    memoryView_->ApplyLanguage();
  }
  if (lineMonitor_ != nullptr) {
    lineMonitor_->Retranslate();
  }
}

void TForm_Sorvanel::ShowSize(int size) {
  const QSize client = kClientSize[size];
  QWidget *shown = panel_.Group_TerminalSize[size];
  QWidget *hidden = panel_.Group_TerminalSize[1 - size];
  ui_->CentralArea->setFixedSize(client);
  shown->move(0, 0);
  shown->show();
  hidden->hide();
  ui_->StatusBar->setGeometry(0, client.height() - TStatusBar::kHeight, client.width(),
                              TStatusBar::kHeight);
  int menuHeight = menuBar()->heightForWidth(client.width());
  if (menuHeight < 0) {
    menuHeight = menuBar()->sizeHint().height();
  }
  setFixedSize(client.width(), client.height() + menuHeight);
}

void TForm_Sorvanel::Menu_TerminalSizeBigClick() {
  ui_->Menu_TerminalSizeBig->setChecked(true);
  ShowSize(kSizeBig);
}

void TForm_Sorvanel::Menu_TerminalSizeSmallClick() {
  ui_->Menu_TerminalSizeSmall->setChecked(true);
  ShowSize(kSizeSmall);
}

void TForm_Sorvanel::AdjustStatusBarFont() {
  QFont font = ui_->StatusBar->font();
  font.setPointSize(StatusBarFontPointSize(kStatusBarFontSize, ui_->StatusBar->logicalDpiY()));
  ui_->StatusBar->setFont(font);
}

void TForm_Sorvanel::RepaintStatusBar() {
  ui_->StatusBar->update();
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
  if (memoryView_ != nullptr) {
    memoryView_->MemoryBlockWritten(address, length);
  }
}

void TForm_Sorvanel::SetTimerEnabled(bool enabled) {
  if (enabled) {
    timer_->start();
  } else {
    timer_->stop();
  }
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

QFileDialog *TForm_Sorvanel::OpenDialog() {
  if (openDialog_ == nullptr) {
    openDialog_ = CreateMemoryOpenDialog(this);
  }
  return openDialog_;
}

QFileDialog *TForm_Sorvanel::SaveDialog() {
  if (saveDialog_ == nullptr) {
    saveDialog_ = CreateMemorySaveDialog(this);
  }
  return saveDialog_;
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
  ::Menu_LanguageClick(sender, LanguageTargets(), settings_);
  ApplyToolsLanguage();
}

void TForm_Sorvanel::Menu_LineMonitorClick() {
  if (lineMonitor_ == nullptr) {
    lineMonitor_ = new TLineMonitor(*driveLink_, *capture_, this);
  }
  BringToFront(lineMonitor_);
}

void TForm_Sorvanel::Menu_MemoryLoadClick() {
  const QString file = RunMemoryFileDialog(*OpenDialog(), memoryFolder_);
  if (!file.isEmpty()) {
    driveLink_->MemoryFile().LoadMemoryFile(file);
  }
}

void TForm_Sorvanel::Menu_MemorySaveClick() {
  const QString file = RunMemoryFileDialog(*SaveDialog(), memoryFolder_);
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
  if (memoryView_ == nullptr) {
    memoryView_ = new TForm_MemoryView(driveLink_->Memory(), this);
  }
  BringToFront(memoryView_);
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
  driveLink_ = std::make_unique<TDriveLink>(link_, settings_, *this, files_.memoryFile);
  capture_ = std::make_unique<TLineCapture>(*driveLink_);
}

void TForm_Sorvanel::LoadMemoryFile() {
  driveLink_->MemoryFile().LoadMemoryFile(QString());
}

void TForm_Sorvanel::OpenSavedPort() {
  driveLink_->PortMenu().OpenSavedPort();
  // A port asked for on the command line that the menu does not list is
  // reported as a port that does not exist.
  if (!startPort_.isEmpty() && !driveLink_->PortMenu().Entries().contains(startPort_)) {
    ShowSerialOpenError(ENOENT);
  }
}

void TForm_Sorvanel::ClosePort() {
  driveLink_->ClosePort();
}

void TForm_Sorvanel::SaveMemoryFile() {
  driveLink_->MemoryFile().SaveMemoryFile(QString());
}

void TForm_Sorvanel::DestroyPortThread() {
  // The observers leave the link before it goes.
  delete lineMonitor_;
  lineMonitor_ = nullptr;
  capture_.reset();
  driveLink_.reset();
}

void TForm_Sorvanel::closeEvent(QCloseEvent *event) {
  // The tool windows go with the main window.
  if (memoryView_ != nullptr) {
    memoryView_->close();
  }
  FormClose();
  QMainWindow::closeEvent(event);
}

void TForm_Sorvanel::keyPressEvent(QKeyEvent *event) {
  const uint16_t virtualKey = QtKeyToVirtualKey(event->key());
  if (virtualKey == 0) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  // An auto-repeated key-down repeats the press.
  keyRepeat_->KeyDown(virtualKey);
}

void TForm_Sorvanel::keyReleaseEvent(QKeyEvent *event) {
  const uint16_t virtualKey = QtKeyToVirtualKey(event->key());
  if (virtualKey == 0) {
    QMainWindow::keyReleaseEvent(event);
    return;
  }
  // X11 sends a release before every repeated press; the key is still down.
  // Qt recognises most of them; the filter catches the rest.
  if (!event->isAutoRepeat()) {
    keyRepeat_->KeyUp(virtualKey);
  }
}

void TForm_Sorvanel::focusOutEvent(QFocusEvent *event) {
  keyRepeat_->ReleaseNow();
  keyInput_->ReleaseHeldKeys();
  QMainWindow::focusOutEvent(event);
}

void TForm_Sorvanel::changeEvent(QEvent *event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
    keyRepeat_->ReleaseNow();
    keyInput_->ReleaseHeldKeys();
  }
  QMainWindow::changeEvent(event);
}

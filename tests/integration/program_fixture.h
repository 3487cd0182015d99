// The whole program in a folder of its own: a program folder (settings file,
// Sorvanel.mem) and a runtime folder ($XDG_RUNTIME_DIR) whose port map the
// program reads, so a test registers its own converter ports and nothing of
// the user's is touched. The program runs either as the real main window in
// the test's process (ProgramTest; dialogs are recorded, never shown) or as
// a process of its own (TProgramProcess).
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "circle_shape.h"
#include "display_line_label.h"
#include "display_renderer.h"
#include "drive_link.h"
#include "image_widget.h"
#include "kelvo.h"
#include "main_window.h"
#include "pty_drive.h"
#include "recording_dialogs.h"
#include "text_table.h"

namespace integration {

// Records dialogs like TRecordingDialogs and runs 'onShow' while a dialog
// would be up, so a test can look at the program in that moment.
class TWatchedDialogs : public TRecordingDialogs {
 public:
  void Show(const TMessageDialogRequest &request, bool *checkBoxState) override {
    if (onShow) {
      onShow();
    }
    TRecordingDialogs::Show(request, checkBoxState);
  }
  std::function<void()> onShow;
};

// A test's own program folder and runtime folder under one temporary root.
class TProgramFolders {
 public:
  TProgramFolders() {
    QDir(root_.path()).mkpath(QStringLiteral("program"));
    QDir(root_.path()).mkpath(QStringLiteral("runtime/sorvanel/ports"));
    QFile::setPermissions(RuntimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  bool Valid() const { return root_.isValid(); }

  QString Root() const { return root_.path(); }
  QString ProgramFolder() const { return root_.path() + QStringLiteral("/program"); }
  QString ProgramPath() const { return ProgramFolder() + QStringLiteral("/sorvanel"); }
  QString SettingsPath() const { return ProgramFolder() + QStringLiteral("/sorvanel.ini"); }
  QString MemoryFilePath() const { return ProgramFolder() + QStringLiteral("/Sorvanel.mem"); }
  QString RuntimeFolder() const { return root_.path() + QStringLiteral("/runtime"); }
  QString PortMapFolder() const { return RuntimeFolder() + QStringLiteral("/sorvanel/ports"); }

  // Makes 'name' a port of the port map that opens 'device' (replacing an
  // entry of that name).
  void RegisterPort(const QString &name, const QString &device) const {
    const QString entry = PortMapFolder() + QLatin1Char('/') + name;
    QFile::remove(entry);
    QFile::link(device, entry);
  }

  void WriteFile(const QString &path, const QByteArray &bytes) const {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      file.write(bytes);
    }
  }
  QByteArray ReadFile(const QString &path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // A copy of the sorvanel program at ProgramPath(), so it keeps its files
  // in the program folder.
  bool CopyProgram() const;
  // The environment a program started here runs in: offscreen, with this
  // runtime folder.
  QProcessEnvironment ProgramEnvironment() const;

 private:
  QTemporaryDir root_;
};

// The copy of the program in 'folders', run as a process. Killed at the end
// if it still runs.
class TProgramProcess {
 public:
  explicit TProgramProcess(const TProgramFolders &folders)
      : environment(folders.ProgramEnvironment()), folders_(folders) {}
  ~TProgramProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  bool Start(const QStringList &arguments = {});
  // Starts it on 'drive' registered as 'port' and waits until it holds the
  // line open and answers it.
  bool StartTalkingTo(TPtyDrive &drive, const QString &port = QStringLiteral("PTYDRIVE"),
                      const QStringList &arguments = {});
  // The program holds 'device' open (its port is open).
  bool HoldsOpen(const QString &device) const;
  // The program has set its handler of SIGTERM (a signal before that would
  // end it at once, without the closing steps).
  bool CatchesSigterm() const;
  // Waits until the program has used no processor time for a while: it
  // waits in an event loop for something to happen.
  bool WaitUntilIdle(int limitMs);
  // SIGTERM, which runs the closing steps; true when it then ended by itself.
  bool Terminate(int limitMs = 15000) {
    process_.terminate();
    return process_.waitForFinished(limitMs) && process_.exitStatus() == QProcess::NormalExit;
  }

  QProcess &Process() { return process_; }
  QProcessEnvironment environment;

 private:
  const TProgramFolders &folders_;
  QProcess process_;
};

// The memory file as the program keeps it, built here from its documented
// layout rather than by the program's own writer.
QByteArray ScrambledMemoryFileHeader();
QByteArray MemoryFileWith(uint16_t address, const QByteArray &data);

// Runs the event loop for 'ms' without spinning (the loop sleeps in poll).
void RunEventLoopFor(int ms);

// Processor time used so far by every thread of this process, in seconds.
double ProcessCpuSeconds();

// Key indexes of the terminal's keys.
inline constexpr int kKeyUp = 0;
inline constexpr int kKeyDisplay = 2;
inline constexpr int kKeyDown = 4;
inline constexpr int kKeyEscape = 5;
inline constexpr int kKeyEnter = 6;
inline constexpr int kKeyStart = 9;
inline constexpr int kKeyStop = 10;

// Counts the answers the window's link writes.
class TAnswerCounter : public TLinkObserver {
 public:
  void AnswerWritten(TLinkTime, const uint8_t *, size_t, bool written) override {
    answers += written ? 1 : 0;
  }
  int answers = 0;
};

// The real main window of a program whose folders are the test's own.
class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folders.Valid());
    hadRuntime_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    previousRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", folders.RuntimeFolder().toLocal8Bit());
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    Kelvo_SetAddress(0);
    Kelvo_SetValue(0, 0, 0, 0);
    SetCurrentLanguage(kLanguageHungarian);
  }
  void TearDown() override {
    window.reset();
    if (hadRuntime_) {
      qputenv("XDG_RUNTIME_DIR", previousRuntime_);
    } else {
      qunsetenv("XDG_RUNTIME_DIR");
    }
  }

  void WriteSettings(const QByteArray &text) { folders.WriteFile(folders.SettingsPath(), text); }

  // Creates and shows the window: the start-up sequence runs, the saved port
  // is opened.
  TForm_Sorvanel &StartWindow() {
    window = std::make_unique<TForm_Sorvanel>(folders.ProgramPath());
    counting_ = false;
    window->show();
    return *window;
  }
  // The same with 'port' saved as the port to open; on 'drive', that is
  // registered as 'port' and watches the window.
  TForm_Sorvanel &StartWindowOn(const QString &port) {
    WriteSettings(QStringLiteral("[Sorvanel]\nPort=%1\n").arg(port).toUtf8());
    return StartWindow();
  }
  TForm_Sorvanel &StartWindowOn(TPtyDrive &drive,
                                const QString &port = QStringLiteral("PTYDRIVE")) {
    folders.RegisterPort(port, drive.SlavePath());
    drive.WatchLink(StartWindowOn(port).LinkState());
    return *window;
  }
  // Closes it as the close button does (the closing steps run) and frees it.
  void CloseWindow() {
    window->close();
    window.reset();
  }

  TForm_Sorvanel &Window() { return *window; }
  QString Line(int size, int line) {
    return window->FrontPanel().Label_DisplayLine[size][line]->text();
  }
  QColor RunLed(int size) { return window->FrontPanel().Shape_RunLed[size]->BrushColor(); }
  QColor ErrorLed(int size) { return window->FrontPanel().Shape_ErrorLed[size]->BrushColor(); }
  TImage *KeyImage(int key) { return window->FrontPanel().KeyImage(kSizeBig, key); }
  bool ShowsStatusScreenNoCommunication() {
    return Line(kSizeBig, 2) == GetText(kTextNoCommunicationLine2) &&
           Line(kSizeBig, 3) == GetText(kTextNoCommunicationLine3) &&
           Line(kSizeSmall, 2) == GetText(kTextNoCommunicationLine2);
  }
  // The drive's main screen is on the display.
  bool ShowsMainScreen() { return Line(kSizeBig, 0).startsWith(QStringLiteral("Kimenet")); }
  // Answers the window has written since this was first asked.
  int AnswersWritten() {
    if (!counting_) {
      window->DriveLink().AttachObserver(&answerCounter);
      counting_ = true;
    }
    return answerCounter.answers;
  }

  // A click on a key picture with the mouse, as the user does it.
  void ClickKey(int key) {
    QTest::mousePress(KeyImage(key), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(KeyImage(key), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  }
  QAction *MenuItem(const char *name) {
    return window->findChild<QAction *>(QString::fromLatin1(name));
  }
  // The port item of the port menu named 'name', as the menu shows it.
  QAction *PortItem(const QString &name) {
    const QList<QAction *> items = window->PortHandlingMenu()->actions();
    for (qsizetype i = 3; i < items.size(); ++i) {
      if (items[i]->text() == name) {
        return items[i];
      }
    }
    return nullptr;
  }

  TProgramFolders folders;
  TWatchedDialogs dialogs;
  TAnswerCounter answerCounter;  // outlives every window's link
  std::unique_ptr<TForm_Sorvanel> window;

 private:
  bool hadRuntime_ = false;
  QByteArray previousRuntime_;
  bool counting_ = false;
};

}  // namespace integration

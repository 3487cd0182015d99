// The whole program in a folder of its own: a program folder (settings file,
// Sorvanel.mem) and a runtime folder ($XDG_RUNTIME_DIR) whose port map the
// window reads, so a test registers its own converter ports and nothing of
// the user's is touched. Dialogs are recorded, never shown.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "circle_shape.h"
#include "display_line_label.h"
#include "display_renderer.h"
#include "drive_link.h"
#include "image_widget.h"
#include "kelvo.h"
#include "main_window.h"
#include "pty_line.h"
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

 private:
  QTemporaryDir root_;
};

// The memory file as the program keeps it, built here from its documented
// layout rather than by the program's own writer.
inline QByteArray ScrambledMemoryFileHeader() {
  const QByteArray text("{VELTAR Terminal Full Memory File}");
  QByteArray header;
  header.append(static_cast<char>(text.size()));
  for (int i = 1; i <= text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i - 1]);
    const auto rotated = static_cast<uint8_t>((c >> 1) | (c << 7));
    header.append(static_cast<char>(static_cast<uint8_t>(rotated + i) ^ 0x6B));
  }
  return header;
}

inline QByteArray MemoryFileWith(uint16_t address, const QByteArray &data) {
  QByteArray image(8192, '\0');
  image.replace(address, data.size(), data);
  return ScrambledMemoryFileHeader() + image;
}

// Runs the event loop for 'ms' without spinning (the loop sleeps in poll).
inline void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Processor time used so far by every thread of this process, in seconds
// (user and system time of each task in /proc/self/task).
inline double ProcessCpuSeconds() {
  long ticks = 0;
  const QStringList tasks =
      QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &task : tasks) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
    if (!stat.open(QIODevice::ReadOnly)) {
      continue;  // the thread ended meanwhile
    }
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12) {
      ticks += fields[11].toLong() + fields[12].toLong();  // utime, stime
    }
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Key indexes of the terminal's keys.
inline constexpr int kKeyUp = 0;
inline constexpr int kKeyDisplay = 2;
inline constexpr int kKeyDown = 4;
inline constexpr int kKeyEscape = 5;
inline constexpr int kKeyEnter = 6;
inline constexpr int kKeyStart = 9;
inline constexpr int kKeyStop = 10;

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
    window->show();
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
    return Line(kSizeBig, 2) == GetText(22) && Line(kSizeBig, 3) == GetText(23) &&
           Line(kSizeSmall, 2) == GetText(22);
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
  std::unique_ptr<TForm_Sorvanel> window;

 private:
  bool hadRuntime_ = false;
  QByteArray previousRuntime_;
};

}  // namespace integration

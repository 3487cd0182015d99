// A main window in a folder of its own (its settings file lands there),
// with dialogs recorded instead of shown and the key state and language
// reset.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <memory>
#include <utility>

#include "display_line_label.h"
#include "display_reply.h"
#include "image_widget.h"
#include "kelvo.h"
#include "main_window.h"
#include "recording_dialogs.h"
#include "text_table.h"

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    SetCurrentLanguage(kLanguageHungarian);
  }

  QString ProgramPath() const { return folder.filePath(QStringLiteral("sorvanel")); }
  QString SettingsPath() const { return folder.filePath(QStringLiteral("sorvanel.ini")); }

  void WriteSettings(const QByteArray &text) {
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  TForm_Sorvanel &Window() {
    if (!window) {
      window = std::make_unique<TForm_Sorvanel>(ProgramPath());
    }
    return *window;
  }

  template <typename T>
  T *Child(const char *name) {
    return Window().findChild<T *>(QString::fromLatin1(name));
  }

  TDisplayLineLabel *Line(int size, int line) {
    return Window().FrontPanel().Label_DisplayLine[size][line];
  }

  // A converter display message: status byte and 16 codes.
  void SetReply(uint8_t status, const QByteArray &codes) {
    Window().LinkState().ReplyData = DisplayReply(status, codes);
  }
  // ReplyData handed to the display model as the reply handler hands a
  // display message (graphic-mode step first) or a memory-read line.
  void ShowDisplayMessage() {
    Window().DisplayModel().ShowDisplayMessage(Window().LinkState().ReplyData);
  }
  void ShowLine() { Window().DisplayModel().ShowLine(Window().LinkState().ReplyData); }

  QTemporaryDir folder;
  TRecordingDialogs dialogs;
  std::unique_ptr<TForm_Sorvanel> window;
};

// The key-state bytes of the next request frame.
inline std::pair<uint8_t, uint8_t> CompiledKeyBytes() {
  TTerminalMessageFrame frame{};
  Kelvo_CompileMessage(&frame);
  uint8_t decoded[KELVO_MAX_PAYLOAD] = {};
  size_t length = 0;
  Kelvo_Check(frame.bytes + 1, frame.bytes[0], decoded, &length);
  return {decoded[1], decoded[2]};
}

inline void SendMouse(QWidget *target, QEvent::Type type, Qt::MouseButton button) {
  const QPointF inside(5, 5);
  QMouseEvent event(type, inside, target->mapToGlobal(inside), button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

// Records a recipe from the keys pressed on the panel: every key that goes
// through the keypad (the window's mouse and keyboard, and anything else
// that presses there) becomes a "press KEY" line, or "hold KEY MS" when it
// was held down for kHoldFrom or longer; consecutive presses share a line.
// Once the display has settled after a key, every display line that
// changed becomes an "expect N "TEXT"" line, so that a replay waits for the
// same screens. Only a settled display is written: a screen caught half
// drawn, or a line that a key pressed early was about to replace, would be
// gone by the time a replay looks. A key pressed before the display settled
// leaves the lines of the key before to the settle after it. The recording
// opens with the date and an expectation for each line shown at its start.
// Main thread only.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>
#include <chrono>

#include "display_model.h"
#include "keypad.h"

class TRecipeRecorder : public QObject, public TKeypadObserver, public TDisplayObserver {
  Q_OBJECT

 public:
  // A key down this long or longer is recorded as held for the time it was.
  static constexpr std::chrono::milliseconds kHoldFrom{500};
  // The display has settled once no line changed for this long with no key
  // down...
  static constexpr std::chrono::milliseconds kSettleTime{300};
  // ... or this long after a key went up or a line changed, for a display
  // that never rests.
  static constexpr std::chrono::milliseconds kSettleLimit{2000};
  // A line that changed this often between two keys shows a running value
  // (an output frequency, a bar graph): no expectation is written for it, a
  // replay would never meet it.
  static constexpr int kChangesOfARunningValue = 3;
  // The time-out of the expectations for the display at the start: a replay
  // right after the program started waits for the converter's first screen.
  static constexpr int kStartTimeoutSeconds = 10;

  // Both outlive the recorder. Recording starts at once.
  TRecipeRecorder(TKeypad &keypad, TDisplayModel &model, const QDateTime &start,
                  QObject *parent = nullptr);
  ~TRecipeRecorder() override;
  TRecipeRecorder(const TRecipeRecorder &) = delete;
  TRecipeRecorder &operator=(const TRecipeRecorder &) = delete;

  // The recipe recorded so far as UTF-8 text, with the expectations that a
  // settling display still owes written for what it shows now. A key still
  // down is left out.
  QByteArray Text();
  // The lines written so far; what a settling display still owes is not
  // among them yet.
  const QStringList &Lines() const { return lines_; }

  // TKeypadObserver
  void KeyChanged(int key, bool down) override;
  // TDisplayObserver
  void DisplayChanged(const TDisplayChange &change) override;

 private:
  void KeyUp(int key, qint64 heldMs);
  void AddKeyLine(const QString &step, const QString &keyName, bool joinsPresses);
  // Expectations for the lines that changed since the last ones written,
  // as the display shows them now.
  void WriteExpectations();
  QString TimeoutWord(int line) const;

  TKeypad &keypad_;
  TDisplayModel &model_;
  QStringList lines_;
  int keysOnLastLine_ = 0;  // the last line is a press line of this many keys
  bool keysRecorded_ = false;
  QElapsedTimer clock_;
  std::array<qint64, kKeyCount> downSince_;  // -1: not down
  int keysDown_ = 0;
  std::array<QString, kDisplayLineCount> expected_;  // as the last expectations left them
  std::array<QString, kDisplayLineCount> seen_;      // as the display last showed them
  std::array<int, kDisplayLineCount> changes_{};
  std::array<bool, kDisplayLineCount> running_{};
  std::array<qint64, kDisplayLineCount> changedAt_{};
  qint64 keyUpAt_ = 0;
  QTimer settle_;
  QTimer settleLimit_;
};

#include "recipe_recorder.h"

#include <algorithm>

#include "panel_keys.h"
#include "recipe.h"
#include "recipe_parser.h"

namespace {

// What an expectation can hold of a display line: a recipe file may hold no
// control characters, so a line with some gives its longest run without
// them; spaces at the end are left out (a text matches wherever it stands).
QString ExpectableText(const QString &line) {
  QString longest;
  QString run;
  for (const QChar c : line) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
      run.clear();
      continue;
    }
    run += c;
    if (run.size() > longest.size()) {
      longest = run;
    }
  }
  while (!longest.isEmpty() && longest.back().isSpace()) {
    longest.chop(1);
  }
  return longest.left(kDisplayColumns);
}

QString ExpectStep(int line, const QString &text) {
  return QStringLiteral("expect %1 %2").arg(QString::number(line + 1), QuoteRecipeText(text));
}

}  // namespace

TRecipeRecorder::TRecipeRecorder(TKeypad &keypad, TDisplayModel &model, const QDateTime &start,
                                 QObject *parent)
    : QObject(parent), keypad_(keypad), model_(model) {
  clock_.start();
  downSince_.fill(-1);
  lines_ << QStringLiteral("# Recorded with Sorvanel on %1")
                .arg(start.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
  const QStringList shown = model_.TextLines();
  for (int line = 0; line < kDisplayLineCount; ++line) {
    seen_[line] = shown.value(line);
  }
  for (QTimer *timer : {&settle_, &settleLimit_}) {
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] { WriteExpectations(); });
  }
  keypad_.Attach(this);
  model_.Attach(this);
  // The display at the start is written once it has settled too: the
  // recording may begin while a screen is still being drawn.
  settle_.start(kSettleTime);
  settleLimit_.start(kSettleLimit);
}

TRecipeRecorder::~TRecipeRecorder() {
  model_.Detach(this);
  keypad_.Detach(this);
}

QByteArray TRecipeRecorder::Text() {
  WriteExpectations();
  QStringList text = lines_;
  if (text.size() == 1) {
    // Nothing was shown or pressed; the recording still reads back as a recipe.
    text << QStringLiteral("wait 0");
  }
  return (text.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

void TRecipeRecorder::KeyChanged(int key, bool down) {
  if (key < 0 || key >= kKeyCount) {
    return;
  }
  const qint64 now = clock_.elapsed();
  if (down) {
    if (downSince_[key] < 0) {  // not a repeat of a key already down
      downSince_[key] = now;
      ++keysDown_;
      // What the display shows while a key is down is no settled screen.
      settle_.stop();
      settleLimit_.stop();
    }
    return;
  }
  if (downSince_[key] >= 0) {  // else it went down before the recording began
    const qint64 held = now - downSince_[key];
    downSince_[key] = -1;
    --keysDown_;
    KeyUp(key, held);
  }
}

void TRecipeRecorder::KeyUp(int key, qint64 heldMs) {
  const QString name = PanelKeyName(key);
  if (heldMs >= kHoldFrom.count()) {
    const qint64 ms = std::min<qint64>(heldMs, kRecipeMaxDuration.count());
    AddKeyLine(QStringLiteral("hold %1 %2").arg(name, QString::number(ms)), name, false);
  } else {
    AddKeyLine(QStringLiteral("press %1").arg(name), name, true);
  }
  // What changed while the key was down is the key's doing, not a running value.
  changes_.fill(0);
  keyUpAt_ = clock_.elapsed();
  if (keysDown_ == 0) {
    settle_.start(kSettleTime);
    settleLimit_.start(kSettleLimit);
  }
}

void TRecipeRecorder::AddKeyLine(const QString &step, const QString &keyName, bool joinsPresses) {
  if (joinsPresses && keysOnLastLine_ > 0 && keysOnLastLine_ < kRecipeMaxKeysPerStep) {
    lines_.last() += QLatin1Char(' ') + keyName;
    ++keysOnLastLine_;
    return;
  }
  lines_ << step;
  keysOnLastLine_ = joinsPresses ? 1 : 0;
  keysRecorded_ = true;
}

void TRecipeRecorder::DisplayChanged(const TDisplayChange &change) {
  if (!change.Display()) {
    return;
  }
  const QStringList shown = model_.TextLines();
  const qint64 now = clock_.elapsed();
  for (int line = 0; line < kDisplayLineCount; ++line) {
    if (shown.value(line) != seen_[line]) {
      seen_[line] = shown.value(line);
      ++changes_[line];
      changedAt_[line] = now;
    }
  }
  if (keysDown_ == 0) {
    settle_.start(kSettleTime);
    if (!settleLimit_.isActive()) {
      settleLimit_.start(kSettleLimit);
    }
  }
}

void TRecipeRecorder::WriteExpectations() {
  settle_.stop();
  settleLimit_.stop();
  const QStringList shown = model_.TextLines();
  for (int line = 0; line < kDisplayLineCount; ++line) {
    // A running value stays one while it keeps changing.
    running_[line] =
        changes_[line] >= kChangesOfARunningValue || (running_[line] && changes_[line] > 0);
    changes_[line] = 0;
    const QString now = shown.value(line);
    if (now == expected_[line]) {
      continue;
    }
    expected_[line] = now;
    const QString text = ExpectableText(now);
    if (running_[line] || text.isEmpty()) {
      continue;
    }
    lines_ << ExpectStep(line, text) + TimeoutWord(line);
    keysOnLastLine_ = 0;
  }
}

// A line that came late after its key gets twice that time to come in a
// replay, when the default time-out would be short for it. The display at
// the start gets the time of a converter's first screen.
QString TRecipeRecorder::TimeoutWord(int line) const {
  if (!keysRecorded_) {
    return QStringLiteral(" %1").arg(kStartTimeoutSeconds);
  }
  const qint64 late = changedAt_[line] - keyUpAt_;
  if (late <= 0 || 2 * late <= kRecipeDefaultTimeout.count()) {
    return QString();
  }
  const qint64 seconds =
      std::min<qint64>((2 * late + 999) / 1000, kRecipeMaxDuration.count() / 1000);
  return QStringLiteral(" %1").arg(seconds);
}

#include "recipe_parser.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

#include "panel_keys.h"

namespace {

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// The words of a text apart at white space.
QStringList WordsOf(QStringView text) {
  QStringList words;
  qsizetype start = -1;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    const bool space = i == text.size() || text[i].isSpace();
    if (space && start >= 0) {
      words << text.sliced(start, i - start).toString();
      start = -1;
    } else if (!space && start < 0) {
      start = i;
    }
  }
  return words;
}

TRecipeParse Fault(int sourceLine, const QString &message) {
  TRecipeParse parse;
  parse.error = {sourceLine, message};
  return parse;
}

bool AllDigits(QStringView text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
  });
}

// Whole milliseconds, 0 to the bound; nothing for anything else.
std::optional<std::chrono::milliseconds> MillisecondsOf(const QString &word) {
  if (!AllDigits(word) || word.size() > 9) {
    return std::nullopt;
  }
  const std::chrono::milliseconds value{word.toLongLong()};
  if (value > kRecipeMaxDuration) {
    return std::nullopt;
  }
  return value;
}

// Seconds with up to three decimals ("5", "0.5", "12.25"), more than 0, to the bound.
std::optional<std::chrono::milliseconds> SecondsOf(const QString &word) {
  const qsizetype point = word.indexOf(QLatin1Char('.'));
  const QStringView whole = QStringView(word).first(point < 0 ? word.size() : point);
  const QStringView fraction = point < 0 ? QStringView() : QStringView(word).sliced(point + 1);
  if (!AllDigits(whole) || whole.size() > 6 || (point >= 0 && !AllDigits(fraction)) ||
      fraction.size() > 3) {
    return std::nullopt;
  }
  const std::chrono::milliseconds value{
      whole.toLongLong() * 1000 + fraction.toString().leftJustified(3, QLatin1Char('0')).toInt()};
  if (value.count() <= 0 || value > kRecipeMaxDuration) {
    return std::nullopt;
  }
  return value;
}

QString DurationBound() {
  return QStringLiteral("%1 s").arg(kRecipeMaxDuration.count() / 1000);
}

TRecipeParse KeysStep(int sourceLine, const QStringList &names, TRecipeStep step) {
  if (names.size() > kRecipeMaxKeysPerStep) {
    return Fault(sourceLine,
                 QStringLiteral("more than %1 keys in one step").arg(kRecipeMaxKeysPerStep));
  }
  for (const QString &name : names) {
    const std::optional<int> key = PanelKeyOfName(name);
    if (!key) {
      return Fault(sourceLine,
                   QStringLiteral("unknown key \"%1\" (keys: %2)").arg(name, PanelKeyNameList()));
    }
    step.keys.push_back(*key);
  }
  TRecipeParse parse;
  parse.recipe = TRecipe{{std::move(step)}};
  return parse;
}

TRecipeParse PressStep(int sourceLine, const QStringList &names) {
  if (names.isEmpty()) {
    return Fault(sourceLine, QStringLiteral("press needs at least one key: press KEY..."));
  }
  return KeysStep(sourceLine, names, {TRecipeStepKind::Press, sourceLine, {}, {}, 0, {}});
}

TRecipeParse HoldStep(int sourceLine, const QStringList &words) {
  if (words.size() != 2) {
    return Fault(sourceLine,
                 QStringLiteral("hold takes one key and a time: hold KEY MILLISECONDS"));
  }
  const std::optional<std::chrono::milliseconds> duration = MillisecondsOf(words[1]);
  if (!duration || duration->count() == 0) {
    return Fault(sourceLine, QStringLiteral("hold time \"%1\" is not a whole number of "
                                            "milliseconds from 1 to %2")
                                 .arg(words[1], QString::number(kRecipeMaxDuration.count())));
  }
  return KeysStep(sourceLine, {words[0]},
                  {TRecipeStepKind::Hold, sourceLine, {}, *duration, 0, {}});
}

TRecipeParse WaitStep(int sourceLine, const QStringList &words) {
  if (words.size() != 1) {
    return Fault(sourceLine, QStringLiteral("wait takes one time: wait MILLISECONDS"));
  }
  const std::optional<std::chrono::milliseconds> duration = MillisecondsOf(words[0]);
  if (!duration) {
    return Fault(sourceLine, QStringLiteral("wait time \"%1\" is not a whole number of "
                                            "milliseconds from 0 to %2")
                                 .arg(words[0], QString::number(kRecipeMaxDuration.count())));
  }
  TRecipeParse parse;
  parse.recipe = TRecipe{{{TRecipeStepKind::Wait, sourceLine, {}, *duration, 0, {}}}};
  return parse;
}

// The checks of an expect step once its words are apart; timeoutWord may be empty.
TRecipeParse ExpectStep(int sourceLine, const QString &lineWord, const QString &text,
                        const QString &timeoutWord) {
  if (lineWord.size() != 1 || lineWord[0] < QLatin1Char('1') || lineWord[0] > QLatin1Char('4')) {
    return Fault(sourceLine,
                 QStringLiteral("display line \"%1\" is not 1, 2, 3 or 4").arg(lineWord));
  }
  if (text.size() > kDisplayColumns) {
    return Fault(sourceLine, QStringLiteral("text \"%1\" is longer than a display line (%2 "
                                            "characters): it can never be shown")
                                 .arg(text, QString::number(kDisplayColumns)));
  }
  std::chrono::milliseconds timeout = kRecipeDefaultTimeout;
  if (!timeoutWord.isEmpty()) {
    const std::optional<std::chrono::milliseconds> seconds = SecondsOf(timeoutWord);
    if (!seconds) {
      return Fault(sourceLine, QStringLiteral("time-out \"%1\" is not a number of seconds "
                                              "above 0 and up to %2")
                                   .arg(timeoutWord, DurationBound()));
    }
    timeout = *seconds;
  }
  TRecipeParse parse;
  parse.recipe =
      TRecipe{{{TRecipeStepKind::Expect, sourceLine, {}, timeout, lineWord.toInt(), text}}};
  return parse;
}

// expect LINE "TEXT" [SECONDS]: TEXT always in double quotes, \" and \\ inside.
TRecipeParse ExpectLine(int sourceLine, QStringView rest) {
  qsizetype at = 0;
  while (at < rest.size() && !rest[at].isSpace()) {
    ++at;
  }
  const QString lineWord = rest.first(at).toString();
  while (at < rest.size() && rest[at].isSpace()) {
    ++at;
  }
  if (lineWord.isEmpty() || at == lineWord.size() || at == rest.size() ||
      rest[at] != QLatin1Char('"')) {
    return Fault(sourceLine, QStringLiteral("expect needs a line and a text in double quotes: "
                                            "expect LINE \"TEXT\" [SECONDS]"));
  }
  QString text;
  ++at;
  bool closed = false;
  while (at < rest.size()) {
    const QChar c = rest[at++];
    if (c == QLatin1Char('"')) {
      closed = true;
      break;
    }
    if (c == QLatin1Char('\\')) {
      if (at == rest.size() || (rest[at] != QLatin1Char('"') && rest[at] != QLatin1Char('\\'))) {
        return Fault(sourceLine, QStringLiteral("in a quoted text a backslash is written \\\\ "
                                                "and a double quote \\\""));
      }
      text += rest[at++];
      continue;
    }
    text += c;
  }
  if (!closed) {
    return Fault(sourceLine, QStringLiteral("the text's closing double quote is missing"));
  }
  const QStringView tail = rest.mid(at);
  if (!tail.isEmpty() && !tail.front().isSpace()) {
    return Fault(sourceLine, QStringLiteral("a space must follow the text's closing quote"));
  }
  const QStringList after = WordsOf(tail);
  if (after.size() > 1) {
    return Fault(sourceLine, QStringLiteral("only a time-out in seconds may follow the text"));
  }
  return ExpectStep(sourceLine, lineWord, text, after.value(0));
}

TRecipeParse StepOfLine(int sourceLine, const QString &line) {
  qsizetype commandEnd = 0;
  while (commandEnd < line.size() && !line[commandEnd].isSpace()) {
    ++commandEnd;
  }
  const QString command = line.left(commandEnd).toLower();
  const QString rest = line.mid(commandEnd).trimmed();
  const QStringList words = WordsOf(rest);
  if (command == QLatin1String("press")) {
    return PressStep(sourceLine, words);
  }
  if (command == QLatin1String("hold")) {
    return HoldStep(sourceLine, words);
  }
  if (command == QLatin1String("wait")) {
    return WaitStep(sourceLine, words);
  }
  if (command == QLatin1String("expect")) {
    return ExpectLine(sourceLine, rest);
  }
  return Fault(sourceLine, QStringLiteral("unknown step \"%1\" (steps: press, hold, wait, expect; "
                                          "# starts a comment line)")
                               .arg(line.left(commandEnd)));
}

// A byte that has no place in a text file (tab is the only control byte allowed).
bool IsBinaryByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return (value < 0x20 && value != '\t') || value == 0x7F;
}

}  // namespace

TRecipeParse ParseRecipe(const QByteArray &bytes) {
  if (bytes.size() > kRecipeMaxBytes) {
    return Fault(0, QStringLiteral("the recipe is larger than %1 bytes").arg(kRecipeMaxBytes));
  }
  if (bytes.contains('\0')) {
    return Fault(0, QStringLiteral("the recipe is a binary file (it holds NUL bytes), not text"));
  }
  QByteArrayView body(bytes);
  if (body.startsWith(kUtf8ByteOrderMark)) {
    body = body.sliced(3);
  }
  TRecipe recipe;
  int sourceLine = 0;
  for (QByteArrayView rest = body; !rest.isEmpty() || sourceLine == 0;) {
    ++sourceLine;
    const qsizetype end = rest.indexOf('\n');
    QByteArrayView raw = end < 0 ? rest : rest.first(end);
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    if (raw.endsWith('\r')) {
      raw.chop(1);
    }
    if (raw.size() > kRecipeMaxLineBytes) {
      return Fault(sourceLine,
                   QStringLiteral("line longer than %1 bytes").arg(kRecipeMaxLineBytes));
    }
    for (const char byte : raw) {
      if (IsBinaryByte(byte)) {
        return Fault(sourceLine,
                     QStringLiteral("control byte 0x%1: the recipe is not text")
                         .arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')));
      }
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString line = QString(decoder(raw)).trimmed();
    if (decoder.hasError()) {
      return Fault(sourceLine, QStringLiteral("not UTF-8 text"));
    }
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
      continue;
    }
    TRecipeParse step = StepOfLine(sourceLine, line);
    if (!step.Ok()) {
      return step;
    }
    recipe.steps.push_back(std::move(step.recipe->steps.front()));
  }
  if (recipe.steps.empty()) {
    return Fault(0, QStringLiteral("the recipe has no steps"));
  }
  TRecipeParse parse;
  parse.recipe = std::move(recipe);
  return parse;
}

TRecipeParse ReadRecipeFile(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Fault(0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
  }
  // One byte past the bound is enough to tell a file that is too large.
  const QByteArray bytes = file.read(kRecipeMaxBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    return Fault(0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
  }
  return ParseRecipe(bytes);
}

TRecipeParse ParseCommandLineStep(const QStringList &words) {
  const QString command = words.value(0).toLower();
  const QStringList rest = words.mid(1);
  if (command == QLatin1String("press")) {
    return PressStep(0, rest);
  }
  if (command == QLatin1String("expect") && (rest.size() == 2 || rest.size() == 3)) {
    return ExpectStep(0, rest[0], rest[1], rest.value(2));
  }
  return Fault(0, QStringLiteral("usage: press KEY... | expect LINE TEXT [SECONDS]"));
}

QString QuoteRecipeText(const QString &text) {
  QString quoted = text;
  quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DescribeRecipeError(const TRecipeError &error) {
  if (error.sourceLine == 0) {
    return error.message;
  }
  return QStringLiteral("line %1: %2").arg(QString::number(error.sourceLine), error.message);
}

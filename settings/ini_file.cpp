#include "ini_file.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

bool SameName(const QString &a, const QString &b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Equal exactly for the names SameName finds equal: both fold every
// character by its simple case folding.
QString FoldedName(const QString &name) {
  return name.toCaseFolded();
}

bool IsHexDigit(QChar c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

int HexDigitValue(QChar c) {
  if (c >= u'0' && c <= u'9') {
    return c.unicode() - u'0';
  }
  return (c.toLower().unicode() - u'a') + 10;
}

// Digits of 'digits' in 'base', accumulated with a bound so that no value
// overflows; nothing for an empty text, a foreign character or a value above
// 'limit'.
std::optional<long long> ParseDigits(QStringView digits, int base, long long limit) {
  if (digits.isEmpty()) {
    return std::nullopt;
  }
  long long value = 0;
  for (QChar c : digits) {
    const bool valid = base == 16 ? IsHexDigit(c) : (c >= u'0' && c <= u'9');
    if (!valid) {
      return std::nullopt;
    }
    value = value * base + HexDigitValue(c);
    if (value > limit) {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace

std::optional<int> ParseIniInteger(const QString &text) {
  constexpr long long kMax = std::numeric_limits<int>::max();
  const QStringView view(text);
  if (view.startsWith(u'$')) {
    return ParseDigits(view.mid(1), 16, kMax);
  }
  if (view.size() > 2 && (view.startsWith(u"0x") || view.startsWith(u"0X"))) {
    return ParseDigits(view.mid(2), 16, kMax);
  }
  bool negative = false;
  QStringView digits = view;
  if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
    negative = digits.front() == u'-';
    digits = digits.mid(1);
  }
  const std::optional<long long> magnitude = ParseDigits(digits, 10, kMax + 1);
  if (!magnitude) {
    return std::nullopt;
  }
  const long long value = negative ? -*magnitude : *magnitude;
  if (value > kMax) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

TIniFile::TLineContent TIniFile::ReadLine(QByteArrayView text) {
  TLineContent content;
  const QByteArrayView trimmed = text.trimmed();
  if (trimmed.isEmpty()) {
    content.kind = TLineKind::Blank;
    return content;
  }
  if (trimmed.startsWith(';')) {
    return content;
  }
  if (trimmed.startsWith('[')) {
    const qsizetype close = trimmed.indexOf(']');
    if (close > 0) {
      content.kind = TLineKind::Section;
      content.name = trimmed.sliced(1, close - 1).trimmed();
    }
    return content;
  }
  const qsizetype equals = trimmed.indexOf('=');
  if (equals > 0) {
    const QByteArrayView key = trimmed.first(equals).trimmed();
    if (!key.isEmpty()) {
      content.kind = TLineKind::Key;
      content.name = key;
      content.value = trimmed.sliced(equals + 1).trimmed();
    }
  }
  return content;
}

TIniFile TIniFile::Parse(const QByteArray &bytes) {
  TIniFile file;
  file.byteOrderMark_ = bytes.startsWith(kByteOrderMark);
  file.text_ = file.byteOrderMark_ ? bytes.mid(kByteOrderMark.size()) : bytes;
  const QByteArray &text = file.text_;
  qsizetype start = 0;
  while (start < text.size()) {
    const qsizetype newline = text.indexOf('\n', start);
    const qsizetype end = newline < 0 ? text.size() : newline;
    qsizetype length = end - start;
    uint8_t ending = 0;
    if (newline >= 0) {
      ending = 1;
      if (length > 0 && text[end - 1] == '\r') {
        --length;
        ending = 2;
      }
    }
    const TLineKind kind = ReadLine(QByteArrayView(text).sliced(start, length)).kind;
    TLine *previous = file.lines_.empty() ? nullptr : &file.lines_.back();
    const bool joins = (kind == TLineKind::Blank || kind == TLineKind::Other) &&
                       previous != nullptr && previous->kind == kind;
    if (joins) {
      previous->length = start + length - previous->begin;
      previous->ending = ending;
    } else {
      file.lines_.push_back(TLine{start, length, kind, ending});
    }
    start = end + 1;
  }
  return file;
}

QByteArrayView TIniFile::TextOf(const TLine &line) const {
  return QByteArrayView(text_).sliced(line.begin, line.length);
}

TIniFile::TLineContent TIniFile::ContentOf(const TLine &line) const {
  return ReadLine(TextOf(line));
}

bool TIniFile::IsSection(const TLine &line, const QString &section) const {
  return line.kind == TLineKind::Section &&
         SameName(QString::fromUtf8(ContentOf(line).name), section);
}

bool TIniFile::IsKey(const TLine &line, const QString &key) const {
  return line.kind == TLineKind::Key && SameName(QString::fromUtf8(ContentOf(line).name), key);
}

TIniFile::TLine TIniFile::AddLine(const QByteArray &text, uint8_t ending) {
  const TLine line{text_.size(), text.size(), ReadLine(text).kind, ending};
  text_ += text;
  return line;
}

QByteArray TIniFile::NewLineEnding() const {
  for (const TLine &line : lines_) {
    // The first line end within the line or run; its own one when it has none.
    const qsizetype newline = TextOf(line).indexOf('\n');
    if (newline > 0 && text_[line.begin + newline - 1] == '\r') {
      return "\r\n";
    }
    if (newline >= 0) {
      return "\n";
    }
    if (line.ending != 0) {
      return line.ending == 2 ? "\r\n" : "\n";
    }
  }
  return "\n";
}

QByteArray TIniFile::Serialize() const {
  const QByteArray newLine = NewLineEnding();
  QByteArray bytes;
  bytes.reserve(text_.size() + (byteOrderMark_ ? kByteOrderMark.size() : 0) +
                2 * static_cast<qsizetype>(lines_.size()));
  if (byteOrderMark_) {
    bytes += kByteOrderMark;
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    const TLine &line = lines_[i];
    bytes += TextOf(line);
    if (line.ending == 2) {
      bytes += "\r\n";
    } else if (line.ending == 1) {
      bytes += '\n';
    } else if (i + 1 < lines_.size()) {
      bytes += newLine;
    }
  }
  return bytes;
}

std::optional<std::pair<size_t, size_t>> TIniFile::SectionRange(const QString &section) const {
  for (size_t begin = 0; begin < lines_.size(); ++begin) {
    if (!IsSection(lines_[begin], section)) {
      continue;
    }
    size_t end = begin + 1;
    while (end < lines_.size() && lines_[end].kind != TLineKind::Section) {
      ++end;
    }
    return std::make_pair(begin, end);
  }
  return std::nullopt;
}

bool TIniFile::HasSection(const QString &section) const {
  return SectionRange(section).has_value();
}

std::optional<QString> TIniFile::Value(const QString &section, const QString &key) const {
  const auto range = SectionRange(section);
  if (!range) {
    return std::nullopt;
  }
  for (size_t i = range->first + 1; i < range->second; ++i) {
    if (IsKey(lines_[i], key)) {
      return QString::fromUtf8(ContentOf(lines_[i]).value).left(kMaxValueLength);
    }
  }
  return std::nullopt;
}

bool TIniFile::IsOverlong(const TLine &line) const {
  if (line.kind != TLineKind::Key) {
    return false;
  }
  const QByteArrayView value = ContentOf(line).value;
  // UTF-8 never gives more characters than bytes.
  return value.size() > kMaxValueLength && QString::fromUtf8(value).size() > kMaxValueLength;
}

TIniFile::TEntries TIniFile::Entries(const QString &section, QStringList *overlong) const {
  TEntries entries;
  const auto range = SectionRange(section);
  if (!range) {
    return entries;
  }
  QSet<QString> seen;
  seen.reserve(static_cast<qsizetype>(range->second - range->first));
  for (size_t i = range->first + 1; i < range->second; ++i) {
    const TLineContent content = ContentOf(lines_[i]);
    if (content.kind != TLineKind::Key) {
      continue;
    }
    const QString name = QString::fromUtf8(content.name);
    if (IsOverlong(lines_[i])) {
      if (overlong != nullptr) {
        overlong->append(name);
      }
      continue;
    }
    const QString folded = FoldedName(name);
    if (!seen.contains(folded)) {
      seen.insert(folded);
      entries.emplace_back(name, QString::fromUtf8(content.value));
    }
  }
  return entries;
}

QString TIniFile::ReadString(const QString &section, const QString &key,
                             const QString &defaultValue) const {
  return Value(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const {
  const std::optional<QString> text = Value(section, key);
  if (!text) {
    return defaultValue;
  }
  return ParseIniInteger(*text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

// One pass over the lines, whatever the number of sections of that name.
void TIniFile::EraseSection(const QString &section, TOverlongLines overlong) {
  bool inSection = false;
  std::erase_if(lines_, [&](const TLine &line) {
    if (line.kind == TLineKind::Section) {
      inSection = IsSection(line, section);
    }
    return inSection && line.kind == TLineKind::Key &&
           !(overlong == TOverlongLines::Keep && IsOverlong(line));
  });
}

QByteArray TIniFile::KeyLine(const QString &key, const QString &value) {
  QString oneLine = value;
  oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
  return key.toUtf8() + '=' + oneLine.toUtf8();
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value) {
  const QByteArray text = KeyLine(key, value);
  const uint8_t newLine = NewLineEnding() == "\r\n" ? 2 : 1;

  const auto range = SectionRange(section);
  if (!range) {
    lines_.push_back(AddLine('[' + section.toUtf8() + ']', newLine));
    lines_.push_back(AddLine(text, newLine));
    return;
  }
  size_t insertAfter = range->first;
  for (size_t i = range->first + 1; i < range->second; ++i) {
    if (IsKey(lines_[i], key)) {
      lines_[i] = AddLine(text, lines_[i].ending);
      return;
    }
    if (lines_[i].kind != TLineKind::Blank) {
      insertAfter = i;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1),
                AddLine(text, newLine));
}

// What WriteString does for each key, with the section's key lines looked up
// in an index instead of a pass each: a key rewrites the first line of its
// name (an earlier key of this call included), and the lines of new keys go,
// in order, after the last non-blank line of the section as it stood.
void TIniFile::WriteStrings(const QString &section, const TEntries &keys) {
  std::vector<std::pair<QByteArray, QString>> lines;  // text, folded name
  lines.reserve(keys.size());
  for (const auto &[key, value] : keys) {
    QByteArray text = KeyLine(key, value);
    const TLineContent content = ReadLine(text);
    // A key that does not read back as itself (a header, a comment, a line
    // without '=') could change the section's bounds: one key at a time.
    if (content.kind != TLineKind::Key || !SameName(QString::fromUtf8(content.name), key)) {
      for (const auto &[oneKey, oneValue] : keys) {
        WriteString(section, oneKey, oneValue);
      }
      return;
    }
    lines.emplace_back(std::move(text), FoldedName(key));
  }
  if (lines.empty()) {
    return;
  }
  const uint8_t newLine = NewLineEnding() == "\r\n" ? 2 : 1;
  std::vector<TLine> added;
  // Folded key name -> its first line: an index of lines_ (>= 0) or of
  // 'added' (-1 - index).
  QHash<QString, std::ptrdiff_t> firstLine;
  firstLine.reserve(static_cast<qsizetype>(lines.size()));
  const auto range = SectionRange(section);
  size_t insertAfter = 0;
  if (range) {
    insertAfter = range->first;
    for (size_t i = range->first + 1; i < range->second; ++i) {
      if (lines_[i].kind == TLineKind::Key) {
        const QString folded = FoldedName(QString::fromUtf8(ContentOf(lines_[i]).name));
        if (!firstLine.contains(folded)) {
          firstLine.insert(folded, static_cast<std::ptrdiff_t>(i));
        }
      }
      if (lines_[i].kind != TLineKind::Blank) {
        insertAfter = i;
      }
    }
  } else {
    added.push_back(AddLine('[' + section.toUtf8() + ']', newLine));
  }
  for (const auto &[text, folded] : lines) {
    const auto found = firstLine.constFind(folded);
    if (found == firstLine.cend()) {
      firstLine.insert(folded, -1 - static_cast<std::ptrdiff_t>(added.size()));
      added.push_back(AddLine(text, newLine));
    } else if (*found >= 0) {
      lines_[static_cast<size_t>(*found)] =
          AddLine(text, lines_[static_cast<size_t>(*found)].ending);
    } else {
      TLine &line = added[static_cast<size_t>(-1 - *found)];
      line = AddLine(text, line.ending);
    }
  }
  const auto at =
      range ? lines_.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1) : lines_.end();
  lines_.insert(at, added.begin(), added.end());
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value) {
  WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

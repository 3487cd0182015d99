#include "ini_file.h"

#include <algorithm>
#include <limits>

namespace {

bool SameName(const QString &a, const QString &b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
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

TIniFile::TLine TIniFile::ParseLine(const QByteArray &text, const QByteArray &ending) {
  TLine line;
  line.text = text;
  line.ending = ending;
  const QByteArray trimmed = text.trimmed();
  if (trimmed.startsWith(';')) {
    return line;
  }
  if (trimmed.startsWith('[')) {
    const qsizetype close = trimmed.indexOf(']');
    if (close > 0) {
      line.kind = TLineKind::Section;
      line.name = QString::fromUtf8(trimmed.mid(1, close - 1).trimmed());
    }
    return line;
  }
  const qsizetype equals = trimmed.indexOf('=');
  if (equals > 0) {
    const QByteArray key = trimmed.left(equals).trimmed();
    if (!key.isEmpty()) {
      line.kind = TLineKind::Key;
      line.name = QString::fromUtf8(key);
      line.value = trimmed.mid(equals + 1).trimmed();
    }
  }
  return line;
}

TIniFile TIniFile::Parse(const QByteArray &bytes) {
  TIniFile file;
  qsizetype start = 0;
  while (start < bytes.size()) {
    const qsizetype newline = bytes.indexOf('\n', start);
    const qsizetype end = newline < 0 ? bytes.size() : newline;
    QByteArray text = bytes.mid(start, end - start);
    QByteArray ending;
    if (newline >= 0) {
      ending = "\n";
      if (text.endsWith('\r')) {
        text.chop(1);
        ending = "\r\n";
      }
    }
    file.lines_.push_back(ParseLine(text, ending));
    start = end + 1;
  }
  return file;
}

QByteArray TIniFile::NewLineEnding() const {
  for (const TLine &line : lines_) {
    if (!line.ending.isEmpty()) {
      return line.ending;
    }
  }
  return "\n";
}

QByteArray TIniFile::Serialize() const {
  const QByteArray newLine = NewLineEnding();
  QByteArray bytes;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const TLine &line = lines_[i];
    bytes += line.text;
    const bool last = i + 1 == lines_.size();
    bytes += line.ending.isEmpty() && !last ? newLine : line.ending;
  }
  return bytes;
}

std::optional<std::pair<size_t, size_t>> TIniFile::SectionRange(const QString &section,
                                                                size_t from) const {
  for (size_t begin = from; begin < lines_.size(); ++begin) {
    if (lines_[begin].kind != TLineKind::Section || !SameName(lines_[begin].name, section)) {
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
    if (lines_[i].kind == TLineKind::Key && SameName(lines_[i].name, key)) {
      return QString::fromUtf8(lines_[i].value).left(kMaxValueLength);
    }
  }
  return std::nullopt;
}

std::vector<std::pair<QString, QString>> TIniFile::Entries(const QString &section) const {
  std::vector<std::pair<QString, QString>> entries;
  const auto range = SectionRange(section);
  if (!range) {
    return entries;
  }
  for (size_t i = range->first + 1; i < range->second; ++i) {
    if (lines_[i].kind != TLineKind::Key) {
      continue;
    }
    const bool seen = std::any_of(entries.begin(), entries.end(), [&](const auto &entry) {
      return SameName(entry.first, lines_[i].name);
    });
    if (!seen) {
      entries.emplace_back(lines_[i].name,
                           QString::fromUtf8(lines_[i].value).left(kMaxValueLength));
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

void TIniFile::EraseSection(const QString &section) {
  size_t from = 0;
  while (const auto range = SectionRange(section, from)) {
    auto begin = lines_.begin() + static_cast<std::ptrdiff_t>(range->first + 1);
    auto end = lines_.begin() + static_cast<std::ptrdiff_t>(range->second);
    const auto kept =
        std::remove_if(begin, end, [](const TLine &line) { return line.kind == TLineKind::Key; });
    const auto removed = std::distance(kept, end);
    lines_.erase(kept, end);
    from = range->second - static_cast<size_t>(removed);
  }
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value) {
  QString oneLine = value;
  oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
  const QByteArray text = key.toUtf8() + '=' + oneLine.toUtf8();
  const QByteArray newLine = NewLineEnding();

  const auto range = SectionRange(section);
  if (!range) {
    lines_.push_back(ParseLine('[' + section.toUtf8() + ']', newLine));
    lines_.push_back(ParseLine(text, newLine));
    return;
  }
  size_t insertAfter = range->first;
  for (size_t i = range->first + 1; i < range->second; ++i) {
    if (lines_[i].kind == TLineKind::Key && SameName(lines_[i].name, key)) {
      lines_[i] = ParseLine(text, lines_[i].ending);
      return;
    }
    if (!lines_[i].text.trimmed().isEmpty()) {
      insertAfter = i;
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAfter + 1),
                ParseLine(text, newLine));
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value) {
  WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

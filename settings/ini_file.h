// An INI text file held in memory: read values, erase a section, add keys and
// write the whole text back. Lines the program does not change (comments,
// blank lines, other sections, other keys, unreadable lines) come out byte for
// byte as they went in, with their own line ends.
//
// Reading rules:
// - "[Name]" starts a section; lines before the first header belong to none.
// - "Key=Value" lines; whitespace around the key and the value is dropped.
// - Lines whose first non-blank character is ';' are comments.
// - Section and key names are compared without regard to letter case; when a
//   section or key occurs twice, the first one counts.
// - At most kMaxValueLength characters of a value are returned by Value and
//   the Read functions; Entries never cuts a value (see there).
// Any byte sequence parses (CR LF or LF line ends, no final line end, NUL
// bytes, invalid UTF-8, very long lines); text is decoded as UTF-8. A UTF-8
// byte order mark at the start is read past and written back.
//
// Memory and time are linear in the size of the text: the text is held once,
// lines are small records pointing into it, and a run of blank lines or of
// other lines that are neither headers nor keys is one record. Every call
// below takes one pass over the lines, so reading a section's entries and
// writing a section's keys with WriteStrings are linear however many keys
// the section holds (WriteString for each of n keys would take n passes).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class TIniFile {
 public:
  static constexpr int kMaxValueLength = 2047;

  TIniFile() = default;
  static TIniFile Parse(const QByteArray &bytes);
  QByteArray Serialize() const;

  bool HasSection(const QString &section) const;
  // The value of 'key' in 'section', or nothing when either is missing.
  std::optional<QString> Value(const QString &section, const QString &key) const;

  using TEntries = std::vector<std::pair<QString, QString>>;

  // The keys of 'section' with their values, in file order; a key that
  // occurs twice counts once, with its first value. A key line whose value is
  // longer than kMaxValueLength characters is no entry (it would have to be
  // cut): it is left out, does not count as an occurrence of its key, and
  // its key goes to 'overlong' (in file order) when that is given.
  TEntries Entries(const QString &section, QStringList *overlong = nullptr) const;

  QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
  // The value read as an integer (see ParseIniInteger); the default when the
  // key is missing or its value is not a valid integer.
  int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
  // An integer read with default 0 or 1, true when non-zero.
  bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

  // Which key lines EraseSection removes: all of them, or all but the lines
  // Entries leaves out for their overlong value, which then stay unchanged.
  enum class TOverlongLines : uint8_t { Erase, Keep };

  // Removes every key line of the section (of each section of that name).
  // The header keeps its place, and comments and blank lines in it stay.
  void EraseSection(const QString &section, TOverlongLines overlong = TOverlongLines::Erase);
  // Sets 'key' to 'value': rewrites the first existing line of the key, or
  // adds a line after the last non-blank line of the section, creating the
  // section at the end of the text when it is missing. Line breaks in the
  // value are replaced by spaces so the value stays on one line.
  void WriteString(const QString &section, const QString &key, const QString &value);
  // WriteString for each key in turn, in one pass: the same text results.
  void WriteStrings(const QString &section, const TEntries &keys);
  void WriteInteger(const QString &section, const QString &key, int value);
  void WriteBool(const QString &section, const QString &key, bool value);

 private:
  enum class TLineKind : uint8_t { Blank, Other, Section, Key };
  // One header or key line, or a run of blank lines or of other lines, as a
  // range of text_: the lines with their line ends, but the last line without
  // its own, which 'ending' gives (0: none, only the text's last line; 1: LF;
  // 2: CR LF).
  struct TLine {
    qsizetype begin = 0;
    qsizetype length = 0;
    TLineKind kind = TLineKind::Other;
    uint8_t ending = 0;
  };
  // What a line says: its kind and, for a header or a key, its trimmed name
  // and (key) value.
  struct TLineContent {
    TLineKind kind = TLineKind::Other;
    QByteArrayView name;
    QByteArrayView value;
  };

  static TLineContent ReadLine(QByteArrayView text);
  QByteArrayView TextOf(const TLine &line) const;
  TLineContent ContentOf(const TLine &line) const;
  bool IsSection(const TLine &line, const QString &section) const;
  bool IsKey(const TLine &line, const QString &key) const;
  // Adds 'text' to the held text and returns the line for it.
  TLine AddLine(const QByteArray &text, uint8_t ending);
  // Index range [begin, end) of the lines of the first section 'section',
  // header included; nothing when the section is missing.
  std::optional<std::pair<size_t, size_t>> SectionRange(const QString &section) const;
  QByteArray NewLineEnding() const;
  // The line 'key=value' with line breaks in the value replaced by spaces.
  static QByteArray KeyLine(const QString &key, const QString &value);
  bool IsOverlong(const TLine &line) const;

  QByteArray text_;  // the file's text without a byte order mark, then added lines
  bool byteOrderMark_ = false;
  std::vector<TLine> lines_;
};

// Integer reading: decimal with an optional sign; hexadecimal when the text
// starts with "0x" or "0X" and is longer than two characters, or starts with
// "$". Anything else, and any value outside the range of int, is not an
// integer.
std::optional<int> ParseIniInteger(const QString &text);

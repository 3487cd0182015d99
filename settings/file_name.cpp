#include "file_name.h"

#include <QFile>

namespace {

// Length of the UTF-8 sequence a lead byte starts; 1 for any other byte,
// which is then judged on its own.
qsizetype SequenceLength(uint8_t lead) {
  if (lead >= 0xF0) {
    return 4;
  }
  if (lead >= 0xE0) {
    return 3;
  }
  return lead >= 0xC0 ? 2 : 1;
}

// The character 'sequence' encodes, when it is valid UTF-8 and no control
// character (C0 or C1).
std::optional<QString> PrintableCharacter(const QByteArray &sequence) {
  QString character = QString::fromUtf8(sequence);
  if (character.toUtf8() != sequence || character.front().category() == QChar::Other_Control) {
    return std::nullopt;
  }
  return character;
}

}  // namespace

std::optional<QString> DecodeFileName(const QByteArray &native) {
  QString text = QFile::decodeName(native);
  if (QFile::encodeName(text) != native) {
    return std::nullopt;
  }
  return text;
}

QString PrintableFileName(const QByteArray &native) {
  QString text;
  qsizetype i = 0;
  while (i < native.size()) {
    const auto lead = static_cast<uint8_t>(native[i]);
    const QByteArray sequence = native.mid(i, SequenceLength(lead));
    if (const std::optional<QString> character = PrintableCharacter(sequence)) {
      text += *character;
      i += sequence.size();
    } else {
      text += QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, u'0');
      ++i;
    }
  }
  return text;
}

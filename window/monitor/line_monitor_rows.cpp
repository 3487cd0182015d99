#include "line_monitor_rows.h"

#include <QStringList>
#include <array>

#include "cp1250.h"
#include "frame_bytes.h"
#include "kelvo.h"
#include "text_table.h"

namespace {

using kelvo::kReplyKindFirstKeepAlive;
using kelvo::kReplyKindMemoryRead;
using kelvo::kReplyKindMemoryWrite;

constexpr qsizetype kLineTextEnd = 19;     // bytes 3..18: a display line
constexpr qsizetype kMemoryBlockEnd = 21;  // bytes 3..20: address and 16 bytes
constexpr qsizetype kRequestValueEnd = 8;  // bytes 1..7: keys, type, address, value 1

struct TKeyName {
  uint16_t button;
  const char *name;
};

// The keys as the terminal labels them; the same in both languages.
constexpr std::array<TKeyName, 11> kKeyNames = {{
    {0x0104, "UP"},
    {0x0010, "LEFT"},
    {0x0120, "DISP"},
    {0x0102, "RIGHT"},
    {0x0101, "DOWN"},
    {0x0004, "ESC"},
    {0x0008, "ENTER"},
    {0x0108, "JOG"},
    {0x0110, "DIR"},
    {0x0001, "START"},
    {0x0002, "STOP"},
}};

uint8_t At(const QByteArray &bytes, qsizetype index) {
  return static_cast<uint8_t>(bytes.at(index));
}

QString Hex(uint32_t value, int digits) {
  return QString::number(value, 16).rightJustified(digits, QLatin1Char('0'));
}

// The display characters of a line as the terminal shows them.
QString LineText(const QByteArray &payload) {
  QString text;
  for (qsizetype i = 3; i < kLineTextEnd; ++i) {
    text += Cp1250ToString(Kelvo_CharConv(At(payload, i)));
  }
  return LabelTextToPlain(text);
}

QString DriveMessageMeaning(const QByteArray &payload) {
  const uint8_t status = payload.size() > 2 ? At(payload, 2) : 0;
  const int kind = kelvo::ReplyKind(status);
  const int line = status & kelvo::kStatusLineMask;
  if (kind < kReplyKindFirstKeepAlive && payload.size() >= kLineTextEnd) {
    return GetText(kTextMeaningDisplayLine).arg(line).arg(LineText(payload));
  }
  if (kind == kReplyKindMemoryWrite && payload.size() >= kMemoryBlockEnd) {
    const uint32_t address = At(payload, 3) * 256u + At(payload, 4);
    return GetText(kTextMeaningMemoryWrite)
        .arg(Hex(address, 4))
        .arg(QString::fromLatin1(payload.mid(5, 16).toHex(' ')));
  }
  if (kind == kReplyKindMemoryRead && payload.size() >= kMemoryBlockEnd) {
    const uint32_t address = At(payload, 19) * 256u + At(payload, 20);
    return GetText(kTextMeaningMemoryRead).arg(Hex(address, 4)).arg(line).arg(LineText(payload));
  }
  if (kind >= kReplyKindFirstKeepAlive && kind < kReplyKindMemoryWrite) {
    return GetText(kTextMeaningKeepAlive).arg(kind);
  }
  return GetText(kTextMeaningOther).arg(QString::fromLatin1(payload.toHex(' ')));
}

QString RequestMeaning(const QByteArray &payload, bool fromProgTerm) {
  if (payload.size() < kRequestValueEnd) {
    return GetText(kTextMeaningOther).arg(QString::fromLatin1(payload.toHex(' ')));
  }
  const QString keys = KeyNames(At(payload, 1), At(payload, 2));
  if (fromProgTerm) {
    return GetText(kTextMeaningProgTerm).arg(keys);
  }
  return GetText(kTextMeaningAnswer)
      .arg(keys)
      .arg(Hex(At(payload, 4) * 256u + At(payload, 5), 4))
      .arg(Hex(At(payload, 6) * 256u + At(payload, 7), 4));
}

QString CheckErrorName(uint8_t code) {
  switch (code) {
    case KELVO_ERROR_NO_STX:
      return GetText(kTextCheckNoStx);
    case KELVO_ERROR_BAD_CHAR:
      return GetText(kTextCheckBadCharacter);
    case KELVO_ERROR_BAD_LENGTH:
      return GetText(kTextCheckBadLength);
    case KELVO_ERROR_BAD_CHECKSUM:
      return GetText(kTextCheckBadChecksum);
    case KELVO_ERROR_NO_ETX:
      return GetText(kTextCheckNoEtx);
    default:
      return QString::number(code);
  }
}

}  // namespace

TLineRow ReceivedFrameRow(double ms, const QByteArray &frame, uint8_t checkResult,
                          uint8_t errorCode, const TReplyData &reply) {
  TLineRow row;
  row.ms = ms;
  row.bytes = frame;
  row.checkResult = checkResult;
  if (checkResult == KELVO_CHECK_FAILED) {
    row.kind = TLineRowKind::Failed;
    row.errorCode = errorCode;
    return row;
  }
  row.kind = checkResult == kelvo::kConverterMessage ? TLineRowKind::DriveMessage
             : checkResult == kelvo::kProgTermFrame  ? TLineRowKind::ProgTerm
                                                     : TLineRowKind::Other;
  row.payload =
      QByteArray(reinterpret_cast<const char *>(reply.bytes),
                 static_cast<qsizetype>(std::min<size_t>(reply.length, KELVO_MAX_PAYLOAD)));
  return row;
}

TLineRow AnswerRow(double ms, const uint8_t *bytes, size_t length, bool written) {
  TLineRow row;
  row.ms = ms;
  row.kind = TLineRowKind::Answer;
  row.writeFailed = !written;
  row.bytes = QByteArray(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(length));
  // The program's own request always passes the check; decode it the same way.
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t decodedLength = 0;
  if (Kelvo_Check(bytes, length, decoded, &decodedLength) != KELVO_CHECK_FAILED) {
    row.payload =
        QByteArray(reinterpret_cast<const char *>(decoded), static_cast<qsizetype>(decodedLength));
  }
  return row;
}

TLineRow PortEventRow(double ms, TPortEvent event, const QString &portName) {
  TLineRow row;
  row.ms = ms;
  row.kind = TLineRowKind::PortEvent;
  row.portEvent = event;
  row.portName = portName;
  return row;
}

bool IsSent(const TLineRow &row) {
  return row.kind == TLineRowKind::Answer;
}

QString RowDirection(const TLineRow &row) {
  if (row.kind == TLineRowKind::PortEvent) {
    return QString();
  }
  return GetText(IsSent(row) ? kTextDirectionSent : kTextDirectionReceived);
}

QString RowPrintable(const TLineRow &row) {
  QString text;
  text.reserve(row.bytes.size());
  for (const char c : row.bytes) {
    const auto byte = static_cast<uint8_t>(c);
    text += byte >= 0x20 && byte < 0x7F ? QChar(QLatin1Char(c)) : QChar(QLatin1Char('.'));
  }
  return text;
}

QString RowHex(const TLineRow &row) {
  return QString::fromLatin1(row.bytes.toHex(' '));
}

QString RowMeaning(const TLineRow &row) {
  switch (row.kind) {
    case TLineRowKind::DriveMessage:
      return DriveMessageMeaning(row.payload);
    case TLineRowKind::ProgTerm:
      return RequestMeaning(row.payload, true);
    case TLineRowKind::Answer:
      return RequestMeaning(row.payload, false);
    case TLineRowKind::Other:
      return GetText(kTextMeaningOther).arg(QString::fromLatin1(row.payload.toHex(' ')));
    case TLineRowKind::Failed:
      return QString();
    case TLineRowKind::PortEvent:
      break;
  }
  switch (row.portEvent) {
    case TPortEvent::Opened:
      return GetText(kTextPortOpened).arg(row.portName);
    case TPortEvent::Closed:
      return GetText(kTextPortClosed).arg(row.portName);
    case TPortEvent::Lost:
      return GetText(kTextPortLost).arg(row.portName);
    case TPortEvent::Reopened:
      return GetText(kTextPortReopened).arg(row.portName);
  }
  return QString();
}

QString RowCheck(const TLineRow &row) {
  if (row.kind == TLineRowKind::PortEvent) {
    return QString();
  }
  if (row.kind == TLineRowKind::Failed) {
    return CheckErrorName(row.errorCode);
  }
  if (row.writeFailed) {
    return GetText(kTextWriteFailed);
  }
  return GetText(kTextCheckOk);
}

QString RowText(const TLineRow &row) {
  return QStringList{QString::number(row.ms, 'f', 3),
                     RowDirection(row),
                     RowPrintable(row),
                     RowHex(row),
                     RowMeaning(row),
                     RowCheck(row)}
      .join(QLatin1Char('\t'));
}

QString KeyNames(uint8_t keyState0, uint8_t keyState1) {
  QStringList names;
  for (const TKeyName &key : kKeyNames) {
    const uint8_t state = (key.button >> 8) == 0 ? keyState0 : keyState1;
    if ((state & (key.button & 0xFF)) != 0) {
      names << QString::fromLatin1(key.name);
    }
  }
  return names.isEmpty() ? GetText(kTextNoKeys) : names.join(QLatin1Char('+'));
}

// One row of the line monitor and how it reads: a frame received, an answer
// written or a port event, kept compact (the bytes and the decoded payload)
// and put into words only when shown, in the language shown at that moment.
// No widgets.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "link_observer.h"

enum class TLineRowKind : uint8_t {
  DriveMessage,  // a converter message ("M")
  ProgTerm,      // a programming terminal's frame ("K")
  Answer,        // a request the program wrote
  Failed,        // a received frame that failed the check
  Other,         // a valid frame of another kind
  PortEvent,
};

struct TLineRow {
  double ms = 0.0;  // since the port opened
  TLineRowKind kind = TLineRowKind::Other;
  uint8_t checkResult = 0;   // received frames: what the check returned
  uint8_t errorCode = 0;     // Failed: the check's error code
  bool writeFailed = false;  // Answer: the write did not succeed
  TPortEvent portEvent = TPortEvent::Opened;
  QByteArray bytes;    // the frame as it passed on the line
  QByteArray payload;  // the decoded payload (received valid frames and answers)
  QString portName;    // PortEvent
};

TLineRow ReceivedFrameRow(double ms, const QByteArray &frame, uint8_t checkResult,
                          uint8_t errorCode, const TReplyData &reply);
TLineRow AnswerRow(double ms, const uint8_t *bytes, size_t length, bool written);
TLineRow PortEventRow(double ms, TPortEvent event, const QString &portName);

bool IsSent(const TLineRow &row);
QString RowDirection(const TLineRow &row);
// Printable characters as they are, every other byte as '.'.
QString RowPrintable(const TLineRow &row);
// Lowercase hex, a space between bytes.
QString RowHex(const TLineRow &row);
QString RowMeaning(const TLineRow &row);
QString RowCheck(const TLineRow &row);
// The row as one line of text, columns separated by tabs.
QString RowText(const TLineRow &row);

// The keys held in a request's two key-state bytes, e.g. "ENTER+START".
QString KeyNames(uint8_t keyState0, uint8_t keyState1);

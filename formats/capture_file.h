// The capture file: what passed on the line, one JSON object per line
// (JSON Lines), as docs/capture-format.md describes it. Formatting and
// parsing only; TCaptureWriter writes a file as the link runs, and
// TCaptureReader reads one back (vdrive, to replay it). Needs nothing but QtCore.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

inline constexpr int kCaptureFormatVersion = 1;
// "t" is seconds since boot: 0 up to about 31 years.
inline constexpr double kCaptureMaxTime = 1e9;

struct TCaptureRecord {
  enum class TKind { Header, Rx, Tx, Event };

  TKind kind = TKind::Event;
  double t = 0.0;       // seconds on the monotonic clock
  QByteArray bytes;     // Rx, Tx: the bytes as they passed
  QString event;        // Event: "open", "close", "lost", "reopen"
  QString port;         // optional: the port's name
  bool failed = false;  // Tx: the write failed

  friend bool operator==(const TCaptureRecord &, const TCaptureRecord &) = default;
};

// One line of the file, ending in '\n'.
QByteArray FormatCaptureRecord(const TCaptureRecord &record);

// One line (with or without its '\n'). A line of an unknown kind reads as an
// Event with the name it has; false with a reason for a line that is not a
// capture record (a known field of the wrong type, a time out of range).
bool ParseCaptureRecord(QByteArrayView line, TCaptureRecord &record, QString &error);

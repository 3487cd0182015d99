// The capture file: what passed on the line, one JSON object per line
// (JSON Lines), as docs/capture-format.md describes it. Formatting and
// parsing only; TCaptureWriter writes a file as the link runs, and vdrive
// reads one back to replay it. Needs nothing but QtCore.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

inline constexpr int kCaptureFormatVersion = 1;

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
// capture record.
bool ParseCaptureRecord(QByteArrayView line, TCaptureRecord &record, QString &error);

// Every record of a file; false with "line N: reason" at the first bad line
// (a last line cut short by a crash is skipped) or when it cannot be read.
bool ReadCaptureFile(const QString &path, std::vector<TCaptureRecord> &records, QString &error);

// Reads a capture file (capture_file.h) one record at a time, in memory
// bounded by the limits below (docs/capture-format.md, "Limits"), from a
// regular file or from a pipe. Needs nothing but QtCore.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "capture_file.h"

// The writer's longest line, a 64 KiB read, is about 128 KiB.
inline constexpr qint64 kCaptureMaxLineBytes = 256 * 1024;
inline constexpr qint64 kCaptureMaxFileBytes = qint64(1) << 30;
// No two lines in a row lie further apart in time than a week.
inline constexpr double kCaptureMaxTimeStep = 7 * 24 * 3600.0;

struct TCaptureLimits {
  qint64 lineBytes = kCaptureMaxLineBytes;
  qint64 fileBytes = kCaptureMaxFileBytes;
};

// How a reader waiting on a slow source (a pipe whose writer is quiet or
// not there yet) learns that it should give up.
struct TCaptureReadStop {
  int wakeFd = -1;  // readable when 'requested' may have turned true
  std::function<void()> drainWakeFd;
  std::function<bool()> requested;
};

class TCaptureReader {
 public:
  enum class TStep { Record, End, Failed, Stopped };

  explicit TCaptureReader(TCaptureLimits limits = {}, TCaptureReadStop stop = {});
  ~TCaptureReader();
  TCaptureReader(const TCaptureReader &) = delete;
  TCaptureReader &operator=(const TCaptureReader &) = delete;

  // Opens without waiting for a writer to come to a pipe.
  bool Open(const QString &path, QString &error);
  // The next record. Failed with "line N: reason" for a bad line (a last
  // line cut short by a crash is skipped) or the reason reading failed.
  TStep Next(TCaptureRecord &record, QString &error);

 private:
  // Reads the next block, waiting for a pipe's writer; Record when it did.
  TStep Fill(QString &error);
  static QString AtLine(qint64 line, const QString &reason);

  TCaptureLimits limits_;
  TCaptureReadStop stop_;
  int fd_ = -1;
  QByteArray buffer_;
  qsizetype lineStart_ = 0;
  qint64 bytesRead_ = 0;
  qint64 lineNumber_ = 0;
  bool atEnd_ = false;
  bool pastFileLimit_ = false;  // the buffer ends at the limit, and more was there
  bool haveTime_ = false;
  double lastTime_ = 0.0;
};

// Every record of a small file; false with the reader's reason.
bool ReadCaptureFile(const QString &path, std::vector<TCaptureRecord> &records, QString &error,
                     TCaptureLimits limits = {});

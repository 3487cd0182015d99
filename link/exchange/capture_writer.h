// Writes what passes on the line into a capture file (capture_file.h) as it
// happens: every chunk received, every answer written, and the port's opens,
// closes and losses. Each line goes to the file in one write, so a crash
// loses at most the line being written.
//
// A file that cannot be opened or written is reported once through
// OnFailure; the writer then stops writing and the link goes on untouched.
#pragma once

#include <QString>
#include <functional>

#include "capture_file.h"
#include "link_observer.h"

class TCaptureWriter : public TLinkObserver {
 public:
  using TFailureHandler = std::function<void(const QString &reason)>;

  TCaptureWriter() = default;
  ~TCaptureWriter() override;
  TCaptureWriter(const TCaptureWriter &) = delete;
  TCaptureWriter &operator=(const TCaptureWriter &) = delete;

  // Creates (or empties) the file and writes its header line. 'port' is the
  // port open now, if any: the file then starts with its "open" record.
  // false, with OnFailure called, when that fails.
  bool Open(const QString &path, const QString &port = QString());
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const QString &Path() const { return path_; }
  // The reason of the failure that stopped the writer, empty while none.
  const QString &Failure() const { return failure_; }

  TFailureHandler OnFailure;

  void ChunkReceived(TLinkTime t, const QByteArray &chunk) override;
  void AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) override;
  void PortChanged(TLinkTime t, TPortEvent event, const QString &portName) override;

 private:
  void Write(const TCaptureRecord &record);
  void Fail(const QString &reason);

  int fd_ = -1;
  QString path_;
  QString failure_;
};

// Seconds on the monotonic clock, as the capture file holds them.
double CaptureSeconds(TLinkTime t);

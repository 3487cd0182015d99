#include "capture_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QFile>

namespace {

const char *EventName(TPortEvent event) {
  switch (event) {
    case TPortEvent::Opened:
      return "open";
    case TPortEvent::Closed:
      return "close";
    case TPortEvent::Lost:
      return "lost";
    case TPortEvent::Reopened:
      return "reopen";
  }
  return "";
}

}  // namespace

double CaptureSeconds(TLinkTime t) {
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

TCaptureWriter::~TCaptureWriter() {
  Close();
}

bool TCaptureWriter::Open(const QString &path, const QString &port) {
  Close();
  path_ = path;
  failure_.clear();
  fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    Fail(QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  const TLinkTime now = TLinkClock::now();
  TCaptureRecord header;
  header.kind = TCaptureRecord::TKind::Header;
  header.t = CaptureSeconds(now);
  Write(header);
  if (!port.isEmpty()) {
    PortChanged(now, TPortEvent::Opened, port);
  }
  return IsOpen();
}

void TCaptureWriter::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void TCaptureWriter::ChunkReceived(TLinkTime t, const QByteArray &chunk) {
  if (fd_ < 0) {
    return;
  }
  TCaptureRecord record;
  record.kind = TCaptureRecord::TKind::Rx;
  record.t = CaptureSeconds(t);
  record.bytes = chunk;
  Write(record);
}

void TCaptureWriter::AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) {
  if (fd_ < 0) {
    return;
  }
  TCaptureRecord record;
  record.kind = TCaptureRecord::TKind::Tx;
  record.t = CaptureSeconds(t);
  record.bytes = QByteArray(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(length));
  record.failed = !written;
  Write(record);
}

void TCaptureWriter::PortChanged(TLinkTime t, TPortEvent event, const QString &portName) {
  if (fd_ < 0) {
    return;
  }
  TCaptureRecord record;
  record.kind = TCaptureRecord::TKind::Event;
  record.t = CaptureSeconds(t);
  record.event = QString::fromLatin1(EventName(event));
  record.port = portName;
  Write(record);
}

void TCaptureWriter::Write(const TCaptureRecord &record) {
  const QByteArray line = FormatCaptureRecord(record);
  const char *data = line.constData();
  size_t left = static_cast<size_t>(line.size());
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      Fail(QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC)));
      return;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
}

void TCaptureWriter::Fail(const QString &reason) {
  Close();
  failure_ = reason;
  if (OnFailure) {
    OnFailure(reason);
  }
}

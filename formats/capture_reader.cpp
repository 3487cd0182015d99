#include "capture_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// Bytes asked of the file per read.
constexpr qsizetype kReadBlock = 64 * 1024;

QString Seconds(double seconds) {
  return QString::number(seconds, 'g', 12);
}

}  // namespace

TCaptureReader::TCaptureReader(TCaptureLimits limits, TCaptureReadStop stop)
    : limits_(limits), stop_(std::move(stop)) {}

TCaptureReader::~TCaptureReader() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

bool TCaptureReader::Open(const QString &path, QString &error) {
  if (fd_ >= 0) {
    error = QStringLiteral("already open");
    return false;
  }
  // Non-blocking, so a pipe opens before its writer comes and the wait for
  // the writer is a poll() that a stop request ends.
  fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  return true;
}

TCaptureReader::TStep TCaptureReader::Next(TCaptureRecord &record, QString &error) {
  for (;;) {
    const qsizetype newline = buffer_.indexOf('\n', lineStart_);
    const qsizetype pending = (newline < 0 ? buffer_.size() : newline) - lineStart_;
    if (pending > limits_.lineBytes) {
      error = AtLine(
          lineNumber_ + 1,
          QStringLiteral("longer than %1 bytes, the most a line may hold").arg(limits_.lineBytes));
      return TStep::Failed;
    }
    if (newline < 0 && pastFileLimit_) {
      error = AtLine(lineNumber_ + 1,
                     QStringLiteral("the file goes on past %1 bytes, the most a capture may hold")
                         .arg(limits_.fileBytes));
      return TStep::Failed;
    }
    if (newline < 0 && !atEnd_) {
      buffer_.remove(0, lineStart_);
      lineStart_ = 0;
      const TStep filled = Fill(error);
      if (filled != TStep::Record) {
        return filled;
      }
      continue;
    }
    if (newline < 0 && pending == 0) {
      return TStep::End;
    }
    // A line without its '\n' can only be the last one.
    const bool unterminated = newline < 0;
    const QByteArrayView line = QByteArrayView(buffer_.constData() + lineStart_, pending).trimmed();
    lineStart_ += pending + 1;
    ++lineNumber_;
    if (line.isEmpty()) {
      continue;
    }
    QString reason;
    if (!ParseCaptureRecord(line, record, reason)) {
      if (unterminated) {
        return TStep::End;  // cut short by a crash while it was written
      }
      error = AtLine(lineNumber_, reason);
      return TStep::Failed;
    }
    if (haveTime_ && std::abs(record.t - lastTime_) > kCaptureMaxTimeStep) {
      error = AtLine(lineNumber_,
                     QStringLiteral("time \"t\" jumps by %1 seconds from the line "
                                    "before, more than %2")
                         .arg(Seconds(record.t - lastTime_), Seconds(kCaptureMaxTimeStep)));
      return TStep::Failed;
    }
    haveTime_ = true;
    lastTime_ = record.t;
    return TStep::Record;
  }
}

TCaptureReader::TStep TCaptureReader::Fill(QString &error) {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {stop_.wakeFd, POLLIN, 0}};
  for (;;) {
    if (stop_.requested && stop_.requested()) {
      return TStep::Stopped;
    }
    // Waits for a pipe's writer; a file is always ready.
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      error = QString::fromLocal8Bit(std::strerror(errno));
      return TStep::Failed;
    }
    if (fds[1].revents != 0 && stop_.drainWakeFd) {
      stop_.drainWakeFd();
    }
    if (fds[0].revents == 0) {
      continue;
    }
    const qsizetype kept = buffer_.size();
    buffer_.resize(kept + kReadBlock);
    const ssize_t got = ::read(fd_, buffer_.data() + kept, kReadBlock);
    const int readError = errno;
    buffer_.resize(kept + std::max<qsizetype>(got, 0));
    if (got == 0) {
      atEnd_ = true;
      return TStep::Record;
    }
    if (got > 0) {
      if (got > limits_.fileBytes - bytesRead_) {
        buffer_.resize(kept + (limits_.fileBytes - bytesRead_));
        pastFileLimit_ = true;
      }
      bytesRead_ += got;
      return TStep::Record;
    }
    if (readError != EINTR && readError != EAGAIN) {
      error = QString::fromLocal8Bit(std::strerror(readError));
      return TStep::Failed;
    }
  }
}

QString TCaptureReader::AtLine(qint64 line, const QString &reason) {
  return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

bool ReadCaptureFile(const QString &path, std::vector<TCaptureRecord> &records, QString &error,
                     TCaptureLimits limits) {
  TCaptureReader reader(limits);
  if (!reader.Open(path, error)) {
    return false;
  }
  records.clear();
  TCaptureRecord record;
  TCaptureReader::TStep step;
  while ((step = reader.Next(record, error)) == TCaptureReader::TStep::Record) {
    records.push_back(record);
  }
  return step == TCaptureReader::TStep::End;
}

#include "memory_file_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <optional>

#include "memory_file.h"

namespace {

// The first 'limit' bytes of the open file 'fd'; nothing, with errno, when a
// read fails.
std::optional<QByteArray> ReadStart(int fd, qsizetype limit) {
  QByteArray bytes(limit, Qt::Uninitialized);
  qsizetype filled = 0;
  while (filled < limit) {
    const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<size_t>(limit - filled));
    if (got == 0) {
      break;
    }
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    filled += got;
  }
  bytes.truncate(filled);
  return bytes;
}

TMemoryFileImage Failed(TMemoryFileImageOutcome outcome, int error) {
  TMemoryFileImage image;
  image.outcome = outcome;
  image.error = error;
  return image;
}

}  // namespace

TMemoryFileImage ReadMemoryFileImage(const QString &path) {
  return ReadMemoryFileImageAt(QFile::encodeName(path));
}

TMemoryFileImage ReadMemoryFileImageAt(const QByteArray &nativePath) {
  // Only a regular file is opened: opening a device can act on it, and the
  // open of a FIFO would wait for a writer.
  struct stat info = {};
  if (::stat(nativePath.constData(), &info) != 0) {
    const int error = errno;
    return Failed(
        error == ENOENT ? TMemoryFileImageOutcome::Missing : TMemoryFileImageOutcome::Unreadable,
        error);
  }
  if (!S_ISREG(info.st_mode)) {
    return Failed(TMemoryFileImageOutcome::NotRegularFile, 0);
  }
  const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    return Failed(TMemoryFileImageOutcome::Unreadable, errno);
  }
  // Replaced by something else since the look.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return Failed(TMemoryFileImageOutcome::NotRegularFile, 0);
  }
  const std::optional<QByteArray> bytes = ReadStart(fd, kMemoryFileSize);
  const int readError = errno;
  ::close(fd);
  if (!bytes) {
    return Failed(TMemoryFileImageOutcome::Unreadable, readError);
  }

  TMemoryFileImage image;
  switch (ReadMemoryFile(*bytes, image.memory).outcome) {
    case TMemoryFileRead::CorruptHeader:
      image.outcome = TMemoryFileImageOutcome::NotMemoryFile;
      return image;
    case TMemoryFileRead::Truncated:
      image.outcome = TMemoryFileImageOutcome::Short;
      break;
    case TMemoryFileRead::Complete:
      image.outcome = TMemoryFileImageOutcome::Complete;
      break;
  }
  const qsizetype dataStart = 1 + kMemoryFileHeaderLength;
  image.dataBytes = static_cast<uint32_t>(
      std::clamp<qsizetype>(bytes->size() - dataStart, 0, TTerminalMemory::kSize));
  return image;
}

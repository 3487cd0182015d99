#include "memory_file_image.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "memory_file.h"

TMemoryFileImage ReadMemoryFileImage(const QString &path) {
  TMemoryFileImage image;
  const QFileInfo info(path);
  if (!info.exists()) {
    image.outcome = TMemoryFileImageOutcome::Missing;
    return image;
  }
  if (!info.isFile()) {
    image.outcome = TMemoryFileImageOutcome::NotRegularFile;
    return image;
  }
  const std::optional<QByteArray> bytes = ReadMemoryFileStart(path);
  if (!bytes) {
    image.outcome = TMemoryFileImageOutcome::Unreadable;
    return image;
  }
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

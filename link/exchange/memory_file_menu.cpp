#include "memory_file_menu.h"

#include <QFileInfo>
#include <optional>
#include <utility>

#include "atomic_file.h"
#include "memory_file.h"

TMemoryFile::TMemoryFile(TTerminalMemory &memory, TLinkHost &host, QString defaultFilePath)
    : memory_(memory), host_(host), defaultFilePath_(std::move(defaultFilePath)) {}

void TMemoryFile::LoadMemoryFile(const QString &fileName) {
  const bool showErrors = !fileName.isEmpty();
  const QString path = showErrors ? fileName : defaultFilePath_;
  if (!showErrors) {
    defaultFileUnread_ = false;
    RemoveLeftoverTemporaryFiles(path);
  }
  const std::optional<QByteArray> fileBytes = ReadMemoryFileStart(path);
  if (!fileBytes) {
    return;
  }
  const TMemoryFileReadResult result = ReadMemoryFile(*fileBytes, memory_);
  // A damaged default file is ignored silently, but kept for the user.
  defaultFileUnread_ =
      !showErrors && result.outcome == TMemoryFileRead::CorruptHeader && !fileBytes->isEmpty();
  if (result.outcome != TMemoryFileRead::CorruptHeader) {
    host_.SetMemorySaveEnabled(result.nonzeroByteStored);
  }
  if (result.outcome != TMemoryFileRead::Complete && showErrors) {
    host_.ShowMemoryFileError(TMemoryFileError::Corrupt, path);
  }
}

bool TMemoryFile::SaveMemoryFile(const QString &fileName) {
  const QString path = fileName.isEmpty() ? defaultFilePath_ : fileName;
  if (path == defaultFilePath_ && defaultFileUnread_ && QFileInfo::exists(path)) {
    // Whatever it is, it is not ours to destroy.
    if (!KeepMemoryFileAside(path)) {
      host_.ShowMemoryFileError(TMemoryFileError::NotWritable, path);
      return false;
    }
  }
  defaultFileUnread_ = false;
  if (!WriteMemoryFile(path, memory_)) {
    host_.ShowMemoryFileError(TMemoryFileError::NotWritable, path);
    return false;
  }
  return true;
}

void TMemoryFile::Menu_MemoryClearClick() {
  host_.SetMemorySaveEnabled(false);
  memory_.Clear();
}

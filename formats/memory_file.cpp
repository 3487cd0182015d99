#include "memory_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "atomic_file.h"

namespace {

uint8_t RotateRight(uint8_t c) {
  return static_cast<uint8_t>((c >> 1) | (c << 7));
}
uint8_t RotateLeft(uint8_t c) {
  return static_cast<uint8_t>((c << 1) | (c >> 7));
}

uint8_t ScrambleHeaderCharacter(uint8_t c, int position) {
  return static_cast<uint8_t>((RotateRight(c) + position) ^ kMemoryFileHeaderKey);
}

uint8_t UnscrambleHeaderCharacter(uint8_t stored, int position) {
  return RotateLeft(static_cast<uint8_t>((stored ^ kMemoryFileHeaderKey) - position));
}

bool HasValidHeader(const QByteArray &fileBytes) {
  if (fileBytes.isEmpty() || static_cast<uint8_t>(fileBytes[0]) != kMemoryFileHeaderLength ||
      fileBytes.size() < 1 + kMemoryFileHeaderLength) {
    return false;
  }
  for (int position = 1; position <= kMemoryFileHeaderLength; ++position) {
    const uint8_t c =
        UnscrambleHeaderCharacter(static_cast<uint8_t>(fileBytes[position]), position);
    if (c != static_cast<uint8_t>(kMemoryFileHeader[position - 1])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<QByteArray> ReadMemoryFileStart(const QString &path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) {
    return std::nullopt;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return std::nullopt;
  }
  // A read error part way counts as the end of the file.
  QByteArray bytes = file.read(kMemoryFileSize);
  return bytes;
}

QString DefaultMemoryFilePath(const QString &programFolder) {
  return QDir(programFolder).filePath(QString::fromLatin1(kDefaultMemoryFileName));
}

QByteArray BuildMemoryFile(const TTerminalMemory &memory) {
  QByteArray bytes;
  bytes.reserve(kMemoryFileSize);
  bytes.append(static_cast<char>(kMemoryFileHeaderLength));
  for (int position = 1; position <= kMemoryFileHeaderLength; ++position) {
    bytes.append(static_cast<char>(
        ScrambleHeaderCharacter(static_cast<uint8_t>(kMemoryFileHeader[position - 1]), position)));
  }
  bytes.append(reinterpret_cast<const char *>(memory.Bytes()), TTerminalMemory::kSize);
  return bytes;
}

TMemoryFileReadResult ReadMemoryFile(const QByteArray &fileBytes, TTerminalMemory &memory) {
  TMemoryFileReadResult result;
  if (!HasValidHeader(fileBytes)) {
    return result;
  }
  const qsizetype dataStart = 1 + kMemoryFileHeaderLength;
  const qsizetype available =
      std::min<qsizetype>(fileBytes.size() - dataStart, TTerminalMemory::kSize);
  for (qsizetype address = 0; address < available; ++address) {
    const uint8_t value = static_cast<uint8_t>(fileBytes[dataStart + address]);
    memory.Write(static_cast<uint32_t>(address), value);
    result.nonzeroByteStored = result.nonzeroByteStored || value != 0;
  }
  result.outcome = available < static_cast<qsizetype>(TTerminalMemory::kSize)
                       ? TMemoryFileRead::Truncated
                       : TMemoryFileRead::Complete;
  return result;
}

bool WriteMemoryFile(const QString &path, const TTerminalMemory &memory) {
  return WriteFileAtomically(path, BuildMemoryFile(memory));
}

bool KeepMemoryFileAside(const QString &path) {
  return !MoveAside(path, QString::fromLatin1(kKeptAsideSuffix)).isEmpty();
}

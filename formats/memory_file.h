// The memory file: the terminal memory image kept on disk. What the user is
// told about it, and the memory menu, are memory_file_menu.h's.
//
// File layout (raw bytes, 8227 bytes when written by the program):
//   offset 0     header length H = 34
//   offset 1     the header text "{VELTAR Terminal Full Memory File}", each
//                character c at position i (1..34) stored as
//                ((c rotated right by one bit) + i) XOR 0x6B
//   offset 35    the 8192 memory bytes in address order, unchanged
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "terminal_memory.h"

inline constexpr char kMemoryFileHeader[] = "{VELTAR Terminal Full Memory File}";
inline constexpr int kMemoryFileHeaderLength = 34;
inline constexpr uint8_t kMemoryFileHeaderKey = 0x6B;
inline constexpr qsizetype kMemoryFileSize = 1 + kMemoryFileHeaderLength + TTerminalMemory::kSize;
inline constexpr char kDefaultMemoryFileName[] = "Sorvanel.mem";
// A file kept aside (KeepMemoryFileAside) takes its name with this suffix.
inline constexpr char kKeptAsideSuffix[] = ".bad";

// "Sorvanel.mem" in the given folder (the program's folder).
QString DefaultMemoryFilePath(const QString &programFolder);

// The file's bytes for 'memory': length byte, scrambled header, image.
QByteArray BuildMemoryFile(const TTerminalMemory &memory);

enum class TMemoryFileRead {
  CorruptHeader,  // missing or wrong header: the image was not touched
  Truncated,      // fewer than 8192 data bytes: those present were stored
  Complete,       // all 8192 bytes stored (anything after them is ignored)
};

struct TMemoryFileReadResult {
  TMemoryFileRead outcome = TMemoryFileRead::CorruptHeader;
  bool nonzeroByteStored = false;
};

// The first kMemoryFileSize bytes of a regular file; nothing when the file
// is missing, not a regular file or cannot be read. Special files (a FIFO
// would block the open) count as unreadable.
std::optional<QByteArray> ReadMemoryFileStart(const QString &path);

// Reads the contents of a memory file into 'memory'. Accepts any bytes.
TMemoryFileReadResult ReadMemoryFile(const QByteArray &fileBytes, TTerminalMemory &memory);

// Writes the memory file of 'memory' to 'path'. The old file is replaced only
// once the new one is completely on disk (in a folder that cannot be written
// it is written in place); a read-only file is refused and left untouched
// (see WriteFileAtomically). False when the new content is not on disk.
bool WriteMemoryFile(const QString &path, const TTerminalMemory &memory);

// Keeps the file at 'path' for the user before it is replaced: renames it
// (the link itself when it is one) to 'path' + kKeptAsideSuffix, or with ".1",
// ".2", ... after it, never overwriting a file kept earlier. False when it
// could not be renamed.
bool KeepMemoryFileAside(const QString &path);

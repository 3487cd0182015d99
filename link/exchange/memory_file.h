// The memory file: the terminal memory image kept on disk, and the three
// operations of the memory menu (load, save, clear).
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

#include "link_host.h"
#include "terminal_memory.h"

inline constexpr char kMemoryFileHeader[] = "{VELTAR Terminal Full Memory File}";
inline constexpr int kMemoryFileHeaderLength = 34;
inline constexpr uint8_t kMemoryFileHeaderKey = 0x6B;
inline constexpr qsizetype kMemoryFileSize = 1 + kMemoryFileHeaderLength + TTerminalMemory::kSize;
inline constexpr char kDefaultMemoryFileName[] = "Sorvanel.mem";
// A default memory file that could not be read is kept under its name with
// this suffix (then ".1", ".2", ...) before the first save replaces it.
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

class TMemoryFile {
 public:
  // 'defaultFilePath' is the file used for an empty file name, normally
  // DefaultMemoryFilePath(QCoreApplication::applicationDirPath()).
  TMemoryFile(TTerminalMemory &memory, TLinkHost &host, QString defaultFilePath);

  // Loads the image from 'fileName', or silently from the default file when
  // the name is empty. A missing or unreadable file (or one that is not a
  // regular file) is ignored without a message. A corrupt header leaves the
  // image unchanged; too few data bytes keep what was read. Both show
  // "Hibás memória fájl!" for a file the user named. The save menu item is
  // enabled when at least one nonzero byte came in. Loading the default file
  // first removes the temporary files a killed save left beside it.
  void LoadMemoryFile(const QString &fileName);

  // Saves the image to 'fileName' or to the default file. The old file is
  // replaced only once the new one is completely on disk; a read-only file is
  // left untouched. A default file that the start could not read (a damaged
  // or foreign file, or a link to one) is first kept aside as
  // "Sorvanel.mem.bad" (never overwriting an earlier one): the link itself is
  // moved, its target is never written. Any failure shows "A fájl nem írható!
  // (Lehet, hogy írásvédett)" and returns false.
  bool SaveMemoryFile(const QString &fileName);

  // Disables the save menu item and zeroes the whole image.
  void Menu_MemoryClearClick();

  const QString &DefaultFilePath() const { return defaultFilePath_; }

 private:
  TTerminalMemory &memory_;
  TLinkHost &host_;
  QString defaultFilePath_;
  // The default file held bytes that were not a memory file when loaded.
  bool defaultFileUnread_ = false;
};

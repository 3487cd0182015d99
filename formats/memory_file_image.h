// A memory file read into an image of its own, for looking at it rather than
// loading it: the tool sorvanel-mem and the memory view's comparison. The
// bytes are read exactly as a load reads them; only the outcome is told in
// more detail, so a caller can say why a file was not taken.
#pragma once

#include <QString>
#include <cstdint>

#include "terminal_memory.h"

enum class TMemoryFileImageOutcome {
  Missing,         // no such file
  NotRegularFile,  // a folder, a device, a FIFO
  Unreadable,      // could not be opened or read
  NotMemoryFile,   // missing or wrong header: nothing was taken
  Short,           // fewer than 8192 data bytes: the rest of the image stays 0
  Complete,        // all 8192 bytes (anything after them is ignored)
};

struct TMemoryFileImage {
  TMemoryFileImageOutcome outcome = TMemoryFileImageOutcome::Missing;
  // Data bytes taken from the file (0 to 8192).
  uint32_t dataBytes = 0;
  // All zero, then overwritten by the data bytes the file holds.
  TTerminalMemory memory;

  // Short and complete files give an image; the others do not.
  bool HasImage() const {
    return outcome == TMemoryFileImageOutcome::Short ||
           outcome == TMemoryFileImageOutcome::Complete;
  }
};

TMemoryFileImage ReadMemoryFileImage(const QString &path);

// What the memory menu does with the memory file, for the main window: load,
// save and clear the terminal memory image; the window also loads the
// default file at start and saves it at close through these. The file itself
// (its bytes, reading, the atomic save, keeping a file aside) is
// memory_file.h's; here is what the user is told and the "save memory to
// file" menu item.
#pragma once

#include <QString>

#include "link_host.h"
#include "terminal_memory.h"

class TMemoryFile {
 public:
  // 'defaultFilePath' is the file used for an empty file name, normally
  // DefaultMemoryFilePath(QCoreApplication::applicationDirPath()).
  TMemoryFile(TTerminalMemory &memory, TLinkHost &host, QString defaultFilePath);

  // Loads the image from 'fileName', or silently from the default file when
  // the name is empty. A missing or unreadable file (or one that is not a
  // regular file) is ignored without a message. A corrupt header leaves the
  // image unchanged; too few data bytes keep what was read. Both report
  // TMemoryFileError::Corrupt for a file the user named. The save menu item
  // is enabled when at least one nonzero byte came in. Loading the default
  // file first removes the temporary files a killed save left beside it.
  void LoadMemoryFile(const QString &fileName);

  // Saves the image to 'fileName' or to the default file. The old file is
  // replaced only once the new one is completely on disk; a read-only file is
  // left untouched. A default file that the start could not read (a damaged
  // or foreign file, or a link to one) is first kept aside as
  // "Sorvanel.mem.bad" (never overwriting an earlier one): the link itself is
  // moved, its target is never written. Any failure reports
  // TMemoryFileError::NotWritable and returns false.
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

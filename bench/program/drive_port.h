// A pseudo-terminal in raw mode whose slave is entered in a port map folder
// under a port name (a symbolic link NAME -> /dev/pts/N), so the program can
// open it by name. The entry is removed and both ends closed on destruction.
#pragma once

#include <string>

class TDrivePort {
 public:
  TDrivePort() = default;
  ~TDrivePort();
  TDrivePort(const TDrivePort &) = delete;
  TDrivePort &operator=(const TDrivePort &) = delete;

  // false with a message in 'error'. An entry of that name that is a
  // symbolic link is replaced; anything else there is refused.
  bool Open(const std::string &portMapFolder, const std::string &name, std::string &error);

  // The drive's end (non-blocking).
  int Master() const { return master_; }
  const std::string &SlavePath() const { return slavePath_; }
  const std::string &EntryPath() const { return entryPath_; }
  // Drops what the program has not read (a line loses unread bytes).
  void DiscardUnread() const;

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up
  std::string slavePath_;
  std::string entryPath_;
};

// $XDG_RUNTIME_DIR/sorvanel/ports, or empty without XDG_RUNTIME_DIR.
std::string DefaultPortMapFolder();

// The drive's entry in the port map folder: a symbolic link named after the
// port whose target is the pseudo-terminal's slave.
//
// A lock file per name in a folder beside the port map ("vdrive/NAME.lock",
// holding the pid and the slave path) is locked with flock for as long as
// the drive runs, and the kernel lets go of it when the process dies. So:
//  - lock held by another process: a live drive owns the name; refuse.
//  - lock free and the entry is a link to the slave path the lock file
//    recorded, or a link whose target is gone: left by a drive that died;
//    replace it.
//  - anything else under that name (a link to an existing device the lock
//    file does not name, a plain file): not ours; refuse, never delete.
#pragma once

#include <string>

#include "unique_fd.h"

namespace vdrive {

struct PortMapFolders {
  std::string ports;  // $runtime/sorvanel/ports
  std::string locks;  // $runtime/sorvanel/vdrive
};

// The folders under the user's runtime folder, as the program finds them
// ($XDG_RUNTIME_DIR, or Qt's fallback when it is not set). Creates missing
// folders with mode 0700. Returns false with a reason in error.
bool PreparePortMapFolders(PortMapFolders &folders, std::string &error);

// A port name may not be a path or a hidden file.
bool IsValidPortName(const std::string &name);

class PortMapEntry {
 public:
  PortMapEntry() = default;
  PortMapEntry(const PortMapEntry &) = delete;
  PortMapEntry &operator=(const PortMapEntry &) = delete;
  ~PortMapEntry() { Remove(); }

  bool Register(const PortMapFolders &folders, const std::string &name,
                const std::string &slavePath, std::string &error);
  // Takes the link away while keeping the name (a drive unplugged).
  void Withdraw();
  // Points the entry at another slave (the drive plugged back on a new tty).
  bool Move(const PortMapFolders &folders, const std::string &name, const std::string &slavePath,
            std::string &error);
  // Removes the entry if it still points at this drive's slave; idempotent.
  void Remove();
  const std::string &EntryPath() const { return entryPath_; }

 private:
  bool TakeLock(const std::string &lockPath, std::string &recordedSlave, std::string &error);
  bool EntryMayBeReplaced(const std::string &recordedSlave, std::string &error) const;
  bool WriteLink(const PortMapFolders &folders, const std::string &name, std::string &error);

  UniqueFd lock_;
  std::string entryPath_;
  std::string slavePath_;
  bool registered_ = false;
};

}  // namespace vdrive

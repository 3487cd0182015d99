// The pseudo-terminal that stands in for the drive's serial line. The drive
// works the master side; the program opens the slave like any serial port.
#pragma once

#include <string>

#include "unique_fd.h"

namespace vdrive {

class PseudoTerminal {
 public:
  // Opens a master and its slave, both raw, 8N1 at 19200 baud. The slave is
  // held open too: its raw settings then last while the program closes and
  // reopens it, and unread input can be discarded when nobody reads it.
  // Returns false with a reason in error.
  bool Open(std::string &error);

  int Master() const { return master_.Get(); }
  const std::string &SlavePath() const { return slavePath_; }
  // Bytes written by the drive that nobody has read from the slave yet.
  int UnreadBySlave() const;
  // Throws away what nobody read: on a real line those bytes would be gone.
  void DiscardUnread() const;

 private:
  UniqueFd master_;
  UniqueFd slave_;
  std::string slavePath_;
};

}  // namespace vdrive

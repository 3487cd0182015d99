// Faults and actions put on the running line when SIGUSR2 arrives, for soak
// runs (--inject): each signal does the next entry of the list, in turn.
//   stray   a few bytes ending in ETX between two messages
//   junk    a second of line noise without ETX (1920 bytes at line pace)
//   hangup  the pseudo-terminal is closed under the program (a hang-up), the
//           port entry vanishes for a second and comes back on a new one
//   gap     three seconds of silence
//   mark    nothing on the line: a fault made outside the drive (a network
//           server restarted) starts now and lasts until the next "end"
//   end     the outside fault is over; its time to the next answer starts
//   save    the parameter set is saved to the terminal's memory (menu 13)
// Every fault is timed until the program answers again, and every memory
// write the program answered is printed, so a soak can check both.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "frame_receiver.h"

namespace vdrive {

class LineLink;
class PseudoTerminal;
class PortMapEntry;
struct PortMapFolders;
class VirtualDrive;

enum class Injection : uint8_t { Stray, Junk, HangUp, Gap, Mark, End, Save };

// "stray,junk,hangup,gap,mark,end,save" in any order and number; false with a
// message in error for an unknown or empty entry.
bool ParseInjections(std::string_view list, std::vector<Injection> &injections, std::string &error);
const char *InjectionName(Injection injection);

// What an injection works on.
struct InjectionTargets {
  LineLink &link;
  PseudoTerminal &pty;
  PortMapEntry &entry;
  const PortMapFolders &folders;
  const std::string &portName;
  VirtualDrive &drive;
};

struct FaultCounts {
  uint64_t faults = 0;
  uint64_t answeredAgain = 0;
  uint64_t messagesOutside = 0;  // sent while no fault waited for its first answer
  uint64_t answersOutside = 0;
};

class FaultInjector {
 public:
  // Messages before the program's first answer count as inside a fault.
  FaultInjector(std::vector<Injection> injections, Clock::time_point start);

  // Does the next entry of the list; false when a stop was requested meanwhile.
  bool InjectNext(const InjectionTargets &targets);
  // After every exchange: the message's payload and whether it was answered.
  void OnExchange(const std::vector<uint8_t> &payload, bool answered, Clock::time_point now);
  // Reports a fault still waiting for an answer, then the counts.
  void PrintSummary(std::FILE *out);

 private:
  bool Inject(Injection what, const InjectionTargets &targets);
  bool HangUp(const InjectionTargets &targets);
  void Begin(Injection what);
  void CloseOpenFault(const char *why);
  double SecondsSinceStart(Clock::time_point when) const;

  std::vector<Injection> injections_;
  size_t next_ = 0;
  Clock::time_point start_;
  std::mt19937 random_{20261208};
  FaultCounts counts_;
  // The fault that waits for the program's first answer after its end;
  // number 0 is the start, before the program's first answer.
  struct OpenFault {
    uint64_t number;
    Injection what;
    Clock::time_point end;
    bool held = false;  // a mark before its end: answers do not close it
  };
  std::optional<OpenFault> open_;
};

}  // namespace vdrive

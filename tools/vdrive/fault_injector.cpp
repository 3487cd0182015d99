#include "fault_injector.h"

#include <cinttypes>

#include "drive_frame.h"
#include "frame_bytes.h"
#include "line_link.h"
#include "port_map.h"
#include "pseudo_terminal.h"
#include "signals.h"
#include "virtual_drive.h"

namespace vdrive {
namespace {

using kelvo::kEtx;

constexpr size_t kJunkBytes = 1920;  // a second of the line at 19200 baud
constexpr size_t kMostStrayBytes = 16;
constexpr auto kGap = std::chrono::seconds(3);
constexpr auto kUnplugged = std::chrono::seconds(1);

struct NamedInjection {
  std::string_view name;
  Injection injection;
};
constexpr NamedInjection kNames[] = {{"stray", Injection::Stray},   {"junk", Injection::Junk},
                                     {"hangup", Injection::HangUp}, {"gap", Injection::Gap},
                                     {"mark", Injection::Mark},     {"end", Injection::End},
                                     {"save", Injection::Save}};

}  // namespace

bool ParseInjections(std::string_view list, std::vector<Injection> &injections,
                     std::string &error) {
  injections.clear();
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view name = list.substr(0, comma);
    bool known = false;
    for (const NamedInjection &entry : kNames) {
      if (entry.name == name) {
        injections.push_back(entry.injection);
        known = true;
      }
    }
    if (!known) {
      error = "--inject takes a list of stray, junk, hangup, gap, mark, end and save; not '" +
              std::string(name) + "'";
      return false;
    }
    if (comma == std::string_view::npos) {
      return true;
    }
    list.remove_prefix(comma + 1);
  }
}

const char *InjectionName(Injection injection) {
  for (const NamedInjection &entry : kNames) {
    if (entry.injection == injection) {
      return entry.name.data();
    }
  }
  return "?";
}

FaultInjector::FaultInjector(std::vector<Injection> injections, Clock::time_point start)
    : injections_(std::move(injections)),
      start_(start),
      open_(OpenFault{0, Injection::Mark, start}) {}

bool FaultInjector::InjectNext(const InjectionTargets &targets) {
  if (injections_.empty()) {
    return true;
  }
  const Injection what = injections_[next_];
  next_ = (next_ + 1) % injections_.size();
  return Inject(what, targets);
}

bool FaultInjector::Inject(Injection what, const InjectionTargets &targets) {
  if (what == Injection::Save) {
    if (targets.drive.TransferBusy()) {
      std::printf("vdrive: save skipped at %.3f s: a transfer is running\n",
                  SecondsSinceStart(Clock::now()));
    } else {
      targets.drive.StartSave();
      std::printf("vdrive: save started at %.3f s\n", SecondsSinceStart(Clock::now()));
    }
    std::fflush(stdout);
    return true;
  }
  if (what == Injection::End) {
    if (open_ && open_->held) {
      open_->held = false;
      open_->end = Clock::now();
      std::printf("vdrive: fault %" PRIu64 " mark ended at %.3f s\n", open_->number,
                  SecondsSinceStart(open_->end));
    } else {
      std::printf("vdrive: end without a mark at %.3f s\n", SecondsSinceStart(Clock::now()));
    }
    std::fflush(stdout);
    return true;
  }
  Begin(what);
  bool going = true;
  switch (what) {
    case Injection::Stray: {
      // ETX often inside and always last: each one ends a frame the program must drop.
      Frame bytes(std::uniform_int_distribution<size_t>(1, kMostStrayBytes)(random_));
      for (uint8_t &byte : bytes) {
        byte = random_() % 4 == 0 ? kEtx : static_cast<uint8_t>(random_());
      }
      bytes.back() = kEtx;
      targets.link.SendUnanswered(bytes);
      break;
    }
    case Injection::Junk: {
      Frame bytes(kJunkBytes);
      for (uint8_t &byte : bytes) {
        do {
          byte = static_cast<uint8_t>(random_());
        } while (byte == kEtx);
      }
      targets.link.SendUnanswered(bytes);
      break;
    }
    case Injection::HangUp:
      going = HangUp(targets);
      break;
    case Injection::Gap:
      going = SleepUnlessStopped(kGap);
      break;
    case Injection::Mark:
    case Injection::End:
    case Injection::Save:
      break;
  }
  open_ = OpenFault{counts_.faults, what, Clock::now(), what == Injection::Mark};
  return going && !StopRequested();
}

// A new pseudo-terminal is opened before the old one is closed, so it gets
// another number, as an adapter plugged back often does.
bool FaultInjector::HangUp(const InjectionTargets &targets) {
  PseudoTerminal fresh;
  std::string error;
  if (!fresh.Open(error)) {
    std::printf("vdrive: no new pseudo-terminal for the hang-up: %s\n", error.c_str());
    return true;
  }
  targets.entry.Withdraw();
  targets.pty = std::move(fresh);
  if (!SleepUnlessStopped(kUnplugged)) {
    return false;
  }
  if (!targets.entry.Move(targets.folders, targets.portName, targets.pty.SlavePath(), error)) {
    std::printf("vdrive: the port entry could not be moved: %s\n", error.c_str());
  } else {
    std::printf("vdrive: port %s on %s (%s)\n", targets.portName.c_str(),
                targets.pty.SlavePath().c_str(), targets.entry.EntryPath().c_str());
  }
  std::fflush(stdout);
  return true;
}

void FaultInjector::Begin(Injection what) {
  CloseOpenFault("before the next fault");
  ++counts_.faults;
  std::printf("vdrive: fault %" PRIu64 " %s at %.3f s\n", counts_.faults, InjectionName(what),
              SecondsSinceStart(Clock::now()));
  std::fflush(stdout);
}

void FaultInjector::CloseOpenFault(const char *why) {
  if (open_ && open_->number == 0) {
    std::printf("vdrive: no answer %s\n", why);
    std::fflush(stdout);
    open_.reset();
  } else if (open_) {
    std::printf("vdrive: fault %" PRIu64 " %s not answered again %s\n", open_->number,
                InjectionName(open_->what), why);
    std::fflush(stdout);
    open_.reset();
  }
}

void FaultInjector::OnExchange(const std::vector<uint8_t> &payload, bool answered,
                               Clock::time_point now) {
  if (open_) {
    if (answered && !open_->held) {
      const std::chrono::duration<double, std::milli> after = now - open_->end;
      if (open_->number == 0) {
        std::printf("vdrive: first answer after %.1f ms\n", after.count());
      } else {
        ++counts_.answeredAgain;
        std::printf("vdrive: fault %" PRIu64 " %s answered again after %.1f ms\n", open_->number,
                    InjectionName(open_->what), after.count());
      }
      std::fflush(stdout);
      open_.reset();
    }
  } else {
    ++counts_.messagesOutside;
    counts_.answersOutside += answered ? 1 : 0;
  }
  if (const auto write = MemoryWriteOf(payload); write && answered) {
    std::printf("vdrive: memory write 0x%04X answered:", write->address);
    for (const uint8_t byte : write->data) {
      std::printf(" %02X", byte);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
}

void FaultInjector::PrintSummary(std::FILE *out) {
  CloseOpenFault("before the end");
  std::fprintf(out, "faults: %" PRIu64 "\n", counts_.faults);
  std::fprintf(out, "faults answered again: %" PRIu64 "\n", counts_.answeredAgain);
  std::fprintf(out, "messages outside faults: %" PRIu64 "\n", counts_.messagesOutside);
  std::fprintf(out, "answers outside faults: %" PRIu64 "\n", counts_.answersOutside);
}

double FaultInjector::SecondsSinceStart(Clock::time_point when) const {
  return std::chrono::duration<double>(when - start_).count();
}

}  // namespace vdrive

// vdrive: a virtual frequency converter on a pseudo-terminal.
#include <cstdio>
#include <string>

#include "drive_frame.h"
#include "hand_held_terminal.h"
#include "line_link.h"
#include "options.h"
#include "port_map.h"
#include "pseudo_terminal.h"
#include "replay.h"
#include "signals.h"
#include "stats.h"
#include "virtual_drive.h"

namespace {

using vdrive::Clock;

int Fail(const std::string &message) {
  std::fprintf(stderr, "vdrive: %s\n", message.c_str());
  return 1;
}

void RunLine(const vdrive::Options &options, vdrive::LineLink &link, vdrive::DriveStats &stats) {
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(options.durationSeconds));
  vdrive::VirtualDrive drive(start);
  vdrive::HandHeldTerminal handHeld(options.handHeldSchedule);
  while (!vdrive::StopRequested() && (options.durationSeconds <= 0 || Clock::now() < end)) {
    for (int toggles = vdrive::TakeTerminalToggles(); toggles > 0; --toggles) {
      handHeld.Toggle();
    }
    drive.Advance(Clock::now());
    const vdrive::Exchange exchange =
        link.Run(vdrive::EncodeFrame(drive.NextMessage(Clock::now())));
    if (exchange.stopped) {
      break;
    }
    ++stats.messagesSent;
    if (exchange.answer) {
      ++stats.answers;
      stats.turnaround.Add(exchange.answer->startedAt - exchange.messageEnd);
    } else {
      ++stats.timeouts;
    }
    drive.OnExchange(exchange.answer, Clock::now());
    if (handHeld.Present(Clock::now() - start)) {
      link.SendUnanswered(vdrive::HandHeldTerminalFrame());
      ++stats.handHeldFrames;
    }
  }
}

// How long a replay waits for the program to open the port.
constexpr auto kReplayOpenWait = std::chrono::seconds(60);

int RunReplay(const vdrive::Options &options, const vdrive::ReplayPlan &plan,
              const vdrive::PseudoTerminal &pty) {
  std::printf("vdrive: replaying %s: %zu chunks, %llu messages, %zu recorded answers%s\n",
              options.replayFile.c_str(), plan.chunks.size(),
              static_cast<unsigned long long>(plan.messages), plan.answers.size(),
              options.fast ? ", fast" : "");
  std::fflush(stdout);
  if (!vdrive::WaitForOpener(pty.SlavePath(), kReplayOpenWait)) {
    return Fail(vdrive::StopRequested() ? "stopped before a program opened the port"
                                        : "nobody opened the port");
  }
  const vdrive::ReplayResult result = vdrive::Replay(plan, pty, options.fast);
  vdrive::PrintReplayResult(stdout, result);
  return result.matched == result.recordedAnswers ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  vdrive::Options options;
  std::string error;
  if (!vdrive::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vdrive: %s\n%s", error.c_str(), vdrive::UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(vdrive::UsageText(), stdout);
    return 0;
  }
  if (!vdrive::InstallSignalHandlers()) {
    return Fail("cannot install signal handlers");
  }
  vdrive::ReplayPlan plan;
  if (!options.replayFile.empty() && !vdrive::LoadReplayPlan(options.replayFile, plan, error)) {
    return Fail(error);
  }
  vdrive::PortMapFolders folders;
  vdrive::PseudoTerminal pty;
  if (!vdrive::PreparePortMapFolders(folders, error) || !pty.Open(error)) {
    return Fail(error);
  }
  vdrive::PortMapEntry entry;
  if (!entry.Register(folders, options.name, pty.SlavePath(), error)) {
    return Fail(error);
  }
  std::printf("vdrive: port %s on %s (%s)%s\n", options.name.c_str(), pty.SlavePath().c_str(),
              entry.EntryPath().c_str(), options.fast ? ", fast" : "");
  std::fflush(stdout);

  if (!options.replayFile.empty()) {
    const int status = RunReplay(options, plan, pty);
    entry.Remove();
    std::printf("vdrive: port %s closed\n", options.name.c_str());
    return status;
  }

  vdrive::LineTiming timing;
  timing.paced = !options.fast;
  vdrive::LineLink link(pty, timing);
  vdrive::DriveStats stats;
  const auto start = Clock::now();
  RunLine(options, link, stats);
  entry.Remove();

  if (options.stats) {
    const std::chrono::duration<double> seconds = Clock::now() - start;
    vdrive::PrintStats(stdout, stats, link.ReceiverCounts(), link.Counts(), seconds.count());
  }
  std::printf("vdrive: port %s closed\n", options.name.c_str());
  return 0;
}

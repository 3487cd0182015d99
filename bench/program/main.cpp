// program_drive: a drive for measuring the program. It makes a
// pseudo-terminal, enters it in the port map under a port name, waits until
// the program on that port answers, then sends display-line messages and
// prints turnaround times and counts. With --silent it only holds the port.
//
//   program_drive --name BENCH --messages 10000 --gap-ms 2-20
//   program_drive --name BENCH --duration 10 --gap-ms 0      (full line rate)
//   program_drive --name BENCH --fast --gap-ms 0 --messages 100000
//   program_drive --name IDLE --silent 20
//
// Status lines start with "drive: " ("drive: port NAME on /dev/pts/N (entry)",
// "drive: answering", "drive: exchanged N"); the figures follow at the end as
// "name: value" lines. Exit status 0, 1 when the port cannot be made or the
// program never answers, 2 for a bad command line.
#include <csignal>
#include <cstdio>
#include <string>

#include "drive_options.h"
#include "drive_player.h"
#include "port_map.h"
#include "pseudo_terminal.h"
#include "turnaround_record.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
  g_stop = 1;
}

void InstallSignalHandlers() {
  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnStopSignal;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(signal, &action, nullptr);
  }
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace

int main(int argc, char **argv) {
  TDriveOptions options;
  std::string error;
  if (!ParseDriveOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "program_drive: %s\n%s", error.c_str(), DriveUsage());
    return 2;
  }
  InstallSignalHandlers();
  // The same pseudo-terminal and port map entry as vdrive's, so the program
  // finds the drive the way it finds any port.
  vdrive::PortMapFolders folders;
  vdrive::PseudoTerminal port;
  vdrive::PortMapEntry entry;
  if (!vdrive::PreparePortMapFolders(folders, error) || !port.Open(error) ||
      !entry.Register(folders, options.name, port.SlavePath(), error)) {
    std::fprintf(stderr, "program_drive: %s\n", error.c_str());
    return 1;
  }
  std::printf("drive: port %s on %s (%s)\n", options.name.c_str(), port.SlavePath().c_str(),
              entry.EntryPath().c_str());
  std::fflush(stdout);

  TDrivePlayer player(port, options, g_stop);
  if (options.silentSeconds > 0) {
    player.HoldSilent();
    return 0;
  }
  TTurnaroundRecord record;
  if (!player.WaitForFirstAnswer(record)) {
    std::fprintf(stderr, "program_drive: no answer on %s within %.0f s\n", options.name.c_str(),
                 options.waitSeconds);
    return 1;
  }
  std::printf("drive: answering\n");
  std::fflush(stdout);
  player.Measure(record);
  record.Print(stdout);
  if (!options.timesFile.empty() && !record.WriteTimeline(options.timesFile)) {
    std::fprintf(stderr, "program_drive: cannot write %s\n", options.timesFile.c_str());
    return 1;
  }
  return 0;
}

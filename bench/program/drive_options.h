// The command line of program_drive, the measuring drive of bench/program.
#pragma once

#include <string>

struct TDriveOptions {
  std::string name = "BENCH";
  int messages = 10000;        // measured messages after the program answers
  double durationSeconds = 0;  // > 0: measure for this long instead of a count
  double silentSeconds = 0;    // > 0: hold the port, send nothing, then end
  int gapMinMs = 2;
  int gapMaxMs = 20;
  bool fast = false;  // whole frames at once instead of line pace
  int chunk = 1;      // characters per write at line pace
  int answerTimeoutMs = 50;
  double waitSeconds = 30;  // for the program's first answer
  int reportEvery = 0;      // > 0: print "drive: exchanged N" every N messages
  std::string timesFile;    // one line per measured message: seconds, turnaround ms or "-"
};

// false with a message in 'error' for an unknown option or a bad value.
bool ParseDriveOptions(int argc, char **argv, TDriveOptions &options, std::string &error);
const char *DriveUsage();

// The command line of vdrive.
#pragma once

#include <string>

namespace vdrive {

struct Options {
  std::string name = "VDRIVE1";
  bool handHeldSchedule = false;  // --programming-terminal
  bool fast = false;
  bool stats = false;
  double durationSeconds = 0.0;  // 0: until a signal ends it
  bool help = false;
  std::string replayFile;  // --replay: play this capture instead of a drive
  std::string injections;  // --inject: what SIGUSR2 does, in turn
};

// false with a message in error for an unknown option or a bad value.
bool ParseOptions(int argc, const char *const *argv, Options &options, std::string &error);
const char *UsageText();

}  // namespace vdrive

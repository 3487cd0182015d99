#include "drive_options.h"

#include <cstdlib>
#include <cstring>

#include "port_map.h"

namespace {

bool ParseInt(const char *text, int low, int high, int &value) {
  char *end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

bool ParseSeconds(const char *text, double &value) {
  char *end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(parsed >= 0 && parsed <= 86400)) {
    return false;
  }
  value = parsed;
  return true;
}

// "MIN-MAX" or a single value, in milliseconds.
bool ParseGap(const char *text, int &low, int &high) {
  const char *dash = std::strchr(text, '-');
  if (dash == nullptr) {
    return ParseInt(text, 0, 10000, low) && ParseInt(text, 0, 10000, high);
  }
  const std::string first(text, dash);
  return ParseInt(first.c_str(), 0, 10000, low) && ParseInt(dash + 1, low, 10000, high);
}

}  // namespace

bool ParseDriveOptions(int argc, char **argv, TDriveOptions &options, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--fast") {
      options.fast = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = "missing value after " + name;
      return false;
    }
    const char *value = argv[++i];
    bool ok = true;
    if (name == "--name") {
      options.name = value;
      ok = vdrive::IsValidPortName(options.name);
    } else if (name == "--messages") {
      ok = ParseInt(value, 1, 100000000, options.messages);
    } else if (name == "--duration") {
      ok = ParseSeconds(value, options.durationSeconds);
    } else if (name == "--silent") {
      ok = ParseSeconds(value, options.silentSeconds);
    } else if (name == "--gap-ms") {
      ok = ParseGap(value, options.gapMinMs, options.gapMaxMs);
    } else if (name == "--chunk") {
      ok = ParseInt(value, 1, 64, options.chunk);
    } else if (name == "--answer-timeout-ms") {
      ok = ParseInt(value, 1, 10000, options.answerTimeoutMs);
    } else if (name == "--wait") {
      ok = ParseSeconds(value, options.waitSeconds);
    } else if (name == "--times") {
      options.timesFile = value;
    } else if (name == "--report-every") {
      ok = ParseInt(value, 1, 100000000, options.reportEvery);
    } else {
      error = "unknown option " + name;
      return false;
    }
    if (!ok) {
      error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  return true;
}

const char *DriveUsage() {
  return "usage: program_drive [--name NAME] [--messages N | --duration S |\n"
         "                      --silent S] [--gap-ms MIN-MAX] [--fast] [--chunk N]\n"
         "                      [--answer-timeout-ms MS] [--wait S] [--report-every N]\n"
         "                      [--times FILE]\n";
}

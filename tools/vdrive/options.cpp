#include "options.h"

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fault_injector.h"
#include "port_map.h"

namespace vdrive {

const char *UsageText() {
  return "Usage: vdrive [options]\n"
         "A virtual frequency converter on a pseudo-terminal. It registers the port in\n"
         "$XDG_RUNTIME_DIR/sorvanel/ports and leads the line as a drive does.\n"
         "\n"
         "  --name NAME               port name in the port map (default VDRIVE1)\n"
         "  --programming-terminal    a hand-held terminal shares the line 10 s of every\n"
         "                            minute (seconds 30 to 40); SIGUSR1 plugs or unplugs\n"
         "                            it at any time, with or without this option\n"
         "  --fast                    no line pacing: each message goes out as soon as the\n"
         "                            last one was answered or timed out (load tests)\n"
         "  --stats                   print counts and turnaround times at exit\n"
         "  --duration SECONDS        end by itself after this time\n"
         "  --replay FILE             play the drive's side of a capture file back to the\n"
         "                            program once it has opened the port (with --fast as\n"
         "                            fast as it answers) and report how many recorded\n"
         "                            answers it gave again (exit status 1: not all)\n"
         "  --inject LIST             each SIGUSR2 does the next of LIST in turn: stray\n"
         "                            (bytes ending in ETX), junk (a second of noise),\n"
         "                            hangup (a new pseudo-terminal after a second),\n"
         "                            gap (3 s of silence), mark and end (a fault made\n"
         "                            outside starts, and is over), save (the parameter\n"
         "                            save of menu 13);\n"
         "                            prints when the program answers again and every\n"
         "                            memory write it answered (soak runs)\n"
         "  --help                    show this text\n"
         "\n"
         "SIGINT, SIGTERM or SIGHUP end it and remove the port entry.\n";
}

bool ParseOptions(int argc, const char *const *argv, Options &options, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view value;
    bool hasValue = false;
    if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      hasValue = true;
    }
    const auto takeValue = [&]() {
      if (!hasValue && i + 1 < argc) {
        value = argv[++i];
        hasValue = true;
      }
      return hasValue;
    };
    if (arg == "--name") {
      if (!takeValue() || !IsValidPortName(std::string(value))) {
        error = "--name needs a name of letters, digits, '_', '-' or '.' (not starting with '.')";
        return false;
      }
      options.name = value;
    } else if (arg == "--duration") {
      char *end = nullptr;
      const std::string text(takeValue() ? value : "");
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !std::isfinite(seconds) || seconds <= 0) {
        error = "--duration needs a number of seconds above 0";
        return false;
      }
      options.durationSeconds = seconds;
    } else if (arg == "--replay") {
      if (!takeValue() || value.empty()) {
        error = "--replay needs a capture file";
        return false;
      }
      options.replayFile = value;
    } else if (arg == "--inject") {
      if (!takeValue() || value.empty()) {
        error = "--inject needs a list such as stray,junk,hangup,gap,mark,end,save";
        return false;
      }
      options.injections = value;
      if (std::vector<Injection> list; !ParseInjections(value, list, error)) {
        return false;
      }
    } else if (hasValue) {
      error = "option " + std::string(arg) + " takes no value";
      return false;
    } else if (arg == "--programming-terminal") {
      options.handHeldSchedule = true;
    } else if (arg == "--fast") {
      options.fast = true;
    } else if (arg == "--stats") {
      options.stats = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else {
      error = "unknown option " + std::string(arg);
      return false;
    }
  }
  return true;
}

}  // namespace vdrive

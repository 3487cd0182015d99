// sorvanel-mem: looks at terminal memory files (*.mem) from the command line.
#include <QByteArray>
#include <cstdio>
#include <cstring>

#include "mem_commands.h"

namespace {

constexpr char kUsage[] =
    "Usage: sorvanel-mem dump FILE\n"
    "       sorvanel-mem diff FILE_A FILE_B\n"
    "\n"
    "Reads terminal memory files (*.mem) as Sorvanel reads them.\n"
    "  dump   hex and ASCII, 16 bytes a line, each line starting with its address\n"
    "  diff   one line per run of differing bytes: the run's first address,\n"
    "         then FILE_A's bytes and FILE_B's bytes\n"
    "A short file is read as far as it goes; the rest of its image reads as 00.\n"
    "\n"
    "Exit status: 0 same (or dump done), 1 the files differ, 2 trouble.\n";

int BadCommandLine(const char *message) {
  std::fprintf(stderr, "sorvanel-mem: %s\n\n%s", message, kUsage);
  return mem::kExitTrouble;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 2) {
    return BadCommandLine("no command given");
  }
  const char *command = argv[1];
  if (std::strcmp(command, "dump") == 0) {
    if (argc != 3) {
      return BadCommandLine("dump takes one file");
    }
    return mem::Dump(QByteArray(argv[2]), stdout, stderr);
  }
  if (std::strcmp(command, "diff") == 0) {
    if (argc != 4) {
      return BadCommandLine("diff takes two files");
    }
    return mem::Diff(QByteArray(argv[2]), QByteArray(argv[3]), stdout, stderr);
  }
  return BadCommandLine("unknown command");
}

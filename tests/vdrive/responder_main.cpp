// A plain terminal for measuring vdrive: answers every message on a port
// with a Kelvo request, leaving the first ones unanswered as the program
// does after it starts.
//   vdrive_responder PORT SECONDS
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "link_state.h"
#include "terminal_player.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vdrive_responder PORT SECONDS\n");
    return 2;
  }
  vdrive_test::TerminalPlayer player(argv[1]);
  if (!player.Open()) {
    std::perror(argv[1]);
    return 1;
  }
  const auto end = vdrive_test::Steady::now() +
                   std::chrono::milliseconds(static_cast<long>(std::atof(argv[2]) * 1000));
  std::vector<uint8_t> payload;
  int holdOff = kAnswerHoldOff;
  while (vdrive_test::Steady::now() < end && !player.HungUp()) {
    if (player.NextMessage(payload, vdrive_test::Millis(200))) {
      player.Handle(payload, holdOff == 0);
      holdOff = holdOff > 0 ? holdOff - 1 : 0;
    }
  }
  std::printf("messages handled: %d\n", player.messages);
  return 0;
}

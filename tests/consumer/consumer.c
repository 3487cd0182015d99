/* A program of another project that links Kelvo from its development package: it compiles a
 * request with a key held, checks the frame it built and looks up a key and a display
 * character. Exit 0 when every result is the documented one. */
#include <kelvo.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  TTerminalMessageFrame frame;
  memset(&frame, 0, sizeof frame);
  Kelvo_SetButtonStatus(bePressed, 0x0001); /* start */
  Kelvo_CompileMessage(&frame);
  const unsigned length = frame.bytes[0];

  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t decodedLength = 0;
  const uint8_t kind = Kelvo_Check(&frame.bytes[1], length, decoded, &decodedLength);
  const int enterKey = Kelvo_KeyToID(0x0D);

  if (length != 22 || frame.bytes[1] != 0x02 || frame.bytes[length] != 0x03 ||
      kind == KELVO_CHECK_FAILED || enterKey != 6 || strcmp(Kelvo_CharConv('A'), "A") != 0) {
    fprintf(stderr, "kelvo consumer: unexpected result (length %u, kind %u, enter %d)\n", length,
            kind, enterKey);
    return 1;
  }
  printf("kelvo consumer: ok\n");
  return 0;
}

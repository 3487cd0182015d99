// Fuzzes the reply check with arbitrary texts and holds it to its contract:
// it stays inside the caller's buffers, accepts exactly the well-formed
// frames and decodes them to the payload they were built from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame_bytes.h"
#include "fuzz_require.h"
#include "kelvo.h"
#include "support/frame_encoder.h"

namespace {

bool IsNibbleChar(uint8_t c) {
  return (c & 0xF0) == 0x30;
}

// The payload a text would carry if it were a frame; the text is a valid
// frame exactly when encoding that payload gives the text back.
bool DecodeIfWellFormed(const uint8_t *text, size_t size, std::vector<uint8_t> &payload) {
  if (size < 6 || size % 2 != 0 || (size - 6) / 2 > KELVO_MAX_PAYLOAD) {
    return false;
  }
  payload.resize((size - 6) / 2);
  for (size_t j = 0; j < payload.size(); ++j) {
    payload[j] = static_cast<uint8_t>((text[3 + 2 * j] & 0x0F) << 4 | (text[4 + 2 * j] & 0x0F));
  }
  return kelvo_test::EncodeFrame(payload) == std::vector<uint8_t>(text, text + size);
}

// The length the text announces, as far as its length characters are valid.
size_t AnnouncedLength(const uint8_t *text, size_t size) {
  if (size < 2 || text[0] != kelvo::kStx || !IsNibbleChar(text[1])) {
    return 0;
  }
  size_t length = static_cast<size_t>(text[1] & 0x0F) * 16;
  if (size >= 3 && IsNibbleChar(text[2])) {
    length += text[2] & 0x0F;
  }
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *text, size_t size) {
  // Exactly KELVO_MAX_PAYLOAD bytes on the heap: a write past them is caught.
  std::vector<uint8_t> decoded(KELVO_MAX_PAYLOAD, 0);
  size_t decodedLength = ~size_t{0};
  const uint8_t result = Kelvo_Check(text, size, decoded.data(), &decodedLength);

  REQUIRE(decodedLength <= KELVO_MAX_PAYLOAD);
  REQUIRE(decodedLength == AnnouncedLength(text, size));

  std::vector<uint8_t> payload;
  if (DecodeIfWellFormed(text, size, payload)) {
    REQUIRE(size == 2 * decodedLength + 6);
    REQUIRE(decodedLength == payload.size());
    REQUIRE(result == (payload.empty() ? 0 : payload[0]));
    REQUIRE(std::equal(payload.begin(), payload.end(), decoded.begin()));
    // Re-encoding what the check decoded gives back the text.
    REQUIRE(kelvo_test::EncodeFrame(decoded.data(), decodedLength) ==
            std::vector<uint8_t>(text, text + size));
  } else {
    REQUIRE(result == KELVO_CHECK_FAILED);
    REQUIRE(Kelvo_GetLastError() <= KELVO_ERROR_NO_ETX);
    if (size == 0 || text[0] != kelvo::kStx) {
      REQUIRE(Kelvo_GetLastError() == KELVO_ERROR_NO_STX);
    }
  }
  return 0;
}

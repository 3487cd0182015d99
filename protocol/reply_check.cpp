// Reply side of the protocol: validates one received frame and decodes it.
#include "kelvo.h"
#include "nibble_codec.h"
#include "request_state.h"

namespace {

uint8_t Fail(uint8_t code) {
  kelvo::g_lastError = code;
  return KELVO_CHECK_FAILED;
}

}  // namespace

extern "C" uint8_t Kelvo_Check(const uint8_t *text, size_t textLength, uint8_t *decoded,
                               size_t *decodedLength) {
  using kelvo::IsNibbleChar;
  if (text == nullptr || decoded == nullptr || decodedLength == nullptr) {
    return Fail(KELVO_ERROR_NO_STX);
  }
  *decodedLength = 0;
  // Before the length is known a missing character reads as 0, which fails
  // the test of the character that should have been there.
  auto at = [&](size_t i) -> uint8_t { return i < textLength ? text[i] : 0; };
  if (at(0) != kelvo::kStx) {
    return Fail(KELVO_ERROR_NO_STX);
  }
  uint8_t sum = kelvo::kChecksumStart;
  const uint8_t lengthHigh = at(1);
  if (!IsNibbleChar(lengthHigh)) {
    return Fail(KELVO_ERROR_BAD_CHAR);
  }
  sum = static_cast<uint8_t>(sum + lengthHigh);
  size_t length = static_cast<size_t>(lengthHigh & 0x0F) * 16;
  *decodedLength = length;
  const uint8_t lengthLow = at(2);
  if (!IsNibbleChar(lengthLow)) {
    return Fail(KELVO_ERROR_BAD_CHAR);
  }
  sum = static_cast<uint8_t>(sum + lengthLow);
  length += lengthLow & 0x0F;
  *decodedLength = length;
  if (textLength != 2 * length + 6) {
    return Fail(KELVO_ERROR_BAD_LENGTH);
  }

  const uint8_t *p = text + 3;
  for (size_t j = 0; j < length; ++j) {
    const uint8_t high = *p++;
    if (!IsNibbleChar(high)) {
      return Fail(KELVO_ERROR_BAD_CHAR);
    }
    const uint8_t low = *p++;
    sum = static_cast<uint8_t>(sum + high);
    decoded[j] = static_cast<uint8_t>((high & 0x0F) << 4);
    if (!IsNibbleChar(low)) {
      return Fail(KELVO_ERROR_BAD_CHAR);
    }
    sum = static_cast<uint8_t>(sum + low);
    decoded[j] = static_cast<uint8_t>(decoded[j] | (low & 0x0F));
  }
  const uint8_t checkHigh = *p++;
  if (!IsNibbleChar(checkHigh)) {
    return Fail(KELVO_ERROR_BAD_CHAR);
  }
  if ((checkHigh & 0x0F) != (sum >> 4)) {
    return Fail(KELVO_ERROR_BAD_CHECKSUM);
  }
  const uint8_t checkLow = *p++;
  if (!IsNibbleChar(checkLow)) {
    return Fail(KELVO_ERROR_BAD_CHAR);
  }
  if ((checkLow & 0x0F) != (sum & 0x0F)) {
    return Fail(KELVO_ERROR_BAD_CHECKSUM);
  }
  if (*p != kelvo::kEtx) {
    return Fail(KELVO_ERROR_NO_ETX);
  }
  return length == 0 ? 0 : decoded[0];
}

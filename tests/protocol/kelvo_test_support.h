// Helpers shared by the protocol tests: they drive the library only through
// its exported C interface.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kelvo.h"

namespace kelvo_test {

// Brings the process-wide request state back to all zero.
inline void ResetRequestState() {
  Kelvo_SetButtonStatus(beReleaseAll, 0);
  Kelvo_SetType(0);
  Kelvo_SetValue(0, 0, 0, 0);
  Kelvo_SetAddress(0);
}

// Compiles a request and returns the frame bytes (record bytes 1..N).
inline std::vector<uint8_t> CompileFrame() {
  TTerminalMessageFrame record{};
  Kelvo_CompileMessage(&record);
  return {record.bytes + 1, record.bytes + 1 + record.bytes[0]};
}

struct CheckResult {
  uint8_t result;
  std::vector<uint8_t> decoded;  // the first decodedLength bytes of the buffer
};

inline CheckResult Check(const std::vector<uint8_t> &text) {
  uint8_t decoded[KELVO_MAX_PAYLOAD] = {};
  size_t length = 0;
  const uint8_t result = Kelvo_Check(text.data(), text.size(), decoded, &length);
  return {result, {decoded, decoded + length}};
}

// Compiles a request and decodes it again: the payload the frame carries.
inline std::vector<uint8_t> CompilePayload() {
  const CheckResult checked = Check(CompileFrame());
  EXPECT_EQ(checked.result, 'K');
  return checked.decoded;
}

// Fixture for everything that touches the request state or the last error.
class KelvoTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRequestState(); }
  void TearDown() override { ResetRequestState(); }
};

}  // namespace kelvo_test

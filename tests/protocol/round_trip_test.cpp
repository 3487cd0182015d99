// Property tests: whatever state the request side is driven into, its frame
// checks back to the payload that state stands for; and every frame the
// test-side encoder builds decodes back to its payload.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "frame_encoder.h"
#include "kelvo.h"
#include "kelvo_test_support.h"

namespace kelvo_test {
namespace {

using Bytes = std::vector<uint8_t>;

// What the request state should hold, driven alongside the library.
struct RequestModel {
  std::array<uint8_t, 2> held{};
  std::array<uint8_t, 2> released{};
  uint8_t type = 0;
  uint32_t address = 0;
  std::array<uint16_t, 4> values{};

  void Key(TButtonEvent event, TTerminalButton button) {
    const unsigned byte = button >> 8;
    const uint8_t mask = static_cast<uint8_t>(button);
    if (event == beReleaseAll) {
      held = {};
      released = {};
    } else if (byte <= 1 && event == bePressed) {
      held[byte] |= mask;
    } else if (byte <= 1 && event == beReleased) {
      released[byte] |= mask;
    }
  }

  Bytes Payload() const {
    Bytes p = {'K',
               held[0],
               held[1],
               type,
               static_cast<uint8_t>(address >> 8),
               static_cast<uint8_t>(address)};
    const int count = type == 'y' ? 2 : type == '{' ? 4 : 1;
    const bool carriesValue = count > 1 || type == 0 || type == '0' || type == '8' || type == '@' ||
                              type == 'P' || type == 'x';
    for (int i = 0; i < count; ++i) {
      const uint16_t v = carriesValue ? values[i] : 0;
      p.push_back(static_cast<uint8_t>(v >> 8));
      p.push_back(static_cast<uint8_t>(v));
    }
    return p;
  }

  void AfterCompile() {
    for (int i = 0; i < 2; ++i) {
      held[i] = static_cast<uint8_t>(held[i] & ~released[i]);
    }
    released = {};
    address = 0;
    values[0] = 0;
  }
};

using RoundTrip = KelvoTest;

TEST_F(RoundTrip, CompiledFramesCheckBackToTheirPayload) {
  const TTerminalButton keys[] = {0x0104, 0x0010, 0x0120, 0x0102, 0x0101, 0x0004,
                                  0x0008, 0x0108, 0x0110, 0x0001, 0x0002};
  const uint8_t types[] = {0x00, '0', '8', '@', 'P', 'x', 'y', '{'};
  std::mt19937 random(20240611);
  auto pick = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
  RequestModel model;

  for (int step = 0; step < 20000; ++step) {
    switch (pick(8)) {
      case 0:
      case 1: {
        const auto event = static_cast<TButtonEvent>(pick(10) == 0 ? pick(256) : pick(2));
        const auto button =
            static_cast<TTerminalButton>(pick(10) == 0 ? pick(0x10000) : keys[pick(11)]);
        Kelvo_SetButtonStatus(event, button);
        model.Key(event, button);
        break;
      }
      case 2: {
        const auto type = static_cast<uint8_t>(pick(4) == 0 ? pick(256) : types[pick(8)]);
        Kelvo_SetType(type);
        model.type = type;
        break;
      }
      case 3:
        model.address = static_cast<uint32_t>(random());
        Kelvo_SetAddress(model.address);
        break;
      case 4:
        for (uint16_t &v : model.values) {
          v = static_cast<uint16_t>(random());
        }
        Kelvo_SetValue(model.values[0], model.values[1], model.values[2], model.values[3]);
        break;
      default: {
        const Bytes expected = model.Payload();
        const Bytes frame = CompileFrame();
        ASSERT_EQ(frame.size(), 2 * expected.size() + 6) << "step " << step;
        const CheckResult checked = Check(frame);
        ASSERT_EQ(checked.result, 'K') << "step " << step;
        ASSERT_EQ(checked.decoded, expected) << "step " << step;
        model.AfterCompile();
      }
    }
  }
}

TEST(RoundTripEncoded, PayloadsOfEveryLengthCheckBack) {
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    for (size_t length = 0; length <= KELVO_MAX_PAYLOAD; ++length) {
      Bytes payload(length);
      for (uint8_t &b : payload) {
        b = static_cast<uint8_t>(random());
      }
      const CheckResult checked = Check(EncodeFrame(payload));
      ASSERT_EQ(checked.decoded, payload) << "length " << length;
      ASSERT_EQ(checked.result, length == 0 ? 0 : payload[0]) << "length " << length;
    }
  }
}

}  // namespace
}  // namespace kelvo_test

// Reply check: which frames pass, which error code a bad frame leaves, and
// that the check stays inside the caller's buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "frame_encoder.h"
#include "kelvo.h"
#include "kelvo_test_support.h"

namespace kelvo_test {
namespace {

using Bytes = std::vector<uint8_t>;

// The idle request: payload 4B and seven zero bytes, checksum 0x79.
const Bytes kIdleFrame = {0x02, 0x30, 0x38, 0x34, 0x3B, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                          0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x37, 0x39, 0x03};
constexpr size_t kFirstPayloadChar = 3;
constexpr size_t kChecksumHigh = 19;
constexpr size_t kChecksumLow = 20;

Bytes With(Bytes text, size_t index, uint8_t c) {
  text.at(index) = c;
  return text;
}

// Leaves a known failure code behind, so the next assertion can tell whether
// it was overwritten.
void LeaveError(uint8_t code) {
  const Bytes texts[] = {{0x00},
                         {0x02, 0x41},
                         {0x02, 0x30, 0x30},
                         With(kIdleFrame, kChecksumLow, 0x38),
                         With(kIdleFrame, 21, 0x04)};
  Check(texts[code]);
  ASSERT_EQ(Kelvo_GetLastError(), code);
}

void ExpectFailure(const Bytes &text, uint8_t code) {
  EXPECT_EQ(Check(text).result, KELVO_CHECK_FAILED);
  EXPECT_EQ(Kelvo_GetLastError(), code);
}

TEST(CheckAcceptsValidFrames, ReferenceRequestReturnsK) {
  const CheckResult checked = Check(kIdleFrame);
  EXPECT_EQ(checked.result, 'K');
  EXPECT_EQ(checked.decoded, Bytes({'K', 0, 0, 0, 0, 0, 0, 0}));
}

TEST(CheckAcceptsValidFrames, ConverterMessageReturnsM) {
  Bytes payload = {'M', 0x00, 0x03};
  for (char c : std::string("Frequency 50.0Hz")) {
    payload.push_back(static_cast<uint8_t>(c));
  }
  const CheckResult checked = Check(EncodeFrame(payload));
  EXPECT_EQ(checked.result, 'M');
  EXPECT_EQ(checked.decoded, payload);
}

TEST(CheckAcceptsValidFrames, EmptyPayloadReturnsZero) {
  const Bytes empty = EncodeFrame(nullptr, 0);
  ASSERT_EQ(empty, Bytes({0x02, 0x30, 0x30, 0x36, 0x32, 0x03}));
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 99;
  EXPECT_EQ(Kelvo_Check(empty.data(), empty.size(), decoded, &length), 0);
  EXPECT_EQ(length, 0u);
}

TEST(CheckAcceptsValidFrames, FirstByteOneLooksLikeAFailureButKeepsTheError) {
  LeaveError(KELVO_ERROR_NO_ETX);
  const Bytes payload = {0x01, 0x4D, 0x00};
  const CheckResult checked = Check(EncodeFrame(payload));
  EXPECT_EQ(checked.result, 1);
  EXPECT_EQ(checked.decoded, payload);
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_NO_ETX);
}

TEST(CheckAcceptsValidFrames, LargestPayloadFitsTheCallersBuffer) {
  Bytes payload(KELVO_MAX_PAYLOAD);
  for (size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<uint8_t>(0xFF - i);
  }
  const Bytes text = EncodeFrame(payload);
  ASSERT_EQ(text.size(), 516u);
  // Exactly KELVO_MAX_PAYLOAD bytes on the heap, so a write past it is caught.
  auto decoded = std::make_unique<uint8_t[]>(KELVO_MAX_PAYLOAD);
  size_t length = 0;
  EXPECT_EQ(Kelvo_Check(text.data(), text.size(), decoded.get(), &length), 0xFF);
  ASSERT_EQ(length, payload.size());
  EXPECT_EQ(Bytes(decoded.get(), decoded.get() + length), payload);
}

TEST(CheckErrorCodes, FirstCharacterNotStxIsCodeZero) {
  LeaveError(KELVO_ERROR_NO_ETX);
  ExpectFailure({}, KELVO_ERROR_NO_STX);
  LeaveError(KELVO_ERROR_NO_ETX);
  ExpectFailure(With(kIdleFrame, 0, 0x03), KELVO_ERROR_NO_STX);
  // The tail of an earlier, broken frame in front of a good one.
  Bytes text = {0x3B, 0x32, 0x03};
  text.insert(text.end(), kIdleFrame.begin(), kIdleFrame.end());
  LeaveError(KELVO_ERROR_NO_ETX);
  ExpectFailure(text, KELVO_ERROR_NO_STX);
}

TEST(CheckErrorCodes, CharacterOutsideTheNibbleRangeIsCodeOne) {
  ExpectFailure(With(kIdleFrame, 1, 0x40), KELVO_ERROR_BAD_CHAR);
  ExpectFailure(With(kIdleFrame, 2, 0x2F), KELVO_ERROR_BAD_CHAR);
  ExpectFailure(With(kIdleFrame, kFirstPayloadChar + 5, 0x41), KELVO_ERROR_BAD_CHAR);
  ExpectFailure(With(kIdleFrame, kFirstPayloadChar + 6, 0xB0), KELVO_ERROR_BAD_CHAR);
  // A bad checksum character is code 1 even though it also mismatches.
  ExpectFailure(With(kIdleFrame, kChecksumHigh, 0x47), KELVO_ERROR_BAD_CHAR);
  ExpectFailure(With(kIdleFrame, kChecksumLow, 0x09), KELVO_ERROR_BAD_CHAR);
}

TEST(CheckErrorCodes, TextTooShortForItsLengthCharactersIsCodeOne) {
  ExpectFailure({0x02}, KELVO_ERROR_BAD_CHAR);
  ExpectFailure({0x02, 0x30}, KELVO_ERROR_BAD_CHAR);
}

TEST(CheckErrorCodes, LengthOtherThanTheAnnouncedIsCodeTwo) {
  Bytes missingEtx(kIdleFrame.begin(), kIdleFrame.end() - 1);
  ExpectFailure(missingEtx, KELVO_ERROR_BAD_LENGTH);
  Bytes extra = kIdleFrame;
  extra.push_back(0x03);
  ExpectFailure(extra, KELVO_ERROR_BAD_LENGTH);
  ExpectFailure(With(kIdleFrame, 2, 0x39), KELVO_ERROR_BAD_LENGTH);
}

TEST(CheckErrorCodes, ChecksumMismatchIsCodeThree) {
  ExpectFailure(With(kIdleFrame, kFirstPayloadChar + 4, 0x31), KELVO_ERROR_BAD_CHECKSUM);
  ExpectFailure(With(kIdleFrame, kChecksumHigh, 0x38), KELVO_ERROR_BAD_CHECKSUM);
  ExpectFailure(With(kIdleFrame, kChecksumLow, 0x3A), KELVO_ERROR_BAD_CHECKSUM);
}

TEST(CheckErrorCodes, WrongLastCharacterIsCodeFour) {
  ExpectFailure(With(kIdleFrame, 21, 0x02), KELVO_ERROR_NO_ETX);
  ExpectFailure(With(kIdleFrame, 21, 0x33), KELVO_ERROR_NO_ETX);
}

TEST(CheckErrorCodes, FirstFailingTestDecides) {
  const Bytes badCharAndEtx = With(With(kIdleFrame, 5, 0x41), 21, 0x00);
  ExpectFailure(badCharAndEtx, KELVO_ERROR_BAD_CHAR);
  Bytes badCharShortText(badCharAndEtx.begin(), badCharAndEtx.end() - 1);
  ExpectFailure(badCharShortText, KELVO_ERROR_BAD_LENGTH);
  ExpectFailure(With(With(kIdleFrame, 5, 0x31), 21, 0x00), KELVO_ERROR_BAD_CHECKSUM);
  ExpectFailure(With(With(kIdleFrame, 0, 0x00), 1, 0x41), KELVO_ERROR_NO_STX);
}

TEST(CheckErrorCodes, DecodedLengthIsTheAnnouncedLengthAsFarAsChecked) {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 99;
  const Bytes noStx = With(kIdleFrame, 0, 0x00);
  Kelvo_Check(noStx.data(), noStx.size(), decoded, &length);
  EXPECT_EQ(length, 0u);
  const Bytes badHigh = {0x02, 0x4F, 0x38};
  Kelvo_Check(badHigh.data(), badHigh.size(), decoded, &length);
  EXPECT_EQ(length, 0u);
  const Bytes badLow = {0x02, 0x32, 0x48};
  Kelvo_Check(badLow.data(), badLow.size(), decoded, &length);
  EXPECT_EQ(length, 0x20u);
  const Bytes wrongLength = {0x02, 0x3F, 0x3F, 0x30};
  Kelvo_Check(wrongLength.data(), wrongLength.size(), decoded, &length);
  EXPECT_EQ(length, 255u);
}

TEST(CheckArguments, NullArgumentFailsWithCodeZeroAndWritesNothing) {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  std::fill(std::begin(decoded), std::end(decoded), 0xEE);
  size_t length = 77;
  LeaveError(KELVO_ERROR_NO_ETX);
  EXPECT_EQ(Kelvo_Check(nullptr, kIdleFrame.size(), decoded, &length), KELVO_CHECK_FAILED);
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_NO_STX);
  LeaveError(KELVO_ERROR_NO_ETX);
  EXPECT_EQ(Kelvo_Check(kIdleFrame.data(), kIdleFrame.size(), nullptr, &length),
            KELVO_CHECK_FAILED);
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_NO_STX);
  LeaveError(KELVO_ERROR_NO_ETX);
  EXPECT_EQ(Kelvo_Check(kIdleFrame.data(), kIdleFrame.size(), decoded, nullptr),
            KELVO_CHECK_FAILED);
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_NO_STX);
  EXPECT_EQ(length, 77u);
  for (uint8_t b : decoded) {
    ASSERT_EQ(b, 0xEE);
  }
}

TEST(CheckBounds, TruncatedTextIsNeverReadPastItsLength) {
  const Bytes full = EncodeFrame(Bytes(40, 0x5A));
  for (size_t n = 0; n < full.size(); ++n) {
    SCOPED_TRACE(n);
    // An exact-size heap copy, so any read past n is caught by the sanitizer.
    auto text = std::make_unique<uint8_t[]>(n);
    std::copy(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n), text.get());
    uint8_t decoded[KELVO_MAX_PAYLOAD];
    size_t length = 0;
    EXPECT_EQ(Kelvo_Check(text.get(), n, decoded, &length), KELVO_CHECK_FAILED);
    const uint8_t expected = n == 0  ? KELVO_ERROR_NO_STX
                             : n < 3 ? KELVO_ERROR_BAD_CHAR
                                     : KELVO_ERROR_BAD_LENGTH;
    EXPECT_EQ(Kelvo_GetLastError(), expected);
  }
}

TEST(LastError, SuccessAndReadingLeaveTheLastFailureInPlace) {
  LeaveError(KELVO_ERROR_BAD_CHECKSUM);
  ASSERT_EQ(Check(kIdleFrame).result, 'K');
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_BAD_CHECKSUM);
  EXPECT_EQ(Kelvo_GetLastError(), KELVO_ERROR_BAD_CHECKSUM);
}

TEST(LastError, EveryFailureOverwritesIt) {
  for (uint8_t code : {3, 1, 4, 0, 2, 0}) {
    LeaveError(code);
  }
}

}  // namespace
}  // namespace kelvo_test

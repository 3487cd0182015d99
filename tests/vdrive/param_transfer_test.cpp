// Saving the parameter set into a terminal memory image and loading it back,
// with the terminal leaving answers out as a real one does.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "param_image.h"
#include "param_transfer.h"
#include "parameters.h"

namespace vdrive {
namespace {

// The terminal's side: an 8192-byte memory that takes writes and answers reads.
struct TerminalMemory {
  std::array<uint8_t, 8192> bytes{};
  int skipEvery = 0;  // leave every n-th message unanswered (0: answer all)
  int messages = 0;

  // Runs the transfer to its end; returns its outcome.
  TransferOutcome Run(ParamTransfer &transfer) {
    for (int guard = 0; guard < 1000 && transfer.Busy(); ++guard) {
      const TransferRequest request = transfer.Current();
      if (request.kind == TransferRequest::Kind::Write) {
        std::memcpy(&bytes[request.address], request.data.data(), request.data.size());
      }
      if (skipEvery > 0 && ++messages % skipEvery == 0) {
        transfer.OnNoAnswer();
        continue;
      }
      const uint16_t value =
          static_cast<uint16_t>(bytes[request.address] << 8 | bytes[request.address + 1u]);
      transfer.OnAnswered(request.kind == TransferRequest::Kind::Read ? request.address : 0, value);
    }
    return transfer.TakeOutcome().value();
  }
};

ParameterSet CustomSet() {
  ParameterSet params;
  params.Set(Param::MaxFrequency, 600);
  params.Set(Param::SetPoint, 555);
  params.Set(Param::MotorCurrent, 123);
  params.Set(Param::DirectionLock, 2);
  return params;
}

TEST(ParamSaveLoad, SavedSetLoadsBackEvenWhenAnswersAreLeftOut) {
  TerminalMemory memory;
  memory.skipEvery = 3;
  ParamTransfer transfer;
  transfer.StartSave(CustomSet(), 7);
  EXPECT_EQ(memory.Run(transfer), TransferOutcome::Saved);
  EXPECT_EQ(std::memcmp(&memory.bytes[kParamBase], "PSET", 4), 0);
  transfer.StartLoad();
  ASSERT_EQ(memory.Run(transfer), TransferOutcome::Loaded);
  ASSERT_TRUE(transfer.LoadedSet());
  EXPECT_EQ(transfer.LoadedSet()->ToStored(), CustomSet().ToStored());
  EXPECT_EQ(transfer.LoadedSaveCounter(), 7);
  EXPECT_GT(transfer.Retries(), 0);
}

TEST(ParamSaveLoad, HeaderIsWrittenLastSoACutSaveIsNotLoaded) {
  const auto blocks = EncodeParamImage(CustomSet().ToStored(), 1);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks.back().address, kParamBase);
  EXPECT_EQ(blocks[0].address, kParamBase + 16);
}

TEST(ParamSaveLoad, DamagedOrForeignImagesAreRefusedAndNothingApplied) {
  ParamTransfer transfer;
  TerminalMemory empty;
  transfer.StartLoad();
  EXPECT_EQ(empty.Run(transfer), TransferOutcome::NoSet);
  EXPECT_FALSE(transfer.LoadedSet());

  TerminalMemory saved;
  transfer.StartSave(CustomSet(), 1);
  saved.Run(transfer);

  TerminalMemory flipped = saved;
  flipped.bytes[kParamBase + 16 + 3] ^= 0x01;
  transfer.StartLoad();
  EXPECT_EQ(flipped.Run(transfer), TransferOutcome::BadChecksum);
  EXPECT_FALSE(transfer.LoadedSet());

  TerminalMemory otherVersion = saved;
  otherVersion.bytes[kParamBase + 4] = 2;
  const uint16_t crc = Crc16({&otherVersion.bytes[kParamBase], 14});
  otherVersion.bytes[kParamBase + 14] = static_cast<uint8_t>(crc >> 8);
  otherVersion.bytes[kParamBase + 15] = static_cast<uint8_t>(crc);
  transfer.StartLoad();
  EXPECT_EQ(otherVersion.Run(transfer), TransferOutcome::BadFormat);
}

TEST(ParamSaveLoad, ValuesOutOfRangeAreRefusedThoughTheirChecksumIsRight) {
  std::array<uint16_t, kStoredParamCount> values = CustomSet().ToStored();
  values[static_cast<size_t>(Param::RampUpTime)] = 0;  // would divide by zero
  TerminalMemory memory;
  for (const MemoryBlock &block : EncodeParamImage(values, 1)) {
    std::memcpy(&memory.bytes[block.address], block.bytes.data(), kBlockSize);
  }
  ParamTransfer transfer;
  transfer.StartLoad();
  EXPECT_EQ(memory.Run(transfer), TransferOutcome::BadValue);
  EXPECT_FALSE(transfer.LoadedSet());
}

TEST(ParamSaveLoad, AnswerForAnotherAddressIsNotTakenAsData) {
  ParamTransfer transfer;
  transfer.StartLoad();
  transfer.OnAnswered(0x0000, 0x5053);  // an ordinary answer: address 0
  EXPECT_EQ(transfer.Done(), 0);
  transfer.OnAnswered(kParamBase, 0x5053);
  EXPECT_EQ(transfer.Done(), 1);
  EXPECT_EQ(transfer.Current().address, kParamBase + 2);
}

TEST(ParamSaveLoad, SilentTerminalEndsTheTransferWithNoAnswer) {
  ParamTransfer transfer;
  transfer.StartSave(CustomSet(), 1);
  for (int i = 0; i < ParamTransfer::kMaxTries - 1; ++i) {
    transfer.OnNoAnswer();
    ASSERT_TRUE(transfer.Busy());
    EXPECT_EQ(transfer.Done(), 0) << "an unanswered block is sent again";
  }
  transfer.OnNoAnswer();
  EXPECT_FALSE(transfer.Busy());
  EXPECT_EQ(transfer.TakeOutcome(), TransferOutcome::NoAnswer);
}

}  // namespace
}  // namespace vdrive

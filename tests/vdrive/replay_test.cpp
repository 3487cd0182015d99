// vdrive --replay without a line: what a capture file becomes for the
// replay, and how the program's answers are counted against the recorded ones.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "replay.h"

namespace vdrive_test {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) {
  return {bytes.begin(), bytes.end()};
}

class ReplayFile : public ::testing::Test {
 protected:
  ~ReplayFile() override { std::filesystem::remove(path); }

  bool Load(const std::string &content) {
    std::ofstream(path, std::ios::binary) << content;
    return vdrive::LoadReplayPlan(path, plan, error);
  }

  // Tests run side by side: each has a file of its own.
  std::string path = testing::TempDir() + "replay_test_" +
                     testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                     std::to_string(getpid()) + ".jsonl";
  vdrive::ReplayPlan plan;
  std::string error;
};

TEST_F(ReplayFile, ChunksAndTheFirstGoodAnswerPerMessageAreKept) {
  ASSERT_TRUE(Load(R"({"t": 10.0, "format": "sorvanel-capture", "version": 1}
{"t": 10.0, "event": "open", "port": "VDRIVE1"}
{"t": 10.5, "dir": "rx", "hex": "0231"}
{"t": 10.6, "dir": "rx", "hex": "3203"}
{"t": 10.7, "dir": "tx", "hex": "02aa03", "failed": true}
{"t": 10.7, "dir": "tx", "hex": "02bb03"}
{"t": 10.8, "dir": "tx", "hex": "02cc03"}
{"t": 11.0, "dir": "rx", "hex": "023303023403"}
{"t": 11.1, "dir": "tx", "hex": "02dd03"}
)")) << error;
  ASSERT_EQ(plan.chunks.size(), 3u);
  EXPECT_EQ(plan.chunks[0].t, 10.5);
  EXPECT_EQ(Copy(plan.Bytes(plan.chunks[0].bytes)), Bytes("\x02\x31"));
  EXPECT_EQ(Copy(plan.Bytes(plan.chunks[1].bytes)), Bytes("\x32\x03"));
  EXPECT_EQ(Copy(plan.Bytes(plan.chunks[2].bytes)), Bytes("\x02\x33\x03\x02\x34\x03"));
  EXPECT_EQ(plan.messages, 3u);
  ASSERT_EQ(plan.answers.size(), 2u);
  EXPECT_EQ(plan.answers[0].message, 1u);
  EXPECT_EQ(Copy(plan.Bytes(plan.answers[0].bytes)), Bytes("\x02\xbb\x03"));
  EXPECT_EQ(plan.answers[1].message, 3u);
  EXPECT_EQ(Copy(plan.Bytes(plan.answers[1].bytes)), Bytes("\x02\xdd\x03"));
}

TEST_F(ReplayFile, WhatIsNoCaptureIsRefusedBeforeThePortIsRegistered) {
  EXPECT_FALSE(Load(""));
  EXPECT_EQ(error, path + ": not a Sorvanel capture (no header line)");
  EXPECT_FALSE(Load("{\"t\": 1.0, \"event\": \"open\"}\n"));
  EXPECT_EQ(error, path + ": not a Sorvanel capture (no header line)");
  EXPECT_FALSE(
      Load("{\"t\": 1.0, \"format\": \"sorvanel-capture\"}\n"
           "{\"t\": 1e300, \"dir\": \"rx\", \"hex\": \"02\"}\n"
           "{\"t\": 1.0, \"event\": \"close\"}\n"));
  EXPECT_EQ(error.rfind(path + ": line 2: ", 0), 0u) << error;
}

TEST(AnswerTally, EveryRecordedAnswerIsMatchedDifferedOrMissingInMessageOrder) {
  vdrive::ReplayPlan plan;
  for (const auto &[message, text] : {std::pair{1u,
                                                "\x02"
                                                "a\x03"},
                                      {2u,
                                       "\x02"
                                       "b\x03"},
                                      {4u,
                                       "\x02"
                                       "d\x03"},
                                      {6u,
                                       "\x02"
                                       "f\x03"}}) {
    const auto offset = static_cast<uint32_t>(plan.bytes.size());
    plan.bytes.insert(plan.bytes.end(), text, text + 3);
    plan.answers.push_back({message, {offset, 3}});
  }
  vdrive::AnswerTally tally(plan);
  tally.Given(1, Bytes("\x02"
                       "a\x03"));
  tally.Given(1, Bytes("\x02"
                       "x\x03"));  // a second answer to the same message
  tally.Given(3, Bytes("\x02"
                       "c\x03"));  // nothing recorded there; 2 went unanswered
  tally.Given(4, Bytes("\x02"
                       "e\x03"));
  const vdrive::ReplayResult result = tally.Finish();  // 6 went unanswered
  EXPECT_EQ(result.recordedAnswers, 4u);
  EXPECT_EQ(result.matched, 1u);
  EXPECT_EQ(result.differed, 1u);
  EXPECT_EQ(result.missing, 2u);
  EXPECT_EQ(result.extra, 1u);
  EXPECT_EQ(result.differences,
            (std::vector<std::string>{"message 2: recorded 026203, no answer",
                                      "message 4: recorded 026403, given 026503",
                                      "message 6: recorded 026603, no answer"}));
}

}  // namespace
}  // namespace vdrive_test

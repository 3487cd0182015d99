// The memory file's bytes: what a save writes and what a read takes from any
// bytes. What the user is told, and saves that fail, are tested with the
// memory menu (tests/link/exchange/memory_file_menu_test.cpp).
#include "memory_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include "memory_file_bytes.h"
#include "test_folder.h"

namespace {

TTerminalMemory Filled(uint8_t value) {
  TTerminalMemory memory;
  for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
    memory.Write(a, value);
  }
  return memory;
}

class MemoryFileFormat : public testing::Test, protected TTestFolder {};

// --- writing and reading back ---

TEST_F(MemoryFileFormat, SavedImageReadsBackByteForByte) {
  QRandomGenerator random(1234);
  TTerminalMemory memory;
  for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
    memory.Write(a, static_cast<uint8_t>(random.bounded(256)));
  }
  const QString path = PathOf(QStringLiteral("set.mem"));
  ASSERT_TRUE(WriteMemoryFile(path, memory));

  const QByteArray bytes = Read(path);
  ASSERT_EQ(bytes.size(), 8227);
  EXPECT_EQ(bytes.left(35), FileWith(QByteArray()));
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xD5);  // '{' at position 1

  TTerminalMemory loaded;
  const TMemoryFileReadResult result = ReadMemoryFile(ReadMemoryFileStart(path).value(), loaded);
  EXPECT_EQ(result.outcome, TMemoryFileRead::Complete);
  EXPECT_EQ(loaded, memory);
}

// --- reading files that are not what they should be ---

TEST_F(MemoryFileFormat, WrongHeaderIsRefusedAndTheImageLeftAlone) {
  const QByteArray data(8192, 1);
  QByteArray badLength = FileWith(data);
  badLength[0] = 33;
  for (const QByteArray &file : {FileWith(data, "{VOLTAR Terminal Full Memory File}"), badLength,
                                 FileWith(QByteArray()).left(20), QByteArray()}) {
    TTerminalMemory memory = Filled(0x44);
    EXPECT_EQ(ReadMemoryFile(file, memory).outcome, TMemoryFileRead::CorruptHeader);
    EXPECT_EQ(memory, Filled(0x44));
  }
}

TEST_F(MemoryFileFormat, ShortDataIsStoredAndTheRestOfTheImageKept) {
  TTerminalMemory memory = Filled(0x55);
  const TMemoryFileReadResult result =
      ReadMemoryFile(FileWith(QByteArray(100, char(0xA0))), memory);
  EXPECT_EQ(result.outcome, TMemoryFileRead::Truncated);
  EXPECT_TRUE(result.nonzeroByteStored);
  EXPECT_EQ(memory.Read(0), 0xA0);
  EXPECT_EQ(memory.Read(99), 0xA0);
  EXPECT_EQ(memory.Read(100), 0x55);
  EXPECT_EQ(memory.Read(8191), 0x55);
}

TEST_F(MemoryFileFormat, NonzeroByteIsToldAndBytesAfterTheImageIgnored) {
  TTerminalMemory memory = Filled(0x77);
  TMemoryFileReadResult result = ReadMemoryFile(FileWith(QByteArray(8192, 0)), memory);
  EXPECT_EQ(result.outcome, TMemoryFileRead::Complete);
  EXPECT_FALSE(result.nonzeroByteStored);
  EXPECT_EQ(memory, TTerminalMemory());

  QByteArray data(8192, 3);
  data.append(QByteArray(5000, 9));
  result = ReadMemoryFile(FileWith(data), memory);
  EXPECT_EQ(result.outcome, TMemoryFileRead::Complete);
  EXPECT_TRUE(result.nonzeroByteStored);
  EXPECT_EQ(memory.Read(8191), 3);
}

TEST_F(MemoryFileFormat, AnyBytesAreReadSafely) {
  QRandomGenerator random(99);
  const QByteArray validStart = FileWith(QByteArray());
  for (int round = 0; round < 2000; ++round) {
    QByteArray bytes(static_cast<qsizetype>(random.bounded(9000)), 0);
    for (char &byte : bytes) {
      byte = static_cast<char>(random.bounded(256));
    }
    if (round % 2 == 0) {
      bytes.prepend(validStart.left(random.bounded(36)));
    }
    TTerminalMemory image;
    const TMemoryFileReadResult result = ReadMemoryFile(bytes, image);
    if (result.outcome == TMemoryFileRead::CorruptHeader) {
      EXPECT_EQ(image, TTerminalMemory());
    }
  }
}

TEST_F(MemoryFileFormat, MissingOrSpecialFilesAreNotRead) {
  EXPECT_FALSE(ReadMemoryFileStart(PathOf(QStringLiteral("missing.mem"))).has_value());
  EXPECT_FALSE(ReadMemoryFileStart(folder.path()).has_value());
  const QString fifo = PathOf(QStringLiteral("fifo.mem"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_FALSE(ReadMemoryFileStart(fifo).has_value());  // must not wait for a writer
  EXPECT_EQ(ReadMemoryFileStart(Write(QStringLiteral("empty.mem"), QByteArray())), QByteArray());
}

}  // namespace

// The memory menu over the memory file: what the user is told about which
// files, the save item, the default file, and saves that fail. The file's
// bytes are tested in tests/formats/memory_file_test.cpp.
#include "memory_file_menu.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

#include "file_size_limit.h"
#include "memory_file.h"
#include "memory_file_bytes.h"
#include "recording_link_host.h"
#include "test_folder.h"

namespace {

class MemoryFileTest : public testing::Test, protected TTestFolder {
 protected:
  void FillImage(uint8_t value) {
    for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
      memory.Write(a, value);
    }
  }

  TTerminalMemory memory;
  TRecordingLinkHost host;
  TMemoryFile memoryFile{memory, host, DefaultMemoryFilePath(folder.path())};
};

// --- saving and loading back ---

using MemoryFileRoundTrip = MemoryFileTest;

TEST_F(MemoryFileRoundTrip, EmptyNameMeansSorvanelMemInTheProgramFolder) {
  memory.Write(5, 9);
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));
  EXPECT_EQ(Read(PathOf(QStringLiteral("Sorvanel.mem"))).size(), 8227);

  memory.Clear();
  memoryFile.LoadMemoryFile(QString());
  EXPECT_EQ(memory.Read(5), 9);
  EXPECT_TRUE(host.memorySaveEnabled);
  EXPECT_TRUE(host.memoryFileErrors.empty());
}

// --- loading files that are not what they should be ---

using MemoryFileLoad = MemoryFileTest;

TEST_F(MemoryFileLoad, EmptyFileChosenByTheUserIsReportedCorrupt) {
  FillImage(0x44);
  const QString path = Write(QStringLiteral("empty.mem"), QByteArray());
  memoryFile.LoadMemoryFile(path);
  ASSERT_EQ(host.memoryFileErrors.size(), 1u);
  EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::Corrupt);
  EXPECT_EQ(host.memoryFileErrors[0].path, path);
  EXPECT_EQ(memory.Read(0), 0x44);
  EXPECT_EQ(host.memorySaveChanges, 0);
}

TEST_F(MemoryFileLoad, EmptyDefaultFileIsIgnoredSilently) {
  Write(QStringLiteral("Sorvanel.mem"), QByteArray());
  memoryFile.LoadMemoryFile(QString());
  EXPECT_TRUE(host.memoryFileErrors.empty());
}

TEST_F(MemoryFileLoad, MissingOrSpecialFilesAreIgnoredSilently) {
  memoryFile.LoadMemoryFile(PathOf(QStringLiteral("missing.mem")));
  memoryFile.LoadMemoryFile(folder.path());
  const QString fifo = PathOf(QStringLiteral("fifo.mem"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  memoryFile.LoadMemoryFile(fifo);  // must not wait for a writer
  EXPECT_TRUE(host.memoryFileErrors.empty());
  EXPECT_EQ(host.memorySaveChanges, 0);
}

TEST_F(MemoryFileLoad, WrongHeaderLeavesTheImageAndSaveItemAlone) {
  FillImage(0x44);
  host.memorySaveEnabled = true;
  const QByteArray data(8192, 1);
  const QString otherMaker =
      Write(QStringLiteral("maker.mem"), FileWith(data, "{VOLTAR Terminal Full Memory File}"));
  QByteArray badLength = FileWith(data);
  badLength[0] = 33;
  const QString wrongLength = Write(QStringLiteral("length.mem"), badLength);
  const QString cutHeader = Write(QStringLiteral("cut.mem"), FileWith(QByteArray()).left(20));

  for (const QString &path : {otherMaker, wrongLength, cutHeader}) {
    memoryFile.LoadMemoryFile(path);
  }
  ASSERT_EQ(host.memoryFileErrors.size(), 3u);
  for (const auto &record : host.memoryFileErrors) {
    EXPECT_EQ(record.error, TMemoryFileError::Corrupt);
  }
  EXPECT_EQ(memory.Read(0), 0x44);
  EXPECT_TRUE(host.memorySaveEnabled);
}

TEST_F(MemoryFileLoad, ShortDataKeepsWhatWasReadAndTheRestOfTheImage) {
  FillImage(0x55);
  const QString path = Write(QStringLiteral("short.mem"), FileWith(QByteArray(100, char(0xA0))));
  memoryFile.LoadMemoryFile(path);
  EXPECT_EQ(memory.Read(0), 0xA0);
  EXPECT_EQ(memory.Read(99), 0xA0);
  EXPECT_EQ(memory.Read(100), 0x55);
  EXPECT_EQ(memory.Read(8191), 0x55);
  ASSERT_EQ(host.memoryFileErrors.size(), 1u);
  EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::Corrupt);
  EXPECT_TRUE(host.memorySaveEnabled);

  // The same file as the default file: the same load, no message.
  FillImage(0x55);
  Write(QStringLiteral("Sorvanel.mem"), FileWith(QByteArray(100, char(0xA0))));
  memoryFile.LoadMemoryFile(QString());
  EXPECT_EQ(memory.Read(99), 0xA0);
  EXPECT_EQ(memory.Read(100), 0x55);
  EXPECT_EQ(host.memoryFileErrors.size(), 1u);
}

TEST_F(MemoryFileLoad, SaveItemFollowsWhetherANonzeroByteCameIn) {
  host.memorySaveEnabled = true;
  FillImage(0x77);
  memoryFile.LoadMemoryFile(Write(QStringLiteral("zero.mem"), FileWith(QByteArray(8192, 0))));
  EXPECT_FALSE(host.memorySaveEnabled);
  EXPECT_EQ(memory, TTerminalMemory());

  QByteArray oneByte(8192, 0);
  oneByte[8191] = 1;
  memoryFile.LoadMemoryFile(Write(QStringLiteral("one.mem"), oneByte.prepend(FileWith({}))));
  EXPECT_TRUE(host.memorySaveEnabled);
  EXPECT_TRUE(host.memoryFileErrors.empty());
}

// --- saving that cannot succeed, and clearing ---

using MemoryFileSave = MemoryFileTest;

TEST_F(MemoryFileSave, ClearDisablesSaveAndZeroesTheImage) {
  FillImage(0x31);
  host.memorySaveEnabled = true;
  memoryFile.Menu_MemoryClearClick();
  EXPECT_FALSE(host.memorySaveEnabled);
  EXPECT_EQ(memory, TTerminalMemory());
  // The cleared image is still saved.
  EXPECT_TRUE(memoryFile.SaveMemoryFile(QString()));
}

TEST_F(MemoryFileSave, ReadOnlyFileIsRefusedAndLeftUntouched) {
  const QByteArray old = FileWith(QByteArray(8192, 6));
  const QString path = Write(QStringLiteral("Sorvanel.mem"), old);
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
  memory.Write(0, 1);

  EXPECT_FALSE(memoryFile.SaveMemoryFile(QString()));
  EXPECT_FALSE(memoryFile.SaveMemoryFile(QString()));  // again at the next close
  ASSERT_EQ(host.memoryFileErrors.size(), 2u);
  EXPECT_EQ(host.memoryFileErrors[1].error, TMemoryFileError::NotWritable);
  EXPECT_EQ(host.memoryFileErrors[1].path, path);
  EXPECT_EQ(Read(path), old);
}

TEST_F(MemoryFileSave, FileInAMissingFolderReportsTheWriteError) {
  EXPECT_FALSE(memoryFile.SaveMemoryFile(PathOf(QStringLiteral("no/such/set.mem"))));
  ASSERT_EQ(host.memoryFileErrors.size(), 1u);
  EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::NotWritable);
  EXPECT_EQ(host.memoryFileErrors[0].path, PathOf(QStringLiteral("no/such/set.mem")));
}

TEST_F(MemoryFileSave, FailureWhileWritingKeepsTheOldFileAndIsReported) {
  const QByteArray old = FileWith(QByteArray(8192, 6));
  const QString path = Write(QStringLiteral("Sorvanel.mem"), old);
  FillImage(0x99);
  bool saved = true;
  {
    TFileSizeLimit limit(4096);
    saved = memoryFile.SaveMemoryFile(QString());
  }
  EXPECT_FALSE(saved);
  ASSERT_EQ(host.memoryFileErrors.size(), 1u);
  EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::NotWritable);
  EXPECT_EQ(Read(path), old);
  // No temporary file is left behind.
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
}

// A default memory file that the start ignored (one flipped header byte, a
// foreign file, a link to an unrelated file) is kept aside before the close
// replaces it; a link is moved, its target never written.
TEST_F(MemoryFileSave, UnreadableDefaultFileIsKeptAsideBeforeItIsReplaced) {
  QByteArray flipped = FileWith(QByteArray(8192, 0x5A));
  flipped[7] = static_cast<char>(flipped[7] ^ 0x01);
  const QByteArray foreign("not a memory file at all");
  QByteArray unrelated(50 * 1024, 0);
  for (qsizetype i = 0; i < unrelated.size(); ++i) {
    unrelated[i] = static_cast<char>(i * 13);
  }
  const QString target = Write(QStringLiteral("unrelated.dat"), unrelated);
  const QString path = PathOf(QStringLiteral("Sorvanel.mem"));

  Write(QStringLiteral("Sorvanel.mem"), flipped);
  memoryFile.LoadMemoryFile(QString());
  FillImage(0x42);
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));  // a second save keeps nothing more

  QFile::remove(path);
  Write(QStringLiteral("Sorvanel.mem"), foreign);
  memoryFile.LoadMemoryFile(QString());
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));

  QFile::remove(path);
  ASSERT_TRUE(QFile::link(target, path));
  memoryFile.LoadMemoryFile(QString());
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));

  EXPECT_TRUE(host.memoryFileErrors.empty());
  EXPECT_EQ(Read(path + ".bad"), flipped);
  EXPECT_EQ(Read(path + ".bad.1"), foreign);
  EXPECT_EQ(QFileInfo(path + ".bad.2").symLinkTarget(), target);
  EXPECT_FALSE(QFileInfo::exists(path + ".bad.3"));
  EXPECT_EQ(Read(target), unrelated);
  EXPECT_FALSE(QFileInfo(path).isSymLink());
  TTerminalMemory loaded;
  EXPECT_EQ(ReadMemoryFile(Read(path), loaded).outcome, TMemoryFileRead::Complete);
  EXPECT_EQ(loaded, memory);
}

// A program killed in the middle of its closing save left a temporary file
// beside Sorvanel.mem; the next start removes it, and only it.
TEST_F(MemoryFileLoad, DefaultLoadRemovesTheTemporaryFileOfAKilledSave) {
  Write(QStringLiteral(".Sorvanel.mem.5e11a0c4.tmp"), FileWith(QByteArray(100, 1)));
  Write(QStringLiteral(".Sorvanel.mem.keep"), "x");
  memoryFile.LoadMemoryFile(QString());
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{".Sorvanel.mem.keep"});
}

}  // namespace

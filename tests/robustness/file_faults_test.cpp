// Files that are damaged, oversized or special, and disks that fill up while
// the program saves: the image and the settings stay sound, the previous
// files survive and the user is told.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include "fault_helpers.h"
#include "ini_file.h"
#include "memory_file.h"
#include "memory_file_menu.h"
#include "recording_link_host.h"
#include "settings_file.h"

namespace {

using robustness::HeapBytesInUse;
using robustness::TTinyFilesystem;

constexpr qsizetype kDataStart = 1 + kMemoryFileHeaderLength;

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

TTerminalMemory ImageOf(uint8_t seed) {
  TTerminalMemory memory;
  for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
    memory.Write(a, static_cast<uint8_t>(a * 5 + seed));
  }
  return memory;
}

QStringList FilesIn(const QString &folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class MemoryFileDamage : public testing::Test {
 protected:
  QString PathOf(const QString &name) const { return QDir(folder.path()).filePath(name); }

  QTemporaryDir folder;
  TTerminalMemory memory = ImageOf(1);
  TRecordingLinkHost host;
  TMemoryFile memoryFile{memory, host, DefaultMemoryFilePath(folder.path())};
};

TEST_F(MemoryFileDamage, AnyChangedHeaderByteIsRefusedAndTheImageKept) {
  const QByteArray good = BuildMemoryFile(ImageOf(9));
  const QString path = PathOf(QStringLiteral("damaged.mem"));
  for (qsizetype position = 0; position < kDataStart; ++position) {
    for (uint8_t flip : {0x01, 0x80}) {
      QByteArray damaged = good;
      damaged[position] = static_cast<char>(damaged[position] ^ flip);
      WriteAll(path, damaged);
      host.memoryFileErrors.clear();
      memoryFile.LoadMemoryFile(path);
      ASSERT_EQ(host.memoryFileErrors.size(), 1u) << "byte " << position;
      EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::Corrupt);
      EXPECT_EQ(memory, ImageOf(1)) << "byte " << position;
    }
  }
  EXPECT_EQ(host.memorySaveChanges, 0);
}

TEST_F(MemoryFileDamage, FileCutShortKeepsTheBytesItHeldAndTellsTheUser) {
  const QByteArray good = BuildMemoryFile(ImageOf(9));
  const QString path = PathOf(QStringLiteral("cut.mem"));
  for (qsizetype length : {qsizetype{1}, qsizetype{34}, kDataStart, kDataStart + 1,
                           kDataStart + 4096, kMemoryFileSize - 1}) {
    memory = ImageOf(1);
    host.memoryFileErrors.clear();
    WriteAll(path, good.left(length));
    memoryFile.LoadMemoryFile(path);
    ASSERT_EQ(host.memoryFileErrors.size(), 1u) << "length " << length;
    EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::Corrupt);
    const qsizetype stored = std::max<qsizetype>(0, length - kDataStart);
    for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
      const uint8_t expected =
          static_cast<qsizetype>(a) < stored ? ImageOf(9).Read(a) : ImageOf(1).Read(a);
      ASSERT_EQ(memory.Read(a), expected) << "length " << length << " address " << a;
    }
  }
}

// A file of a gigabyte (sparse, so it costs no disk) is read only as far as
// the image goes: nothing more is held in memory.
TEST_F(MemoryFileDamage, HugeFileLoadsTheImageWithoutReadingTheRest) {
  const QString path = PathOf(QStringLiteral("huge.mem"));
  WriteAll(path, BuildMemoryFile(ImageOf(9)));
  ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), off_t{1} << 30), 0);

  const size_t heapBefore = HeapBytesInUse();
  memoryFile.LoadMemoryFile(path);
  const size_t heapAfter = HeapBytesInUse();

  EXPECT_TRUE(host.memoryFileErrors.empty());
  EXPECT_EQ(memory, ImageOf(9));
  EXPECT_LT(heapAfter, heapBefore + 1024 * 1024);
}

// --- a disk that fills up while saving ---

class FullDisk : public testing::Test {
 protected:
  void SetUp() override {
    if (!disk.Mounted()) {
      GTEST_SKIP() << "no tmpfs could be mounted (needs root)";
    }
  }
  TTinyFilesystem disk{64};
};

TEST_F(FullDisk, MemorySaveKeepsTheOldFileTellsTheUserAndWorksOnceThereIsRoom) {
  TTerminalMemory memory = ImageOf(2);
  TRecordingLinkHost host;
  TMemoryFile memoryFile{memory, host, disk.PathOf(QStringLiteral("Sorvanel.mem"))};
  ASSERT_TRUE(memoryFile.SaveMemoryFile(QString()));
  const QByteArray old = ReadAll(memoryFile.DefaultFilePath());
  ASSERT_EQ(old.size(), kMemoryFileSize);

  const QString filler = disk.FillUp();
  memory = ImageOf(3);
  EXPECT_FALSE(memoryFile.SaveMemoryFile(QString()));
  ASSERT_EQ(host.memoryFileErrors.size(), 1u);
  EXPECT_EQ(host.memoryFileErrors[0].error, TMemoryFileError::NotWritable);
  EXPECT_EQ(host.memoryFileErrors[0].path, memoryFile.DefaultFilePath());
  EXPECT_EQ(ReadAll(memoryFile.DefaultFilePath()), old);
  EXPECT_EQ(FilesIn(QFileInfo(filler).path()),
            (QStringList{QStringLiteral("Sorvanel.mem"), QStringLiteral("filler")}));

  ASSERT_TRUE(QFile::remove(filler));
  EXPECT_TRUE(memoryFile.SaveMemoryFile(QString()));
  EXPECT_EQ(ReadAll(memoryFile.DefaultFilePath()), BuildMemoryFile(ImageOf(3)));
}

TEST_F(FullDisk, SettingsSaveKeepsTheOldFileAndWorksOnceThereIsRoom) {
  const QString path = disk.PathOf(QStringLiteral("sorvanel.ini"));
  const QByteArray old = "[Other]\nKeep=1\n[Sorvanel]\nPort=ttyUSB0\nLanguage=1\n";
  WriteAll(path, old);
  TProgramSettings settings = ParseSettings(old);
  settings.Port = QString(3000, u'x');  // the new text no longer fits

  const QString filler = disk.FillUp();
  EXPECT_FALSE(WriteSettingsFile(path, settings));
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(FilesIn(QFileInfo(path).path()),
            (QStringList{QStringLiteral("filler"), QStringLiteral("sorvanel.ini")}));

  ASSERT_TRUE(QFile::remove(filler));
  EXPECT_TRUE(WriteSettingsFile(path, settings));
  EXPECT_EQ(ReadSettingsFile(path).Port, QString(TIniFile::kMaxValueLength, u'x'));
  EXPECT_TRUE(ReadAll(path).startsWith("[Other]\nKeep=1\n"));
}

// --- settings files that are not what they should be ---

class SettingsFileFaults : public testing::Test {
 protected:
  QString PathOf(const QString &name) const { return QDir(folder.path()).filePath(name); }
  QTemporaryDir folder;
};

// A FIFO where the settings file should be would block a plain open until
// some writer came along; the start must not wait for it.
TEST_F(SettingsFileFaults, FifoInPlaceOfTheFileGivesTheDefaultsAtOnce) {
  const QString path = PathOf(QStringLiteral("sorvanel.ini"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

  auto reading = std::async(std::launch::async, [&path] { return ReadSettingsFile(path); });
  if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Free the reader so the test can end, then fail.
    QFile writer(path);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
    writer.close();
    ADD_FAILURE() << "reading a FIFO settings file waited for a writer";
  }
  const TProgramSettings settings = reading.get();
  EXPECT_EQ(settings.Left, TProgramSettings{}.Left);
  EXPECT_FALSE(WriteSettingsFile(path, settings));
}

TEST_F(SettingsFileFaults, HugeFileIsReadAndSavedWhole) {
  const QString path = PathOf(QStringLiteral("sorvanel.ini"));
  QByteArray text;
  const QByteArray junkLine = QByteArray(200, '#') + "\n";
  for (int i = 0; i < 20000; ++i) {  // 4 MB ahead of the section
    text += junkLine;
  }
  text += "[Sorvanel]\nLanguage=1\nSize=1\nPort=" + QByteArray(1 << 20, 'p') + "\n";
  WriteAll(path, text);

  const TProgramSettings settings = ReadSettingsFile(path);
  EXPECT_EQ(settings.Language, kLanguageEnglish);
  EXPECT_EQ(settings.Size, 1);
  EXPECT_EQ(settings.Port.size(), TIniFile::kMaxValueLength);

  ASSERT_TRUE(WriteSettingsFile(path, settings));
  const QByteArray saved = ReadAll(path);
  EXPECT_TRUE(saved.startsWith(text.left(20000 * junkLine.size())));
  EXPECT_EQ(ReadSettingsFile(path).Port, settings.Port);
}

// 10 MB of empty lines took 2 GB while the file was held (a record per line);
// 100 000 duplicate sections were erased one by one, in quadratic time. Held
// now, such files cost about their own size, and a save erases the keys of
// every such section and keeps everything else.
TEST_F(SettingsFileFaults, BigFilesCostAboutTheirOwnSize) {
  const QByteArray emptyLines(10 * 1000 * 1000, '\n');
  const size_t heapBefore = HeapBytesInUse();
  {
    const TIniFile file = TIniFile::Parse(emptyLines);
    EXPECT_LE(HeapBytesInUse(), heapBefore + 24 * 1024 * 1024);
    EXPECT_FALSE(file.HasSection(QStringLiteral("Sorvanel")));
  }
  TProgramSettings settings;
  settings.Language = kLanguageEnglish;
  const QByteArray saved = MergeSettings(emptyLines, settings);
  EXPECT_TRUE(saved.startsWith(emptyLines));
  EXPECT_EQ(ParseSettings(saved).Language, kLanguageEnglish);

  QByteArray duplicates = "[Other]\nKeep=1\n";
  for (int i = 0; i < 100000; ++i) {
    duplicates += "[Sorvanel]\nA=1\n";
  }
  const QByteArray merged = MergeSettings(duplicates, settings);
  EXPECT_TRUE(merged.startsWith("[Other]\nKeep=1\n[Sorvanel]\nPort=\n"));
  EXPECT_EQ(merged.count("[Sorvanel]"), 100000);
  EXPECT_EQ(merged.count("A=1"), 0);
  EXPECT_EQ(ParseSettings(merged).Language, kLanguageEnglish);
}

}  // namespace

#include "settings_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "atomic_file.h"
#include "file_size_limit.h"

namespace {

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

mode_t ModeOf(const QString &path) {
  struct stat info = {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  return info.st_mode & 07777;
}

TProgramSettings Parse(const char *section) {
  return ParseSettings(QByteArray(section));
}

TEST(SettingsFilePath, ExtensionIsReplacedOrAppended) {
  EXPECT_EQ(SettingsFilePath("build/sorvanel"), "build/sorvanel.ini");
  EXPECT_EQ(SettingsFilePath("/opt/x/Sorvanel.exe"), "/opt/x/Sorvanel.ini");
  EXPECT_EQ(SettingsFilePath("/opt/x.d/sorvanel"), "/opt/x.d/sorvanel.ini");
  EXPECT_EQ(SettingsFilePath("/opt/.sorvanel"), "/opt/.sorvanel.ini");
}

TEST(SettingsReading, NoFileGivesTheDefaults) {
  const TProgramSettings settings = ReadSettingsFile("/nonexistent/folder/sorvanel.ini");
  EXPECT_EQ(settings.Port, "");
  EXPECT_FALSE(settings.FindFreq);
  EXPECT_FALSE(settings.AlwaysOnTop);
  EXPECT_TRUE(settings.PTConnect);
  EXPECT_TRUE(settings.PTDisconnect);
  EXPECT_EQ(settings.Language, kLanguageHungarian);
  EXPECT_EQ(settings.Size, 0);
  EXPECT_EQ(settings.Left, 50);
  EXPECT_EQ(settings.Top, 50);
}

TEST(SettingsReading, AllNineKeysAreRead) {
  const TProgramSettings settings = Parse(
      "[sorvanel]\nport=ttyUSB0\nFINDFREQ=1\nAlwaysOnTop=1\nPTConnect=0\nPTDisconnect=0\n"
      "Language=1\nSize=1\nLeft=300\nTop=$20\n");
  EXPECT_EQ(settings.Port, "ttyUSB0");
  EXPECT_TRUE(settings.FindFreq);
  EXPECT_TRUE(settings.AlwaysOnTop);
  EXPECT_FALSE(settings.PTConnect);
  EXPECT_FALSE(settings.PTDisconnect);
  EXPECT_EQ(settings.Language, kLanguageEnglish);
  EXPECT_EQ(settings.Size, 1);
  EXPECT_EQ(settings.Left, 300);
  EXPECT_EQ(settings.Top, 32);
}

TEST(SettingsReading, OutOfRangeValuesAreClamped) {
  EXPECT_EQ(Parse("[Sorvanel]\nLanguage=5").Language, kLanguageHungarian);
  EXPECT_EQ(Parse("[Sorvanel]\nLanguage=-1").Language, kLanguageHungarian);
  EXPECT_EQ(Parse("[Sorvanel]\nLanguage=257").Language, kLanguageHungarian);
  EXPECT_EQ(Parse("[Sorvanel]\nSize=7").Size, 1);
  EXPECT_EQ(Parse("[Sorvanel]\nSize=-3").Size, 0);
  EXPECT_EQ(Parse("[Sorvanel]\nLeft=-20").Left, 0);
  EXPECT_EQ(Parse("[Sorvanel]\nTop=-1").Top, 0);
  // Beyond the 16-bit range a position stops at the largest one instead of
  // wrapping round to a negative or small value.
  EXPECT_EQ(Parse("[Sorvanel]\nLeft=40000").Left, 32767);
  EXPECT_EQ(Parse("[Sorvanel]\nTop=65586").Top, 32767);
}

TEST(SettingsReading, ValuesThatAreNotNumbersGiveDefaults) {
  EXPECT_FALSE(Parse("[Sorvanel]\nFindFreq=yes").FindFreq);
  EXPECT_TRUE(Parse("[Sorvanel]\nFindFreq=0x1").FindFreq);
  EXPECT_TRUE(Parse("[Sorvanel]\nFindFreq=$1").FindFreq);
  EXPECT_TRUE(Parse("[Sorvanel]\nPTConnect=on").PTConnect);
  EXPECT_FALSE(Parse("[Sorvanel]\nPTConnect=0").PTConnect);
  EXPECT_EQ(Parse("[Sorvanel]\nLeft=12abc\nTop=").Left, 50);
  EXPECT_EQ(Parse("[Sorvanel]\nTop=").Top, 50);
}

TEST(SettingsReading, KeysOutsideTheSectionAreIgnored) {
  const TProgramSettings settings = Parse("Language=1\n[Other]\nSize=1\n");
  EXPECT_EQ(settings.Language, kLanguageHungarian);
  EXPECT_EQ(settings.Size, 0);
}

TEST(SettingsSaving, SectionHoldsExactlyTheNineKeysInOrder) {
  TProgramSettings settings;
  settings.Port = "ttyS0";
  settings.Language = kLanguageEnglish;
  settings.Size = 1;
  settings.Left = -5;
  settings.Top = 600;
  settings.PTDisconnect = false;
  const QByteArray before = "[SORVANEL]\nTop=1\nExtra=keep?\nPort=old\n";
  EXPECT_EQ(MergeSettings(before, settings),
            "[SORVANEL]\nPort=ttyS0\nFindFreq=0\nSize=1\nAlwaysOnTop=0\nLeft=-5\nTop=600\n"
            "PTConnect=1\nPTDisconnect=0\nLanguage=1\n");
}

TEST(SettingsSaving, EverythingOutsideTheSectionIsKept) {
  const QByteArray before =
      "; settings of several programs\r\n[First]\r\nA = 1\r\n\r\n[Sorvanel]\r\n; mine\r\n"
      "Port=x\r\n\r\n[Last]\r\nB=2";
  const QByteArray after = MergeSettings(before, TProgramSettings{});
  EXPECT_EQ(after,
            "; settings of several programs\r\n[First]\r\nA = 1\r\n\r\n[Sorvanel]\r\n; mine\r\n"
            "Port=\r\nFindFreq=0\r\nSize=0\r\nAlwaysOnTop=0\r\nLeft=50\r\nTop=50\r\n"
            "PTConnect=1\r\nPTDisconnect=1\r\nLanguage=0\r\n\r\n[Last]\r\nB=2");
}

TEST(SettingsSaving, PortIsNotRememberedDuringConverterSearch) {
  TProgramSettings settings;
  settings.Port = "ttyUSB3";
  settings.FindFreq = true;
  const TProgramSettings reread = ParseSettings(MergeSettings({}, settings));
  EXPECT_EQ(reread.Port, "");
  EXPECT_TRUE(reread.FindFreq);
  EXPECT_TRUE(MergeSettings({}, settings).startsWith("[Sorvanel]\nPort=\nFindFreq=1\n"));
}

TEST(NetworkPortsSection, EntriesAreReadAsWrittenAndSavedInTheirOrderKeepingComments) {
  const QByteArray before =
      "[NetworkPorts]\n; the plant's device servers\nHall 2 = rfc2217://10.0.0.7:2217\n"
      "Bad=not a url\nhall 2=socket://ignored:1\nLab=socket://[::1]:4000\n\n[Sorvanel]\n";
  TProgramSettings settings = ParseSettings(before);
  const TNetworkPorts read = {{"Hall 2", "rfc2217://10.0.0.7:2217"},
                              {"Bad", "not a url"},  // kept for the user to mend
                              {"Lab", "socket://[::1]:4000"}};
  EXPECT_EQ(settings.NetworkPorts, read);
  EXPECT_EQ(NetworkPortUrl(read, "Lab"), "socket://[::1]:4000");
  EXPECT_EQ(NetworkPortUrl(read, "lab"), "");

  settings.NetworkPorts.erase(settings.NetworkPorts.begin() + 1);
  settings.NetworkPorts.push_back({"Anbau", "socket://192.168.1.9:4001"});
  const QByteArray after = MergeSettings(before, settings);
  EXPECT_TRUE(after.startsWith(
      "[NetworkPorts]\n; the plant's device servers\nHall 2=rfc2217://10.0.0.7:2217\n"
      "Lab=socket://[::1]:4000\nAnbau=socket://192.168.1.9:4001\n\n[Sorvanel]\n"));
  EXPECT_EQ(ParseSettings(after).NetworkPorts, settings.NetworkPorts);
  // Without network ports no section is added.
  EXPECT_FALSE(MergeSettings({}, TProgramSettings{}).contains("NetworkPorts"));
}

// A URL the file cannot give whole is refused, not cut, and its line is
// saved back whole until a port of its name takes its place.
TEST(NetworkPortsSection, OverlongUrlIsRefusedAndItsLineSavedBackWhole) {
  const QByteArray longUrl = "socket://" + QByteArray(10273 - 9, 'h');
  const QByteArray longLine = "Far = " + longUrl + "\r";
  const QByteArray before = "[NetworkPorts]\nNear=socket://127.0.0.1:4000\n" + longLine +
                            "\nFar=socket://127.0.0.1:4001\nEnd=socket://127.0.0.1:4002\n";
  TProgramSettings settings = ParseSettings(before);
  EXPECT_EQ(settings.RefusedNetworkPorts, QStringList{"Far"});
  const TNetworkPorts taken = {{"Near", "socket://127.0.0.1:4000"},
                               {"Far", "socket://127.0.0.1:4001"},
                               {"End", "socket://127.0.0.1:4002"}};
  EXPECT_EQ(settings.NetworkPorts, taken);

  settings.NetworkPorts.erase(settings.NetworkPorts.begin() + 1);
  const QByteArray after = MergeSettings(before, settings);
  // Like a comment, the line stays where it was; the ports follow it.
  EXPECT_TRUE(after.startsWith("[NetworkPorts]\n" + longLine +
                               "\nNear=socket://127.0.0.1:4000\nEnd=socket://127.0.0.1:4002\n"))
      << after.left(80).toStdString();
  EXPECT_EQ(ParseSettings(after).RefusedNetworkPorts, QStringList{"Far"});

  settings.NetworkPorts.push_back({"far", "socket://127.0.0.1:4003"});
  const QByteArray replaced = MergeSettings(after, settings);
  EXPECT_FALSE(replaced.contains(longUrl));
  EXPECT_TRUE(ParseSettings(replaced).RefusedNetworkPorts.isEmpty());
  const TNetworkPorts inItsPlace = {{"far", "socket://127.0.0.1:4003"},
                                    {"Near", "socket://127.0.0.1:4000"},
                                    {"End", "socket://127.0.0.1:4002"}};
  EXPECT_EQ(ParseSettings(replaced).NetworkPorts, inItsPlace);
}

TEST(NetworkPortsSection, NamesTheMenuCanListAndTheFileCanHold) {
  for (const char *good : {"Hall 2", "plant-7", "ttyS0 over LAN", "Gép"}) {
    EXPECT_TRUE(IsValidNetworkPortName(QString::fromUtf8(good))) << good;
  }
  for (const char *bad : {"", " lead", "trail ", "-", "USB1", "USBplant", "a=b", "[x]", ";x",
                          "two\nlines", "tab\there"}) {
    EXPECT_FALSE(IsValidNetworkPortName(QString::fromUtf8(bad))) << bad;
  }
}

class SettingsFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    path_ = folder_.filePath("sorvanel.ini");
  }
  QStringList FolderEntries() const {
    return QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }

  QTemporaryDir folder_;
  QString path_;
};

TEST_F(SettingsFileOnDisk, RoundTripKeepsEveryValue) {
  TProgramSettings settings;
  settings.Port = QString::fromUtf8("USB2");
  settings.AlwaysOnTop = true;
  settings.PTConnect = false;
  settings.Language = kLanguageEnglish;
  settings.Size = 1;
  settings.Left = 0;
  settings.Top = 32767;
  ASSERT_TRUE(WriteSettingsFile(path_, settings));
  const TProgramSettings reread = ReadSettingsFile(path_);
  EXPECT_EQ(reread.Port, settings.Port);
  EXPECT_EQ(reread.FindFreq, settings.FindFreq);
  EXPECT_EQ(reread.AlwaysOnTop, settings.AlwaysOnTop);
  EXPECT_EQ(reread.PTConnect, settings.PTConnect);
  EXPECT_EQ(reread.PTDisconnect, settings.PTDisconnect);
  EXPECT_EQ(reread.Language, settings.Language);
  EXPECT_EQ(reread.Size, settings.Size);
  EXPECT_EQ(reread.Left, settings.Left);
  EXPECT_EQ(reread.Top, settings.Top);
  EXPECT_EQ(FolderEntries(), QStringList{"sorvanel.ini"});  // no temporary file left
}

TEST_F(SettingsFileOnDisk, SaveKeepsOtherSectionsAndPermissionBits) {
  WriteAll(path_, "[Other]\nK=1\n[Sorvanel]\nLeft=1\n");
  ASSERT_EQ(::chmod(QFile::encodeName(path_).constData(), 0640), 0);
  ASSERT_TRUE(WriteSettingsFile(path_, TProgramSettings{}));
  EXPECT_TRUE(ReadAll(path_).startsWith("[Other]\nK=1\n[Sorvanel]\nPort=\n"));
  EXPECT_EQ(ModeOf(path_), 0640u);
}

TEST_F(SettingsFileOnDisk, ReadOnlyFileIsRefusedAndUntouched) {
  const QByteArray old = "[Sorvanel]\nLanguage=1\n";
  WriteAll(path_, old);
  // Without the owner write bit the file counts as read-only even for a
  // privileged user who could write it anyway.
  ASSERT_EQ(::chmod(QFile::encodeName(path_).constData(), 0444), 0);
  EXPECT_FALSE(WriteSettingsFile(path_, TProgramSettings{}));
  EXPECT_EQ(ReadAll(path_), old);
  EXPECT_EQ(ModeOf(path_), 0444u);
  EXPECT_EQ(FolderEntries(), QStringList{"sorvanel.ini"});
}

TEST_F(SettingsFileOnDisk, FolderThatIsNotAFileIsRefused) {
  ASSERT_TRUE(QDir(folder_.path()).mkdir("sorvanel.ini"));
  EXPECT_FALSE(WriteSettingsFile(path_, TProgramSettings{}));
  EXPECT_TRUE(QFileInfo(path_).isDir());
}

TEST_F(SettingsFileOnDisk, MissingFolderFails) {
  EXPECT_FALSE(WriteSettingsFile(folder_.filePath("no/such/sorvanel.ini"), TProgramSettings{}));
}

// Saves as an unprivileged user: in a child process that drops to nobody
// when the test runs as root. 'sizeLimit' (0: none) stands in for a disk
// that fills up.
bool SaveAsUnprivilegedUser(const QString &path, const TProgramSettings &settings,
                            rlim_t sizeLimit = 0) {
  const auto save = [&] {
    if (sizeLimit == 0) {
      return WriteSettingsFile(path, settings);
    }
    const TFileSizeLimit limit(sizeLimit);
    return WriteSettingsFile(path, settings);
  };
  if (::geteuid() != 0) {
    return save();
  }
  const pid_t child = ::fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    const bool dropped = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    ::_exit(!dropped ? 2 : save() ? 1 : 0);
  }
  int status = -1;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 2) << "could not become nobody";
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

// A folder that cannot be written, a file that can (through its other bits,
// for a user who does not own it): the save writes the file in place and
// says so. A disk too full for the longer content refuses the save before
// any old byte is touched, and says that.
TEST_F(SettingsFileOnDisk, UnwritableFolderWritesTheFileInPlaceAndTellsWhetherItDid) {
  const QByteArray old = "[Other]\nK=1\n[Sorvanel]\nSize=1\n";
  WriteAll(path_, old);
  const QByteArray folder = QFile::encodeName(folder_.path());
  ASSERT_EQ(::chmod(QFile::encodeName(path_).constData(), 0666), 0);
  ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
  TProgramSettings settings;
  settings.Language = kLanguageEnglish;
  const bool savedOnAFullDisk =
      SaveAsUnprivilegedUser(path_, settings, static_cast<rlim_t>(old.size()));
  const QByteArray afterTheFullDisk = ReadAll(path_);
  const bool saved = SaveAsUnprivilegedUser(path_, settings);
  ::chmod(folder.constData(), 0700);

  EXPECT_FALSE(savedOnAFullDisk);
  EXPECT_EQ(afterTheFullDisk, old);
  EXPECT_TRUE(saved);
  EXPECT_EQ(ReadSettingsFile(path_).Language, kLanguageEnglish);
  EXPECT_TRUE(ReadAll(path_).startsWith("[Other]\nK=1\n[Sorvanel]\nPort=\n"));
  EXPECT_EQ(ModeOf(path_), 0666u);
  EXPECT_EQ(FolderEntries(), QStringList{"sorvanel.ini"});
}

// A program killed between writing and renaming leaves its temporary file;
// the next start removes those of its own files and nothing else.
TEST_F(SettingsFileOnDisk, LeftoverTemporaryFilesOfTheProgramAreRemoved) {
  WriteAll(path_, "[Sorvanel]\n");
  for (const char *name : {".sorvanel.ini.0123abcd.tmp", ".sorvanel.ini.0123abcd.tmp.keep",
                           ".other.ini.0123abcd.tmp", ".sorvanel.ini.nothex!!.tmp"}) {
    WriteAll(folder_.filePath(QString::fromLatin1(name)), "x");
  }
  ASSERT_TRUE(QFile::link(path_, folder_.filePath(".sorvanel.ini.89abcdef.tmp")));
  RemoveLeftoverTemporaryFiles(path_);
  EXPECT_EQ(
      FolderEntries(),
      (QStringList{".other.ini.0123abcd.tmp", ".sorvanel.ini.0123abcd.tmp.keep",
                   ".sorvanel.ini.89abcdef.tmp", ".sorvanel.ini.nothex!!.tmp", "sorvanel.ini"}));
}

// A file that starts with a UTF-8 byte order mark is read as if it were not
// there and written back with it: its section is found, not added again.
TEST_F(SettingsFileOnDisk, ByteOrderMarkIsReadPastAndKept) {
  WriteAll(path_, "\xEF\xBB\xBF[Sorvanel]\nLanguage=1\n[Other]\nK=1\n");
  TProgramSettings settings = ReadSettingsFile(path_);
  EXPECT_EQ(settings.Language, kLanguageEnglish);
  settings.Size = 1;
  ASSERT_TRUE(WriteSettingsFile(path_, settings));
  const QByteArray saved = ReadAll(path_);
  EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[Sorvanel]\nPort=\nFindFreq=0\nSize=1\n"));
  EXPECT_EQ(saved.count("[Sorvanel]"), 1);
  EXPECT_TRUE(saved.endsWith("[Other]\nK=1\n"));
}

// A write that fails half-way (here: the file size limit) must not cost the
// previous file: it stays whole and the partial temporary file is removed.
TEST_F(SettingsFileOnDisk, FailedWriteKeepsOldFileWhole) {
  const QByteArray old = "[Sorvanel]\nPort=ttyS1\n";
  WriteAll(path_, old);
  bool written = true;
  {
    TFileSizeLimit limit(16);
    written = WriteSettingsFile(path_, TProgramSettings{});
  }
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadAll(path_), old);
  EXPECT_EQ(FolderEntries(), QStringList{"sorvanel.ini"});
}

TEST_F(SettingsFileOnDisk, SymbolicLinkIsFollowedAndKept) {
  const QString real = folder_.filePath("real.ini");
  WriteAll(real, "[Other]\nK=1\n");
  ASSERT_TRUE(QFile::link(real, path_));
  ASSERT_TRUE(WriteSettingsFile(path_, TProgramSettings{}));
  EXPECT_TRUE(QFileInfo(path_).isSymLink());
  EXPECT_TRUE(ReadAll(real).startsWith("[Other]\nK=1\n[Sorvanel]\n"));
}

}  // namespace

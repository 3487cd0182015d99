// Where the program keeps its files (build folder or installed) and what its command line asks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "command_line.h"
#include "file_locations.h"

namespace {

QStringList Line(std::initializer_list<const char *> arguments) {
  QStringList line{QStringLiteral("sorvanel")};
  for (const char *argument : arguments) {
    line.append(QString::fromUtf8(argument));
  }
  return line;
}

TEST(CommandLine, OptionsWithTheirValuesInBothSpellings) {
  const TCommandLine line = ParseCommandLine(
      Line({"--port", "ttyUSB0", "--settings=drive a.ini", "--memory", "/m/a.mem"}));
  EXPECT_EQ(line.action, TCommandLineAction::Run);
  EXPECT_EQ(line.options.port, QStringLiteral("ttyUSB0"));
  EXPECT_EQ(line.options.settingsFile, QStringLiteral("drive a.ini"));
  EXPECT_EQ(line.options.memoryFile, QStringLiteral("/m/a.mem"));
  const TCommandLine watched =
      ParseCommandLine(Line({"--capture", "/tmp/line.jsonl", "--monitor", "--automation"}));
  EXPECT_EQ(watched.options.captureFile, QStringLiteral("/tmp/line.jsonl"));
  EXPECT_TRUE(watched.options.monitor);
  EXPECT_TRUE(watched.options.automation);

  const TCommandLine plain = ParseCommandLine(Line({}));
  EXPECT_EQ(plain.action, TCommandLineAction::Run);
  EXPECT_TRUE(plain.options.port.isEmpty() && plain.options.settingsFile.isEmpty() &&
              plain.options.memoryFile.isEmpty() && plain.options.captureFile.isEmpty() &&
              !plain.options.monitor && !plain.options.automation);
  // The window system's own options are left to it.
  EXPECT_EQ(ParseCommandLine(Line({"-platform", "offscreen"})).action, TCommandLineAction::Run);
}

TEST(CommandLine, HelpAndVersionEndTheStartAndEveryMistakeIsRefused) {
  for (const char *help : {"--help", "-h", "-help"}) {
    EXPECT_EQ(ParseCommandLine(Line({help})).action, TCommandLineAction::ShowHelp) << help;
  }
  EXPECT_EQ(ParseCommandLine(Line({"--version"})).action, TCommandLineAction::ShowVersion);
  EXPECT_EQ(VersionText(), QStringLiteral("sorvanel 9.1.2"));
  for (const QStringList &bad :
       {Line({"--bogus"}), Line({"--port"}), Line({"file.mem"}), Line({"--settings="}),
        Line({"--port", "A", "--port", "B"}), Line({"-x"}), Line({"--help", "--nothing"})}) {
    const TCommandLine line = ParseCommandLine(bad);
    EXPECT_EQ(line.action, TCommandLineAction::Refuse) << bad.join(u' ').toStdString();
    EXPECT_FALSE(line.error.isEmpty());
  }
  EXPECT_TRUE(UsageText().startsWith(QStringLiteral("Usage: sorvanel [options]\n")));
  for (const char *option :
       {"--port <NAME>", "--settings <FILE>", "--memory <FILE>", "--capture <FILE>", "--monitor",
        "--automation", "-h, --help", "--version"}) {
    EXPECT_TRUE(UsageText().contains(QString::fromLatin1(option))) << option;
  }
}

// The options a text lists: those of --help's option lines, or those of the man page's tagged
// paragraphs (the line after each ".TP").
QStringList UsageOptions(const QString &usage) {
  QStringList options;
  static const QRegularExpression line(QStringLiteral("^  (-[^ ,]+)(?:, (--[^ ]+))?"),
                                       QRegularExpression::MultilineOption);
  for (const QRegularExpressionMatch &match : line.globalMatch(usage)) {
    options << match.captured(1);
    if (match.hasCaptured(2)) {
      options << match.captured(2);
    }
  }
  options.sort();
  return options;
}

QStringList ManPageOptions(const QString &page) {
  QStringList options;
  const QStringList lines =
      QString(page).replace(QStringLiteral("\\-"), QStringLiteral("-")).split(u'\n');
  static const QRegularExpression option(QStringLiteral("(?:^|[ \"])(--?[a-z][a-z-]*)"));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    if (lines[i - 1] == QStringLiteral(".TP")) {
      for (const QRegularExpressionMatch &match : option.globalMatch(lines[i])) {
        options << match.captured(1);
      }
    }
  }
  options.sort();
  return options;
}

TEST(CommandLine, TheManPageDescribesExactlyTheOptionsOfTheUsage) {
  QFile page(QStringLiteral(SORVANEL_MAN_PAGE));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << SORVANEL_MAN_PAGE;
  const QStringList fromUsage = UsageOptions(UsageText());
  EXPECT_TRUE(fromUsage.contains(QStringLiteral("--monitor"))) << UsageText().toStdString();
  EXPECT_EQ(ManPageOptions(QString::fromUtf8(page.readAll())).join(u' ').toStdString(),
            fromUsage.join(u' ').toStdString());
}

class FileLocations : public ::testing::Test {
 protected:
  QString Path(const QString &relative) const { return root.filePath(relative); }
  QTemporaryDir dir;
  QDir root{dir.path()};
};

TEST_F(FileLocations, BuildFolderKeepsTheFilesBesideTheProgram) {
  ASSERT_TRUE(root.mkpath(QStringLiteral("build")));
  const QString program = Path(QStringLiteral("build/sorvanel"));
  EXPECT_TRUE(InstalledDataFolder(program).isEmpty());
  const TFileLocations files = LocateFiles(program);
  EXPECT_EQ(files.settingsFile, Path(QStringLiteral("build/sorvanel.ini")));
  EXPECT_EQ(files.memoryFile, Path(QStringLiteral("build/Sorvanel.mem")));
  EXPECT_EQ(files.helpFile, Path(QStringLiteral("build/help/sorvanel.html")));
}

TEST_F(FileLocations, InstalledProgramUsesItsDataFolderAndTheXdgFolders) {
  // The layout of an install under any prefix: bin/ and share/sorvanel/ side by side.
  ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/bin")));
  ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/share/sorvanel/help")));
  const QString program = Path(QStringLiteral("prefix/bin/sorvanel"));
  ASSERT_EQ(InstalledDataFolder(program), Path(QStringLiteral("prefix/share/sorvanel")));

  const TFileLocations files =
      InstalledFiles(InstalledDataFolder(program), QStringLiteral("/c"), QStringLiteral("/d"));
  EXPECT_EQ(files.settingsFile, QStringLiteral("/c/sorvanel/sorvanel.ini"));
  EXPECT_EQ(files.memoryFile, QStringLiteral("/d/sorvanel/Sorvanel.mem"));
  EXPECT_EQ(files.helpFile, Path(QStringLiteral("prefix/share/sorvanel/help/sorvanel.html")));

  // XDG variables count only when they hold an absolute path.
  const QString home = QStringLiteral("/home/t");
  const QString fallback = QStringLiteral(".config");
  EXPECT_EQ(XdgBaseFolder(QStringLiteral("/x/conf/"), home, fallback), QStringLiteral("/x/conf"));
  EXPECT_EQ(XdgBaseFolder(QString(), home, fallback), QStringLiteral("/home/t/.config"));
  EXPECT_EQ(XdgBaseFolder(QStringLiteral("conf"), home, fallback),
            QStringLiteral("/home/t/.config"));
}

// A folder named by bytes that are not UTF-8 would, as text, be another
// folder: its files are left unnamed and the problem names it.
TEST_F(FileLocations, FoldersThatAreNotUtf8LeaveTheirFilesUnnamed) {
  ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/bin")));
  ASSERT_TRUE(root.mkpath(QStringLiteral("prefix/share/sorvanel")));
  const QByteArray program = QFile::encodeName(Path(QStringLiteral("prefix/bin/sorvanel")));
  QString problem;
  TFileLocations files = LocateFiles(program, {"/home/t\xff", QByteArray(), "/d"}, &problem);
  EXPECT_TRUE(files.settingsFile.isEmpty());
  EXPECT_EQ(files.memoryFile, QStringLiteral("/d/sorvanel/Sorvanel.mem"));
  EXPECT_TRUE(problem.startsWith(QStringLiteral("$HOME '/home/t\\xFF' is not valid UTF-8")))
      << problem.toStdString();

  files = LocateFiles(program, {"/home/t", "/c\xc3", "relative\xff"}, &problem);
  EXPECT_TRUE(files.settingsFile.isEmpty());
  EXPECT_EQ(files.memoryFile, QStringLiteral("/home/t/.local/share/sorvanel/Sorvanel.mem"));
  EXPECT_TRUE(problem.startsWith(QStringLiteral("$XDG_CONFIG_HOME '/c\\xC3'")))
      << problem.toStdString();

  files = LocateFiles(program + "\xff", {"/home/t", "/c", "/d"}, &problem);
  EXPECT_TRUE(files.settingsFile.isEmpty() && files.memoryFile.isEmpty());
  EXPECT_TRUE(problem.startsWith(QStringLiteral("the program's path"))) << problem.toStdString();
}

TEST_F(FileLocations, ChosenSettingsFileBringsItsOwnMemoryFileAndFoldersAreMadePrivate) {
  const TFileLocations located{QStringLiteral("/c/sorvanel/sorvanel.ini"),
                               QStringLiteral("/d/sorvanel/Sorvanel.mem"),
                               QStringLiteral("/h/sorvanel.html")};
  const QString settings = Path(QStringLiteral("drives/a/line.2.ini"));
  TFileLocations chosen = ChooseFiles(located, settings, QString());
  EXPECT_EQ(chosen.settingsFile, settings);
  EXPECT_EQ(chosen.memoryFile, Path(QStringLiteral("drives/a/line.2.mem")));
  EXPECT_EQ(chosen.helpFile, located.helpFile);
  EXPECT_EQ(ChooseFiles(located, settings, QStringLiteral("/m/x.mem")).memoryFile,
            QStringLiteral("/m/x.mem"));
  EXPECT_EQ(ChooseFiles(located, QString(), QStringLiteral("/m/x.mem")).settingsFile,
            located.settingsFile);
  EXPECT_TRUE(QFileInfo(ChooseFiles(located, QStringLiteral("rel.ini"), QString()).memoryFile)
                  .isAbsolute());

  chosen.memoryFile = Path(QStringLiteral("data/deep/sorvanel/Sorvanel.mem"));
  ASSERT_TRUE(CreateFileFolders(chosen));
  for (const QString &folder : {QStringLiteral("drives/a"), QStringLiteral("data/deep/sorvanel")}) {
    struct stat info = {};
    ASSERT_EQ(stat(QFile::encodeName(Path(folder)).constData(), &info), 0) << folder.toStdString();
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder.toStdString();
  }
  EXPECT_TRUE(CreateFileFolders(chosen)) << "folders that exist are fine";
  ASSERT_TRUE(root.mkpath(QStringLiteral("ro")));
  QFile::setPermissions(Path(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner);
  chosen.settingsFile = Path(QStringLiteral("ro/sub/s.ini"));
  if (geteuid() != 0) {  // root writes anywhere
    EXPECT_FALSE(CreateFileFolders(chosen));
  }
}

}  // namespace

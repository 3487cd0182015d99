// The program started with command-line options, as a process: a bad command line is refused
// before any window opens, and two programs with their own settings files run side by side,
// each on the port named on its command line, without touching each other's files.
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <functional>

#include "file_locations.h"

#include "program_fixture.h"
#include "pty_drive.h"

namespace integration {
namespace {

constexpr char kUsageHead[] = "Usage: sorvanel [options]";

class StartOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folders.Valid());
    ASSERT_TRUE(QDir().mkpath(Home()));
    ASSERT_TRUE(folders.CopyProgram());
  }

  QString Home() const { return folders.Root() + QStringLiteral("/home"); }

  // Offscreen, with a home and a runtime folder of the test's own.
  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = folders.ProgramEnvironment();
    environment.insert(QStringLiteral("HOME"), Home());
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    return environment;
  }

  // Files the program left beside itself or in the home folder.
  QStringList StrayFiles() const {
    QStringList found = QDir(folders.ProgramFolder()).entryList(QDir::Files | QDir::Hidden);
    found.removeOne(QStringLiteral("sorvanel"));
    found += QDir(Home()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return found;
  }

  TProgramFolders folders;
};

struct TRun {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

TRun RunToEnd(const QString &program, const QStringList &arguments,
              const QProcessEnvironment &environment) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST_F(StartOptions, BadCommandLineIsRefusedWithTheUsageBeforeAnyWindow) {
  // Without a display a window could not even start: the program would abort, not exit with 2.
  QProcessEnvironment headless = Environment();
  headless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  headless.remove(QStringLiteral("DISPLAY"));
  headless.remove(QStringLiteral("WAYLAND_DISPLAY"));
  const QList<QStringList> badLines = {
      {QStringLiteral("--bogus")},
      {QStringLiteral("--port")},
      {QStringLiteral("stray-argument")},
      {QStringLiteral("--settings"), QStringLiteral("a.ini"), QStringLiteral("--settings"),
       QStringLiteral("b.ini")},
      {QStringLiteral("--memory=")},
  };
  for (const QStringList &arguments : badLines) {
    const TRun run = RunToEnd(folders.ProgramPath(), arguments, headless);
    EXPECT_EQ(run.exitCode, 2) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(run.err.contains(kUsageHead)) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
  }

  const TRun version = RunToEnd(folders.ProgramPath(), {QStringLiteral("--version")}, headless);
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, QByteArray("sorvanel 9.1.2\n"));
  for (const QString &option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
    const TRun help = RunToEnd(folders.ProgramPath(), {option}, headless);
    EXPECT_EQ(help.exitCode, 0) << option.toStdString();
    EXPECT_TRUE(help.out.startsWith(kUsageHead)) << help.out.toStdString();
  }
  EXPECT_EQ(StrayFiles(), QStringList()) << "nothing may be written by a refused start";
}

// A name that is not UTF-8 would, as text, name another file ("set\xff.ini"
// would become "set\uFFFD.ini"): it is refused with a clear message before
// anything is written. The shell passes the bytes; "$1" is the program and
// "$2" the home folder.
TEST_F(StartOptions, NamesThatAreNotUtf8AreRefusedBeforeAnyFileIsMade) {
  QProcessEnvironment headless = Environment();
  headless.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  headless.remove(QStringLiteral("DISPLAY"));
  headless.remove(QStringLiteral("WAYLAND_DISPLAY"));
  const auto run = [&](const char *script) {
    return RunToEnd(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QString::fromLatin1(script), QStringLiteral("sh"),
                     folders.ProgramPath(), Home()},
                    headless);
  };

  // The home folder as the program sees it, without "..".
  const QByteArray home = QFile::encodeName(QFileInfo(Home()).canonicalFilePath());
  const auto exists = [&](const QByteArray &name) {
    return ::access((home + '/' + name).constData(), F_OK) == 0;
  };

  TRun refused = run(R"sh(exec "$1" --settings "$2/set$(printf '\377').ini")sh");
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.err.startsWith("sorvanel: '" + QFile::encodeName(Home()) +
                                     "/set\\xFF.ini' is not valid UTF-8"))
      << refused.err.toStdString();

  // A relative name in a current folder whose path is not UTF-8.
  refused = run(R"sh(cd "$2" && mkdir "cwd$(printf '\377')" && cd "cwd$(printf '\377')" && )sh"
                R"sh(exec "$1" --memory drive.mem)sh");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.contains("the current folder '" + home + "/cwd\\xFF' is not valid UTF-8"))
      << refused.err.toStdString();

  // The program itself in such a folder: its files would be beside it.
  refused = run(R"sh(mkdir "$2/bin$(printf '\377')" && cp "$1" "$2/bin$(printf '\377')/" && )sh"
                R"sh(exec "$2/bin$(printf '\377')/sorvanel")sh");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_TRUE(refused.err.contains("the program's path '" + home +
                                   "/bin\\xFF/sorvanel' is not valid UTF-8"))
      << refused.err.toStdString();

  // Nothing was written, neither under the names given nor under their text.
  for (const QByteArray name :
       {"set\xff.ini", "set\xef\xbf\xbd.ini", "cwd\xff/drive.mem", "bin\xff/sorvanel.ini",
        "bin\xff/Sorvanel.mem", "bin\xef\xbf\xbd"}) {
    EXPECT_FALSE(exists(name)) << name.toStdString();
  }
  EXPECT_TRUE(exists("bin\xff/sorvanel"));
  EXPECT_EQ(StrayFiles(), QStringList());
}

// A program on its own port, started with its own settings file.
struct TProgramOnLine {
  TProgramOnLine(const TProgramFolders &folders, const QProcessEnvironment &environment)
      : program(folders) {
    program.environment = environment;
  }
  bool Start(const QString &port, const QString &settings) {
    return program.StartTalkingTo(
        drive, port, {QStringLiteral("--settings"), settings, QStringLiteral("--port"), port});
  }
  TPtyDrive drive;
  TProgramProcess program;
};

TEST_F(StartOptions, TwoProgramsWithTheirOwnSettingsFilesKeepToTheirOwnFilesAndPorts) {
  const QString folderA = folders.RuntimeFolder() + QStringLiteral("/../a");
  const QString folderB = folders.RuntimeFolder() + QStringLiteral("/../b");
  ASSERT_TRUE(QDir().mkpath(folderA) && QDir().mkpath(folderB));
  const QString settingsA = folderA + QStringLiteral("/drive-a.ini");
  const QString settingsB = folderB + QStringLiteral("/drive-b.ini");
  // A's file names B's port: the command line's port wins.
  folders.WriteFile(settingsA, "[Sorvanel]\nPort=PTYB\nLanguage=1\n");
  folders.WriteFile(settingsB, "[Sorvanel]\nPort=\nLanguage=0\n");

  TProgramOnLine a(folders, Environment());
  TProgramOnLine b(folders, Environment());
  ASSERT_TRUE(a.Start(QStringLiteral("PTYA"), settingsA));
  ASSERT_TRUE(b.Start(QStringLiteral("PTYB"), settingsB));
  // Each holds the block written to it.
  ASSERT_TRUE(a.drive.WriteMemory(0x0100, std::vector<uint8_t>(16, 0xA1)));
  ASSERT_TRUE(b.drive.WriteMemory(0x0100, std::vector<uint8_t>(16, 0xB2)));
  ASSERT_TRUE(a.program.Terminate(30000));
  ASSERT_TRUE(b.program.Terminate(30000));

  const QByteArray iniA = folders.ReadFile(settingsA);
  const QByteArray iniB = folders.ReadFile(settingsB);
  // The port named on the command line was for that run only: each file keeps its own.
  EXPECT_TRUE(iniA.contains("Port=PTYB\n") && iniA.contains("Language=1\n")) << iniA.toStdString();
  EXPECT_TRUE(iniB.contains("Port=\n") && iniB.contains("Language=0\n")) << iniB.toStdString();
  const QByteArray memoryA = folders.ReadFile(folderA + QStringLiteral("/drive-a.mem"));
  const QByteArray memoryB = folders.ReadFile(folderB + QStringLiteral("/drive-b.mem"));
  ASSERT_EQ(memoryA.size(), 8227);
  ASSERT_EQ(memoryB.size(), 8227);
  EXPECT_EQ(memoryA.mid(35 + 0x0100, 16), QByteArray(16, '\xA1'));
  EXPECT_EQ(memoryB.mid(35 + 0x0100, 16), QByteArray(16, '\xB2'));
  EXPECT_EQ(StrayFiles(), QStringList()) << "no shared settings or memory file";
}

// The window as main() makes it for "--port GIVEN", with a settings file that names SAVED.
class CommandLinePort : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    folders.RegisterPort(QStringLiteral("SAVED"), saved.SlavePath());
    folders.RegisterPort(QStringLiteral("GIVEN"), given.SlavePath());
  }

  // One run from start to close; returns the settings file it left.
  QByteArray Run(const std::function<void()> &duringTheRun) {
    WriteSettings("[Sorvanel]\nPort=SAVED\n");
    window = std::make_unique<TForm_Sorvanel>(FilesBesideProgram(folders.ProgramPath()),
                                              QStringLiteral("GIVEN"));
    window->show();
    EXPECT_EQ(Window().DriveLink().Port().PortName(), QStringLiteral("GIVEN"));
    EXPECT_TRUE(Window().DriveLink().Port().Connected());
    duringTheRun();
    CloseWindow();
    return folders.ReadFile(folders.SettingsPath());
  }

  TPtyLine saved;
  TPtyLine given;
};

TEST_F(CommandLinePort, IsForThisRunOnlyUnlessAPortIsChosenInTheMenu) {
  const QByteArray untouched = Run([] {});
  EXPECT_TRUE(untouched.contains("Port=SAVED\n")) << untouched.toStdString();

  // Chosen in the menu, even the same port becomes the saved one.
  const QByteArray chosen = Run([this] {
    ASSERT_NE(PortItem(QStringLiteral("GIVEN")), nullptr);
    PortItem(QStringLiteral("GIVEN"))->trigger();
  });
  EXPECT_TRUE(chosen.contains("Port=GIVEN\n")) << chosen.toStdString();
}

}  // namespace
}  // namespace integration

// The program started with command-line options, as a process: a bad command line is refused
// before any window opens, and two programs with their own settings files run side by side,
// each on the port named on its command line, without touching each other's files.
#include <QProcess>

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
    ASSERT_TRUE(QFile::copy(QStringLiteral(SORVANEL_PROGRAM), folders.ProgramPath()));
  }

  QString Home() const { return folders.RuntimeFolder() + QStringLiteral("/../home"); }

  // Offscreen, with a home and a runtime folder of the test's own.
  QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folders.RuntimeFolder());
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

// A program on its own port, started with its own settings file.
class TProgramOnLine {
 public:
  TProgramOnLine(const TProgramFolders &folders, const QString &port, const QString &settings,
                 const QProcessEnvironment &environment) {
    folders.RegisterPort(port, line_.SlavePath());
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(folders.ProgramPath(),
                   {QStringLiteral("--settings"), settings, QStringLiteral("--port"), port});
    process_.waitForStarted(10000);
  }
  ~TProgramOnLine() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  // Sends the memory write until the program answers one (the first answers after a start
  // are held back), so the program runs its event loop and holds the written block.
  bool WriteMemoryUntilAnswered(uint16_t address, const std::vector<uint8_t> &data) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000 && process_.state() == QProcess::Running) {
      line_.Send(link_test::EncodeFrame(MemoryWritePayload(address, data)));
      if (line_.Received(100).contains('\x03')) {
        return true;
      }
    }
    return false;
  }

  // SIGTERM runs the closing steps: settings and memory file are saved.
  bool Terminate() {
    process_.terminate();
    return process_.waitForFinished(30000) && process_.exitStatus() == QProcess::NormalExit;
  }

 private:
  TPtyLine line_;
  QProcess process_;
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

  TProgramOnLine a(folders, QStringLiteral("PTYA"), settingsA, Environment());
  TProgramOnLine b(folders, QStringLiteral("PTYB"), settingsB, Environment());
  ASSERT_TRUE(a.WriteMemoryUntilAnswered(0x0100, std::vector<uint8_t>(16, 0xA1)));
  ASSERT_TRUE(b.WriteMemoryUntilAnswered(0x0100, std::vector<uint8_t>(16, 0xB2)));
  ASSERT_TRUE(a.Terminate());
  ASSERT_TRUE(b.Terminate());

  const QByteArray iniA = folders.ReadFile(settingsA);
  const QByteArray iniB = folders.ReadFile(settingsB);
  EXPECT_TRUE(iniA.contains("Port=PTYA\n") && iniA.contains("Language=1\n")) << iniA.toStdString();
  EXPECT_TRUE(iniB.contains("Port=PTYB\n") && iniB.contains("Language=0\n")) << iniB.toStdString();
  const QByteArray memoryA = folders.ReadFile(folderA + QStringLiteral("/drive-a.mem"));
  const QByteArray memoryB = folders.ReadFile(folderB + QStringLiteral("/drive-b.mem"));
  ASSERT_EQ(memoryA.size(), 8227);
  ASSERT_EQ(memoryB.size(), 8227);
  EXPECT_EQ(memoryA.mid(35 + 0x0100, 16), QByteArray(16, '\xA1'));
  EXPECT_EQ(memoryB.mid(35 + 0x0100, 16), QByteArray(16, '\xB2'));
  EXPECT_EQ(StrayFiles(), QStringList()) << "no shared settings or memory file";
}

}  // namespace
}  // namespace integration

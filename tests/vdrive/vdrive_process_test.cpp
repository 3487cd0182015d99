// The real vdrive program on a pseudo-terminal, with the test as its terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "bar_graph.h"
#include "display_text.h"
#include "terminal_player.h"
#include "unique_fd.h"

extern char **environ;

namespace vdrive_test {
namespace {

namespace fs = std::filesystem;

constexpr TTerminalButton kUp = 0x0104;
constexpr TTerminalButton kDisplay = 0x0120;
constexpr TTerminalButton kDown = 0x0101;
constexpr TTerminalButton kEscape = 0x0004;
constexpr TTerminalButton kEnter = 0x0008;
constexpr TTerminalButton kStart = 0x0001;

std::string Text(const char *utf8) {
  const auto line = vdrive::MakeLine(utf8);
  return std::string(line.begin(), line.end());
}

// A private runtime folder ($XDG_RUNTIME_DIR) for one test.
class RuntimeFolder {
 public:
  RuntimeFolder() {
    char pattern[] = "/tmp/vdrive-test-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~RuntimeFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string &Path() const { return path_; }
  std::string Ports() const { return path_ + "/sorvanel/ports"; }

 private:
  std::string path_;
};

class VdriveProcess {
 public:
  VdriveProcess(const RuntimeFolder &runtime, std::vector<std::string> args,
                const std::string &outName = "out.txt")
      : output_(runtime.Path() + "/" + outName) {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
      if (std::string_view(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) {
        env.emplace_back(*e);
      }
    }
    env.push_back("XDG_RUNTIME_DIR=" + runtime.Path());
    args.insert(args.begin(), VDRIVE_PROGRAM);
    std::vector<char *> argv;
    std::vector<char *> envp;
    for (auto &a : args) {
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    for (auto &e : env) {
      envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, VDRIVE_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~VdriveProcess() {
    if (pid_ > 0) {
      Stop(SIGKILL);
    }
  }

  pid_t Pid() const { return pid_; }

  // Sends the signal and waits for the exit; returns the wait status.
  int Stop(int signal) {
    ::kill(pid_, signal);
    return WaitExit(Millis(5000));
  }

  // Waits for the exit (-1 when it did not end in time).
  int WaitExit(Millis timeout) {
    const auto deadline = Steady::now() + timeout;
    int status = 0;
    while (Steady::now() < deadline) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(Millis(5));
    }
    return -1;
  }

  bool Running() {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
    }
    return pid_ > 0;
  }

  std::string Output() const {
    std::ifstream in(output_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  pid_t pid_ = -1;
  std::string output_;
};

bool WaitFor(const std::function<bool()> &condition, Millis timeout = Millis(5000)) {
  const auto deadline = Steady::now() + timeout;
  while (!condition()) {
    if (Steady::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(Millis(5));
  }
  return true;
}

bool IsLink(const std::string &path) {
  struct stat info = {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::map<std::string, std::string> ParseStats(const std::string &output) {
  std::map<std::string, std::string> values;
  std::istringstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos && line.rfind("vdrive", 0) != 0) {
      values[line.substr(0, colon)] = line.substr(colon + 2);
    }
  }
  return values;
}

TEST(PortRegistration, EntryPointsAtTheLivePortAndGoesAwayOnSigterm) {
  RuntimeFolder runtime;
  VdriveProcess drive(runtime, {"--name", "VDTEST"});
  const std::string entry = runtime.Ports() + "/VDTEST";
  ASSERT_TRUE(WaitFor([&] { return IsLink(entry); })) << drive.Output();
  const fs::path target = fs::read_symlink(entry);
  EXPECT_EQ(target.string().rfind("/dev/pts/", 0), 0u);
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(fs::status(runtime.Ports()).permissions() & fs::perms::all, fs::perms::owner_all);
  const int status = drive.Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(IsLink(entry));
  EXPECT_NE(drive.Output().find("VDTEST on " + target.string()), std::string::npos);
}

// True once the drive has said which tty it registered and the entry points
// there. Whether the entry merely resolves says nothing after a crash: the dead
// drive's tty number may already belong to another program's pseudo-terminal.
bool WaitForRegistration(const VdriveProcess &drive, const std::string &entry,
                         const std::string &name) {
  const std::string said = "vdrive: port " + name + " on ";
  return WaitFor([&] {
    const std::string output = drive.Output();
    const size_t start = output.find(said);
    if (start == std::string::npos) {
      return false;
    }
    const size_t from = start + said.size();
    const std::string tty = output.substr(from, output.find(' ', from) - from);
    std::error_code error;
    return fs::read_symlink(entry, error) == tty;
  });
}

TEST(PortRegistration, EntriesLeftByACrashAreReplaced) {
  RuntimeFolder runtime;
  const std::string entry = runtime.Ports() + "/VDRIVE1";
  {
    VdriveProcess killed(runtime, {});
    ASSERT_TRUE(WaitFor([&] { return IsLink(entry); }));
    killed.Stop(SIGKILL);  // no chance to clean up
  }
  ASSERT_TRUE(IsLink(entry));
  // Another program opens a pseudo-terminal and, as a rule, gets the dead
  // drive's tty number: the entry left behind resolves again.
  const vdrive::UniqueFd foreignPty(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(foreignPty.Valid());
  VdriveProcess second(runtime, {});
  ASSERT_TRUE(WaitForRegistration(second, entry, "VDRIVE1")) << second.Output();
  EXPECT_TRUE(second.Running());
  second.Stop(SIGTERM);
  EXPECT_FALSE(IsLink(entry));

  fs::create_symlink("/dev/pts/999999", entry);  // a dangling entry
  VdriveProcess third(runtime, {});
  ASSERT_TRUE(WaitForRegistration(third, entry, "VDRIVE1")) << third.Output();
  third.Stop(SIGINT);
  EXPECT_FALSE(IsLink(entry));
}

TEST(PortRegistration, LiveDriveAndForeignEntriesAreNeverTakenOver) {
  RuntimeFolder runtime;
  const std::string entry = runtime.Ports() + "/VDRIVE1";
  VdriveProcess first(runtime, {});
  ASSERT_TRUE(WaitFor([&] { return IsLink(entry); }));
  const fs::path target = fs::read_symlink(entry);
  VdriveProcess second(runtime, {}, "second.txt");
  const int status = second.WaitExit(Millis(5000));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_NE(second.Output().find("in use by a running vdrive"), std::string::npos)
      << second.Output();
  EXPECT_EQ(fs::read_symlink(entry), target);
  first.Stop(SIGTERM);

  fs::create_symlink("/dev/null", runtime.Ports() + "/MINE");  // the user's own mapping
  VdriveProcess third(runtime, {"--name", "MINE"}, "third.txt");
  EXPECT_NE(WEXITSTATUS(third.WaitExit(Millis(5000))), 0);
  EXPECT_EQ(fs::read_symlink(runtime.Ports() + "/MINE"), "/dev/null");
}

class DriveOnLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WaitFor([&] { return IsLink(runtime.Ports() + "/VDRIVE1"); })) << drive.Output();
    player = std::make_unique<TerminalPlayer>(runtime.Ports() + "/VDRIVE1");
    ASSERT_TRUE(player->Open());
  }
  bool ShowsOnLine(int line, const char *text) {
    return player->PlayUntil([&] { return player->Line(line) == Text(text); }, Millis(2000));
  }
  double OutputHz() const { return std::stod(player->Line(0).substr(8, 5)); }

  RuntimeFolder runtime;
  VdriveProcess drive{runtime, {"--fast", "--stats"}};
  std::unique_ptr<TerminalPlayer> player;
};

TEST_F(DriveOnLine, DisplayLinesArriveAsDisplayCodes) {
  ASSERT_TRUE(player->PlayUntil(
      [&] { return player->Line(0).rfind("Kimenet", 0) == 0 && player->Line(2)[0] != ' '; },
      Millis(3000)));
  EXPECT_EQ(player->Line(0), Text("Kimenet   0.0 Hz"));
  EXPECT_EQ(player->Line(1), Text("Alapjel  25.0 Hz"));
  EXPECT_EQ(player->Line(2), Text("Áll     » Előre"));
  EXPECT_FALSE(player->runLed);
  EXPECT_FALSE(player->errorLed);
}

TEST_F(DriveOnLine, StartLightsTheRunLedAndTheFrequencyRises) {
  player->Play(8);
  player->Click(kStart);
  ASSERT_TRUE(player->PlayUntil([&] { return player->runLed && OutputHz() > 0.5; }, Millis(3000)));
  const double first = OutputHz();
  ASSERT_TRUE(player->PlayUntil([&] { return OutputHz() > first + 1.0; }, Millis(3000)));
  EXPECT_NE(player->Line(2).find(Text("Üzem").substr(0, 4)), std::string::npos);
}

TEST_F(DriveOnLine, DisplayKeyReachesTheBarGraphInCells) {
  player->Play(8);
  player->Click(kDisplay);
  player->Click(kDisplay);
  const auto cellsOnTop = [&] {
    for (int line = 0; line < 3; ++line) {
      if (!vdrive::IsCellLine(player->lines[line])) {
        return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(player->PlayUntil(cellsOnTop, Millis(3000))) << player->Line(0);
  EXPECT_EQ(player->Line(3), Text("f[Hz] I[A] M[%]"));
}

TEST_F(DriveOnLine, SavedParametersLoadBackFromTheTerminalMemory) {
  player->Play(8);
  player->Click(kEnter);  // menu
  for (int i = 0; i < 3; ++i) {
    player->Click(kUp);  // back from the first item: defaults, load, save
  }
  ASSERT_TRUE(ShowsOnLine(1, "Param. mentése")) << player->Line(1);
  player->Click(kEnter);
  ASSERT_TRUE(
      player->PlayUntil([&] { return player->Line(3) == Text("Mentés kész"); }, Millis(5000), 4))
      << player->Line(3);
  EXPECT_EQ(player->writes, 3);
  EXPECT_EQ(std::string(player->memory.begin() + 0x100, player->memory.begin() + 0x104), "PSET");

  player->Click(kEscape);  // main screen: set-point up by 0.2 Hz
  player->Click(kUp);
  player->Click(kUp);
  ASSERT_TRUE(
      player->PlayUntil([&] { return player->Line(1) == Text("Alapjel  25.2 Hz"); }, Millis(2000)));
  player->Click(kEnter);  // the menu opens where it was left
  player->Click(kDown);
  ASSERT_TRUE(ShowsOnLine(1, "Param. betöltése")) << player->Line(1);
  player->Click(kEnter);
  ASSERT_TRUE(
      player->PlayUntil([&] { return player->Line(3) == Text("Betöltés OK"); }, Millis(5000), 5))
      << player->Line(3);
  EXPECT_GE(player->reads, 19) << "8 header words and 11 values, plus repeats";
  player->Click(kEscape);
  EXPECT_TRUE(
      player->PlayUntil([&] { return player->Line(1) == Text("Alapjel  25.0 Hz"); }, Millis(2000)));
}

TEST_F(DriveOnLine, EmptyTerminalMemoryIsReportedAsNoSet) {
  player->Play(8);
  player->Click(kEnter);
  player->Click(kUp);
  player->Click(kUp);
  ASSERT_TRUE(ShowsOnLine(1, "Param. betöltése")) << player->Line(1);
  player->Click(kEnter);
  ASSERT_TRUE(
      player->PlayUntil([&] { return player->Line(3) == Text("Hiba: nincs adat"); }, Millis(5000)))
      << player->Line(3);
}

TEST_F(DriveOnLine, JunkOnTheLineIsCountedAndTheDriveGoesOn) {
  player->Play(4);
  const std::string junk = "hello\x03junk\x02\x31\x32\x03";
  player->Write(junk.data(), junk.size());
  player->Play(10);
  ASSERT_EQ(player->messages, 14) << "the drive kept sending";
  const int status = drive.Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  const auto stats = ParseStats(drive.Output());
  EXPECT_EQ(stats.at("junk bytes"), "10");
  EXPECT_EQ(stats.at("broken frames"), "1");
}

TEST_F(DriveOnLine, StatsReportCountsAndOrderedTurnaroundTimes) {
  player->PlayUntil([] { return false; }, Millis(700), 7);
  const int status = drive.Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  const auto stats = ParseStats(drive.Output());
  for (const char *key : {"messages sent", "answers", "time-outs", "invalid answers",
                          "turnaround p50 ms", "turnaround p99 ms", "turnaround max ms"}) {
    ASSERT_TRUE(stats.count(key)) << key << " missing in\n" << drive.Output();
  }
  const long sent = std::stol(stats.at("messages sent"));
  const long answers = std::stol(stats.at("answers"));
  const long timeouts = std::stol(stats.at("time-outs"));
  EXPECT_GT(answers, 20);
  EXPECT_GT(timeouts, 0) << "every 7th message was left unanswered";
  EXPECT_EQ(sent, answers + timeouts);
  const double p50 = std::stod(stats.at("turnaround p50 ms"));
  const double p99 = std::stod(stats.at("turnaround p99 ms"));
  const double max = std::stod(stats.at("turnaround max ms"));
  EXPECT_LE(p50, p99);
  EXPECT_LE(p99, max);
  EXPECT_LT(max, 50.0) << "an answer after the time-out is not an answer";
}

TEST_F(DriveOnLine, SigusrOnePlugsAndUnplugsTheHandHeldTerminal) {
  player->Play(6);
  EXPECT_EQ(player->terminalFrames, 0);
  ::kill(drive.Pid(), SIGUSR1);
  ASSERT_TRUE(player->PlayUntil([&] { return player->terminalFrames >= 5; }, Millis(2000)));
  ::kill(drive.Pid(), SIGUSR1);
  player->Play(5);
  const int seen = player->terminalFrames;
  player->Play(20);
  EXPECT_EQ(player->terminalFrames, seen) << "unplugged: no more requests of its own";
  EXPECT_TRUE(drive.Running());
}

// Each SIGUSR2 does the next entry of --inject; the drive says when the
// terminal answered again after each fault and which memory writes it
// answered, and a hang-up moves the port entry to a new pseudo-terminal.
TEST(FaultInjection, SigusrTwoInjectsInTurnAndTimesTheFirstAnswerAfterEach) {
  RuntimeFolder runtime;
  VdriveProcess drive(runtime,
                      {"--fast", "--stats", "--inject", "stray,junk,save,hangup,mark,end"});
  const std::string entry = runtime.Ports() + "/VDRIVE1";
  ASSERT_TRUE(WaitFor([&] { return IsLink(entry); })) << drive.Output();
  const fs::path firstTty = fs::read_symlink(entry);
  auto player = std::make_unique<TerminalPlayer>(entry);
  ASSERT_TRUE(player->Open());
  player->Play(5);
  const auto says = [&](const char *text) {
    return drive.Output().find(text) != std::string::npos;
  };

  ::kill(drive.Pid(), SIGUSR2);
  ASSERT_TRUE(
      player->PlayUntil([&] { return says("fault 1 stray answered again after"); }, Millis(5000)))
      << drive.Output();
  ::kill(drive.Pid(), SIGUSR2);
  ASSERT_TRUE(
      player->PlayUntil([&] { return says("fault 2 junk answered again after"); }, Millis(5000)))
      << drive.Output();
  ::kill(drive.Pid(), SIGUSR2);  // a save: the header block goes last
  ASSERT_TRUE(player->PlayUntil([&] { return says("memory write 0x0100 answered: 50 53 45 54"); },
                                Millis(5000)))
      << drive.Output();
  EXPECT_EQ(player->writes, 3);
  EXPECT_TRUE(says("memory write 0x0110 answered:"));

  ::kill(drive.Pid(), SIGUSR2);
  ASSERT_TRUE(player->PlayUntil([&] { return player->HungUp(); }, Millis(5000)));
  ASSERT_TRUE(WaitFor([&] {
    std::error_code error;
    const fs::path tty = fs::read_symlink(entry, error);
    return !error && tty != firstTty;
  })) << drive.Output();
  player = std::make_unique<TerminalPlayer>(entry);
  ASSERT_TRUE(player->Open());
  ASSERT_TRUE(
      player->PlayUntil([&] { return says("fault 3 hangup answered again after"); }, Millis(5000)))
      << drive.Output();

  // A fault made outside: answers before its end do not end it.
  ::kill(drive.Pid(), SIGUSR2);
  ASSERT_TRUE(WaitFor([&] { return says("fault 4 mark at"); })) << drive.Output();
  player->Play(10);
  EXPECT_FALSE(says("fault 4 mark answered again"));
  ::kill(drive.Pid(), SIGUSR2);
  ASSERT_TRUE(
      player->PlayUntil([&] { return says("fault 4 mark answered again after"); }, Millis(5000)))
      << drive.Output();

  const int status = drive.Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(status));
  const auto stats = ParseStats(drive.Output());
  EXPECT_EQ(stats.at("faults"), "4");
  EXPECT_EQ(stats.at("faults answered again"), "4");
  EXPECT_GT(std::stol(stats.at("answers outside faults")), 0);

  VdriveProcess wrong(runtime, {"--inject", "stray,unplug"}, "wrong.txt");
  const int refused = wrong.WaitExit(Millis(5000));
  ASSERT_TRUE(WIFEXITED(refused));
  EXPECT_EQ(WEXITSTATUS(refused), 2);
  EXPECT_NE(wrong.Output().find("'unplug'"), std::string::npos) << wrong.Output();
}

// True when the process has 'path' open.
bool HasOpen(pid_t pid, const std::string &path) {
  std::error_code error;
  for (const auto &fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    if (fs::read_symlink(fd.path(), error) == path) {
      return true;
    }
  }
  return false;
}

// A pipe writer that sends capture lines until the reader goes away.
class EndlessWriter {
 public:
  explicit EndlessWriter(const std::string &fifo) : fifo_(fifo), thread_([this] { Run(); }) {}
  ~EndlessWriter() {
    stop_ = true;
    // Lets a writer still waiting for a reader open the pipe and see the stop.
    const vdrive::UniqueFd reader(::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    thread_.join();
  }
  size_t Written() const { return written_; }

 private:
  void Run() {
    const vdrive::UniqueFd out(::open(fifo_.c_str(), O_WRONLY | O_CLOEXEC));
    const std::string header = "{\"t\": 1.0, \"format\": \"sorvanel-capture\", \"version\": 1}\n";
    std::string lines;
    for (int i = 0; i < 1000; ++i) {
      lines += "{\"t\": 1.5, \"dir\": \"rx\", \"hex\": \"02303132333435363703\"}\n";
    }
    if (!out.Valid() || ::write(out.Get(), header.data(), header.size()) <= 0) {
      return;
    }
    while (!stop_ && ::write(out.Get(), lines.data(), lines.size()) > 0) {
      written_ += lines.size();
    }
  }

  const std::string fifo_;
  std::atomic<bool> stop_ = false;
  std::atomic<size_t> written_ = 0;
  std::thread thread_;
};

// Reading the file (a pipe whose writer is missing, quiet or endless),
// waiting for the program to open the port, and waiting for the next chunk's
// time: every stop signal ends each of them at once.
TEST(Replay, EveryStopSignalEndsEveryWait) {
  const sighandler_t previousPipeHandler = ::signal(SIGPIPE, SIG_IGN);
  enum Wait { NoWriter, QuietWriter, EndlessFile, Program, NextChunk };
  const std::pair<Wait, const char *> waits[] = {
      {NoWriter, "reading stopped by a signal"},
      {QuietWriter, "reading stopped by a signal"},
      {EndlessFile, "reading stopped by a signal"},
      {Program, "stopped before a program opened the port"},
      {NextChunk, "chunks sent 1\n"}};
  const std::string header = "{\"t\": 10.0, \"format\": \"sorvanel-capture\", \"version\": 1}\n";
  for (const auto &[wait, said] : waits) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
      SCOPED_TRACE("wait " + std::to_string(wait) + ", signal " + std::to_string(signal));
      RuntimeFolder runtime;
      const std::string capture = runtime.Path() + "/capture.jsonl";
      if (wait == Program || wait == NextChunk) {
        // The second chunk is due a day after the first.
        std::ofstream(capture) << header << "{\"t\": 10.0, \"dir\": \"rx\", \"hex\": \"0203\"}\n"
                               << "{\"t\": 86410.0, \"dir\": \"rx\", \"hex\": \"0203\"}\n";
      } else {
        ASSERT_EQ(::mkfifo(capture.c_str(), 0600), 0);
      }
      VdriveProcess drive(runtime, {"--replay", capture});
      std::optional<EndlessWriter> endless;
      vdrive::UniqueFd writer;
      vdrive::UniqueFd terminal;
      const std::string port = runtime.Ports() + "/VDRIVE1";
      switch (wait) {
        case NoWriter:
          ASSERT_TRUE(WaitFor([&] { return HasOpen(drive.Pid(), capture); }));
          break;
        case QuietWriter:
          // Opening for writing without blocking succeeds once the drive reads.
          ASSERT_TRUE(WaitFor([&] {
            writer.Reset(::open(capture.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
            return writer.Valid();
          }));
          ASSERT_EQ(::write(writer.Get(), header.data(), header.size()), ssize_t(header.size()));
          break;
        case EndlessFile:
          endless.emplace(capture);
          ASSERT_TRUE(WaitFor([&] { return endless->Written() > (1u << 20); }));
          break;
        case Program:
          ASSERT_TRUE(WaitFor([&] { return IsLink(port); })) << drive.Output();
          break;
        case NextChunk:
          ASSERT_TRUE(WaitFor([&] { return IsLink(port); })) << drive.Output();
          terminal.Reset(::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
          ASSERT_TRUE(terminal.Valid());
          ASSERT_TRUE(WaitFor([&] {
            uint8_t buffer[16];
            return ::read(terminal.Get(), buffer, sizeof buffer) > 0;
          })) << "the first chunk";
          break;
      }
      const int status = drive.Stop(signal);
      ASSERT_NE(status, -1) << "still waiting after the signal";
      ASSERT_TRUE(WIFEXITED(status)) << drive.Output();
      EXPECT_EQ(WEXITSTATUS(status), wait == NextChunk ? 0 : 1);
      EXPECT_NE(drive.Output().find(said), std::string::npos) << drive.Output();
    }
  }
  ::signal(SIGPIPE, previousPipeHandler);
}

TEST(LinePace, PromptAnswersAtLinePaceAreAllTakenAsAnswers) {
  RuntimeFolder runtime;
  VdriveProcess drive(runtime, {"--stats"});
  ASSERT_TRUE(WaitFor([&] { return IsLink(runtime.Ports() + "/VDRIVE1"); }));
  TerminalPlayer player(runtime.Ports() + "/VDRIVE1");
  player.PlayUntil([] { return false; }, Millis(600));
  ASSERT_TRUE(WIFEXITED(drive.Stop(SIGTERM)));
  const auto stats = ParseStats(drive.Output());
  EXPECT_GE(std::stol(stats.at("answers")), 8) << drive.Output();
  EXPECT_LE(std::stol(stats.at("time-outs")), 1) << drive.Output();
  EXPECT_EQ(stats.at("unexpected answers"), "0") << drive.Output();
  EXPECT_LE(std::stod(stats.at("messages per s")), 30.0) << "44-character frames at 19200 baud";
}

}  // namespace
}  // namespace vdrive_test

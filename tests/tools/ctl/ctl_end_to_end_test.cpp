// sorvanel-ctl against fake programs on a private session bus (CTest runs
// this under dbus-run-session): what it prints, its exit statuses, and that
// a refused command or recipe presses nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace {

struct TCtlResult {
  int status = -1;
  QString out;
  QString err;
};

class CtlEndToEnd : public testing::Test {
 protected:
  void TearDown() override {
    for (const auto &fake : fakes_) {
      fake->terminate();
      fake->waitForFinished(5000);
    }
  }

  // Starts a fake program named NAME; its key log is LogOf(NAME).
  void StartFake(const QString &name, const QStringList &options = {}) {
    auto fake = std::make_unique<QProcess>();
    fake->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fake->start(QStringLiteral(FAKE_PANEL_SERVICE), QStringList{name, LogPath(name)} + options);
    ASSERT_TRUE(fake->waitForReadyRead(10000)) << "the fake program did not start";
    ASSERT_EQ(fake->readAll().trimmed(), "ready");
    fakes_.push_back(std::move(fake));
  }

  QString LogPath(const QString &name) const { return folder_.filePath(name + ".log"); }

  QStringList LogOf(const QString &name) const {
    QFile log(LogPath(name));
    if (!log.open(QIODevice::ReadOnly)) {
      return {};
    }
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  QString WriteRecipe(const QByteArray &text) const {
    const QString path = folder_.filePath(QStringLiteral("steps.recipe"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
  }

  static TCtlResult Ctl(const QStringList &arguments) {
    QProcess ctl;
    ctl.start(QStringLiteral(SORVANEL_CTL), arguments);
    EXPECT_TRUE(ctl.waitForFinished(30000)) << "sorvanel-ctl did not end";
    return {ctl.exitCode(), QString::fromUtf8(ctl.readAllStandardOutput()),
            QString::fromUtf8(ctl.readAllStandardError())};
  }

  QTemporaryDir folder_;
  std::vector<std::unique_ptr<QProcess>> fakes_;
};

TEST_F(CtlEndToEnd, WithoutAProgramEveryCommandEndsWithStatus3) {
  for (const QStringList &command :
       {QStringList{"list"}, QStringList{"read"}, QStringList{"leds"}, QStringList{"press", "UP"},
        QStringList{"--instance", "line2", "read"}}) {
    const TCtlResult result = Ctl(command);
    EXPECT_EQ(result.status, 3) << command.join(' ').toStdString();
    EXPECT_TRUE(result.err.contains("no ")) << result.err.toStdString();
  }
}

TEST_F(CtlEndToEnd, ReadsTheDisplayAndTheLedsAndPressesKeys) {
  StartFake("sorvanel");
  TCtlResult result = Ctl({"read"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Fake drive      \nValue 0         \nStopped         \n                \n");
  EXPECT_EQ(Ctl({"leds"}).out, "error=0 run=0\n");

  EXPECT_EQ(Ctl({"press", "up", "UP", "START"}).status, 0);
  EXPECT_EQ(LogOf("sorvanel"), (QStringList{"tap UP", "tap UP", "tap START"}));
  result = Ctl({"expect", "2", "Value 2", "--timeout", "5"});
  EXPECT_EQ(result.status, 0) << result.err.toStdString();
  EXPECT_EQ(Ctl({"leds"}).out, "error=0 run=1\n");
}

TEST_F(CtlEndToEnd, AnExpectationNotMetEndsOnItsTimeOutWithStatus1) {
  StartFake("sorvanel");
  const TCtlResult result = Ctl({"expect", "3", "Running", "--timeout=0.3"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.err.contains("did not show \"Running\" within 0.3 s"))
      << result.err.toStdString();
  EXPECT_TRUE(result.err.contains("Stopped"));
}

TEST_F(CtlEndToEnd, BadUsageIsStatus2AndPressesNothing) {
  StartFake("sorvanel");
  for (const QStringList &command :
       {QStringList{"press", "UP", "SIDEWAYS"}, QStringList{"press"},
        QStringList{"expect", "5", "x"}, QStringList{"expect", "1", "x", "--timeout", "soon"},
        QStringList{"read", "extra"}, QStringList{"frobnicate"}, QStringList{"--colour", "read"},
        QStringList{}, QStringList{"press", "UP", "--timeout", "2"}}) {
    const TCtlResult result = Ctl(command);
    EXPECT_EQ(result.status, 2) << command.join(' ').toStdString();
    EXPECT_FALSE(result.err.isEmpty());
  }
  EXPECT_TRUE(LogOf("sorvanel").isEmpty());
}

TEST_F(CtlEndToEnd, RunsARecipeAndStopsAtTheFirstUnmetExpectationNamingItsLine) {
  StartFake("sorvanel");
  const QString good = WriteRecipe(
      "# two up, then a hold\n"
      "press UP UP\n"
      "expect 2 \"Value 2\" 5\n"
      "hold DOWN 50\n"
      "expect 4 \"Held DOWN\"\n"
      "wait 10\n");
  TCtlResult result = Ctl({"run", good});
  EXPECT_EQ(result.status, 0) << result.err.toStdString();
  EXPECT_EQ(LogOf("sorvanel"), (QStringList{"tap UP", "tap UP", "press DOWN", "release DOWN"}));

  const QString failing = WriteRecipe(
      "press START\n"
      "\n"
      "expect 2 \"Value 99\" 0.2\n"
      "press STOP\n");
  result = Ctl({"run", failing});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.err.contains(failing + ": line 3: ")) << result.err.toStdString();
  EXPECT_EQ(LogOf("sorvanel").last(), "tap START") << "a key was pressed past the failed step";
}

TEST_F(CtlEndToEnd, ABadRecipeIsRefusedWholeBeforeAnythingIsPressed) {
  StartFake("sorvanel");
  const std::pair<QByteArray, QString> recipes[] = {
      {"press UP\npress UP\nexpect 2 \"Value 2\"\npress SIDEWAYS\n", "line 4: unknown key"},
      {"press UP\nexpect 2 Value\n", "line 2: expect needs"},
      {QByteArray("press UP\n\x7f"
                  "ELF\x02\x01",
                  13) +
           QByteArray(64, '\0'),
       "binary"},
      {"press UP\nexpect 1 \"\xC3\x28\"\n", "line 2: not UTF-8"},
      {"# only a comment\n", "no steps"},
  };
  for (const auto &[text, complaint] : recipes) {
    const TCtlResult result = Ctl({"run", WriteRecipe(text)});
    EXPECT_EQ(result.status, 2) << complaint.toStdString();
    EXPECT_TRUE(result.err.contains(complaint)) << result.err.toStdString();
  }
  EXPECT_EQ(Ctl({"run", folder_.filePath("missing.recipe")}).status, 2);
  EXPECT_TRUE(LogOf("sorvanel").isEmpty());
}

TEST_F(CtlEndToEnd, AProgramThatClosesMidRecipeEndsTheRunWithStatus3) {
  StartFake("sorvanel", {"--quit-after-taps", "2"});
  const TCtlResult result = Ctl({"run", WriteRecipe("press UP\npress UP\nwait 200\npress UP\n")});
  EXPECT_EQ(result.status, 3);
  EXPECT_TRUE(result.err.contains("closed")) << result.err.toStdString();
  EXPECT_EQ(LogOf("sorvanel").size(), 2);
}

TEST_F(CtlEndToEnd, SeveralProgramsAreToldApartByInstance) {
  StartFake("line1", {"--port", "VDRIVE1", "--settings", "/cfg/line1.ini"});
  StartFake("line2", {"--port", "ttyUSB0", "--settings", "/cfg/line2.ini"});
  TCtlResult result = Ctl({"list"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "line1\tVDRIVE1\t/cfg/line1.ini\nline2\tttyUSB0\t/cfg/line2.ini\n");

  result = Ctl({"press", "UP"});
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(result.err.contains("line1, line2")) << result.err.toStdString();

  EXPECT_EQ(Ctl({"--instance", "line2", "press", "START"}).status, 0);
  EXPECT_EQ(Ctl({"leds", "--instance=line2"}).out, "error=0 run=1\n");
  EXPECT_EQ(Ctl({"--instance", "line1", "leds"}).out, "error=0 run=0\n");
  EXPECT_TRUE(LogOf("line1").isEmpty());
  EXPECT_EQ(Ctl({"--instance", "line3", "read"}).status, 3);
}

}  // namespace

// The program on a real X server with a window manager (run_on_xvfb.sh):
// the titles the window manager is given, and a PC key held with the X
// server's auto-repeat on, in the main window and after a dialog took its press.
#include <QKeyEvent>
#include <QMessageBox>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "about_box.h"
#include "message_box_presenter.h"
#include "program_fixture.h"

namespace {

using integration::ProgramTest;
using integration::TProgramFolders;
using integration::TProgramProcess;

QString RunTool(const QString &program, const QStringList &arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(10000);
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// One property of a window as xprop prints it, the value without quotes.
QString Property(const QString &window, const char *name) {
  const QString line =
      RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QString::fromLatin1(name)});
  // "NAME(TYPE) = value", or "NAME(TYPE) =" for an empty value.
  const qsizetype equals = line.indexOf(QStringLiteral(" ="));
  if (equals < 0) {
    return QStringLiteral("<%1>").arg(line);
  }
  QString value = line.mid(equals + 2).trimmed();
  if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
    value = value.mid(1, value.size() - 2);
  }
  return value;
}
QString Property(WId window, const char *name) {
  return Property(QString::number(window), name);
}

// 'text' as a POSIX extended regular expression that matches it alone.
QString ExactPattern(const QString &text) {
  QString pattern = QStringLiteral("^");
  for (const QChar c : text) {
    if (QStringLiteral(".^$*+?()[]{}|\\").contains(c)) {
      pattern += QLatin1Char('\\');
    }
    pattern += c;
  }
  return pattern + QLatin1Char('$');
}

// The visible window whose whole name is 'name', waiting up to 10 s. Asked
// again and again: a search can fail while other windows come and go.
QString FindWindow(const QString &name) {
  QString found;
  const bool seen = QTest::qWaitFor(
      [&] {
        found = RunTool(QStringLiteral("xdotool"),
                        {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), ExactPattern(name)})
                    .section(QLatin1Char('\n'), 0, 0);
        return !found.isEmpty();
      },
      10000);
  return seen ? found : QString();
}

// The real program, from a folder of its own whose saved port cannot be
// opened: the error dialog comes first, then the main window.
TEST(DesktopTitles, EveryWindowShowsExactlyItsCaption) {
  TProgramFolders folders;
  ASSERT_TRUE(folders.Valid());
  folders.RegisterPort(QStringLiteral("BROKEN"), folders.ProgramFolder());  // a folder, not a tty
  folders.WriteFile(folders.SettingsPath(), "[Sorvanel]\nPort=BROKEN\n");
  TProgramProcess sorvanel(folders);
  sorvanel.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  ASSERT_TRUE(sorvanel.Start());

  const QString error = FindWindow(QStringLiteral("Hiba!"));
  ASSERT_FALSE(error.isEmpty()) << "no error dialog titled exactly \"Hiba!\"";
  EXPECT_EQ(Property(error, "_NET_WM_NAME"), QStringLiteral("Hiba!"));
  EXPECT_EQ(Property(error, "WM_NAME"), QStringLiteral("Hiba!"));
  RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                      error, QStringLiteral("key"), QStringLiteral("Return")});

  const QString main = FindWindow(QStringLiteral("Sorvanel V9.1.2"));
  ASSERT_FALSE(main.isEmpty()) << "no main window titled exactly \"Sorvanel V9.1.2\"";
  EXPECT_EQ(Property(main, "_NET_WM_NAME"), QStringLiteral("Sorvanel V9.1.2"));
  // Fixed size: once the window manager has taken the window in, it offers
  // no maximize.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const QString actions = Property(main, "_NET_WM_ALLOWED_ACTIONS");
        return actions.contains(QStringLiteral("_NET_WM_ACTION_CLOSE")) &&
               !actions.contains(QStringLiteral("MAXIMIZE"));
      },
      5000))
      << Property(main, "_NET_WM_ALLOWED_ACTIONS").toStdString();

  RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                      main, QStringLiteral("key"), QStringLiteral("F1")});
  const QString manual = FindWindow(QStringLiteral("Sorvanel — user's manual"));
  EXPECT_FALSE(manual.isEmpty()) << "F1 opens the manual's own window";

  EXPECT_TRUE(sorvanel.Terminate(10000));
}

TEST(DesktopTitles, AnEmptyCaptionStaysEmpty) {
  TMessageBoxPresenter presenter;
  TMessageDialogRequest request;
  request.headline = QStringLiteral("Programozó terminál csatlakoztatva");
  QString name = QStringLiteral("<not shown>");
  QString iccName;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      return;
    }
    poll.stop();
    QApplication::sync();
    name = Property(box->winId(), "_NET_WM_NAME");
    iccName = Property(box->winId(), "WM_NAME");
    box->accept();
  });
  poll.start(20);
  presenter.Show(request, nullptr);
  EXPECT_EQ(name, QString());
  EXPECT_EQ(iccName, QString());
}

// The key state the converter reads in the next answer: up is 0x04 of key
// byte 1.
bool UpHeldInNextAnswer() {
  TTerminalMessageFrame frame{};
  Kelvo_CompileMessage(&frame);
  uint8_t decoded[KELVO_MAX_PAYLOAD] = {};
  size_t length = 0;
  Kelvo_Check(frame.bytes + 1, frame.bytes[0], decoded, &length);
  return (decoded[2] & 0x04) != 0;
}

class PressCounter : public QObject {
 public:
  int presses = 0;

 protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::KeyPress) {
      ++presses;
    }
    return false;
  }
};

// Up held for two seconds while the main thread is busy most of the time:
// every answer carries the key held, until its real key-up.
using DesktopKeys = ProgramTest;

TEST_F(DesktopKeys, AHeldKeyStaysHeldThroughTheAutoRepeat) {
  TForm_Sorvanel &window = StartWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                      QString::number(window.winId())});
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  PressCounter counter;
  window.installEventFilter(&counter);

  // A busy machine: other work on the main thread, and more threads that
  // want a core than there are cores.
  QTimer busy;
  QObject::connect(&busy, &QTimer::timeout, [] { QThread::msleep(12); });
  busy.start(15);
  std::atomic<bool> burning{true};
  std::vector<std::thread> burners;
  for (unsigned i = 0; i < 2 * std::max(1u, std::thread::hardware_concurrency()); ++i) {
    burners.emplace_back([&burning] {
      while (burning.load(std::memory_order_relaxed)) {
      }
    });
  }
  RunTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("Up")});
  int answers = 0;
  int released = 0;
  for (; answers < 80; ++answers) {
    QTest::qWait(25);
    released += UpHeldInNextAnswer() ? 0 : 1;
  }
  RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("Up")});
  busy.stop();
  burning = false;
  for (std::thread &burner : burners) {
    burner.join();
  }
  EXPECT_GT(counter.presses, 10) << "the X server repeated the held key";
  EXPECT_EQ(released, 0) << "of " << answers << " answers while the key was held";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.KeyInput().IsHeld(0); }, 2000));
  UpHeldInNextAnswer();
  EXPECT_FALSE(UpHeldInNextAnswer()) << "the real key-up reaches the converter";
}

// ENTER (0x08 of key byte 0) in the key state the converter reads in the next answer.
bool EnterHeldInNextAnswer() {
  TTerminalMessageFrame frame{};
  Kelvo_CompileMessage(&frame);
  uint8_t decoded[KELVO_MAX_PAYLOAD] = {};
  size_t length = 0;
  Kelvo_Check(frame.bytes + 1, frame.bytes[0], decoded, &length);
  return (decoded[1] & 0x08) != 0;
}

// Return goes down on the about box, which closes on it, and stays down a while: the X
// server's repeats reach the main window, and reach it again once it is activated again. The
// press never reached the main window, so no answer may carry ENTER.
TEST_F(DesktopKeys, AKeyThatWentDownOnADialogIsNeverHeld) {
  TForm_Sorvanel &window = StartWindow();
  TForm_AboutBox about(&window);
  window.SetAboutBox(&about);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto activate = [](const QWidget &target) {
    RunTool(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                        QString::number(target.winId())});
  };
  activate(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  PressCounter counter;
  window.installEventFilter(&counter);
  // The key goes up at the end, whatever happens.
  struct TKeyUp {
    ~TKeyUp() {
      RunTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("Return")});
    }
  } keyUp;

  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (about.isVisible() && about.isActiveWindow()) {
      poll.stop();
      QProcess::startDetached(QStringLiteral("xdotool"),
                              {QStringLiteral("keydown"), QStringLiteral("Return")});
    }
  });
  poll.start(20);
  window.Menu_AboutClick();  // until Return closes the box
  ASSERT_FALSE(about.isVisible());

  int carried = 0;
  const auto watchAnswers = [&](int presses) {
    return QTest::qWaitFor(
        [&] {
          carried += EnterHeldInNextAnswer() ? 1 : 0;
          return counter.presses >= presses;
        },
        10000);
  };
  ASSERT_TRUE(watchAnswers(5)) << "the X server repeats Return into the main window";
  QWidget elsewhere;
  elsewhere.show();
  activate(elsewhere);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
  activate(window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(watchAnswers(counter.presses + 5));
  EXPECT_EQ(carried, 0) << "answers carried ENTER";
  EXPECT_FALSE(window.KeyInput().IsHeld(6));
}

}  // namespace

int main(int argc, char **argv) {
  QApplication application(argc, argv);
  SetCurrentLanguage(kLanguageHungarian);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

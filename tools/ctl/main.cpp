// sorvanel-ctl: presses the keys of a running Sorvanel and reads its display
// from shell scripts, over the session bus.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QStringList>
#include <optional>

#include "ctl_commands.h"
#include "panel_keys.h"
#include "recipe_parser.h"

namespace {

constexpr char kUsage[] =
    "Usage: sorvanel-ctl list\n"
    "       sorvanel-ctl [--instance NAME] read\n"
    "       sorvanel-ctl [--instance NAME] leds\n"
    "       sorvanel-ctl [--instance NAME] press KEY...\n"
    "       sorvanel-ctl [--instance NAME] expect LINE TEXT [--timeout SECONDS]\n"
    "       sorvanel-ctl [--instance NAME] run RECIPE\n"
    "\n"
    "Talks to a running Sorvanel with automation on (sorvanel --automation).\n"
    "  list    the running programs: instance name, port, settings file\n"
    "  read    the four display lines, one per output line\n"
    "  leds    the LEDs as error=0|1 run=0|1\n"
    "  press   taps the keys in turn: UP DOWN LEFT RIGHT DISPLAY ESC ENTER JOG DIR START STOP\n"
    "  expect  waits until display line LINE (1-4) contains TEXT (default time-out 5 s)\n"
    "  run     plays a recipe file (see sorvanel-ctl(1))\n"
    "Without --instance the one running program is used.\n"
    "Put -- before a TEXT that starts with a dash.\n"
    "\n"
    "Exit status: 0 done, 1 an expectation not met in time, 2 bad usage or a bad\n"
    "recipe, 3 no program to talk to.\n";

struct TCommandLine {
  QString instance;
  QString timeout;
  bool timeoutGiven = false;
  QStringList words;  // the command and its arguments
};

int BadUsage(const QString &message) {
  ctl::Print(stderr, QStringLiteral("sorvanel-ctl: %1\n\n").arg(message) + QLatin1String(kUsage));
  return ctl::kExitBadUsage;
}

// Options may stand anywhere before "--"; an empty optional means the
// command line is bad and the message is in *problem.
std::optional<TCommandLine> ParseArguments(const QStringList &arguments, QString *problem) {
  TCommandLine line;
  bool optionsEnd = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString &argument = arguments[i];
    if (optionsEnd || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
      line.words << argument;
      continue;
    }
    if (argument == QLatin1String("--")) {
      optionsEnd = true;
      continue;
    }
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    const QString name = argument.left(equals);
    if (name != QLatin1String("--instance") && name != QLatin1String("--timeout")) {
      *problem = QStringLiteral("unknown option %1").arg(argument);
      return std::nullopt;
    }
    QString value;
    if (equals >= 0) {
      value = argument.mid(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      *problem = QStringLiteral("%1 needs a value").arg(name);
      return std::nullopt;
    }
    if (name == QLatin1String("--instance")) {
      line.instance = value;
    } else {
      line.timeout = value;
      line.timeoutGiven = true;
    }
  }
  return line;
}

// The steps a command stands for; a bad one is reported and ends the program.
std::optional<TRecipe> StepsOf(const TCommandLine &line, int *status) {
  const QString &command = line.words.front();
  QStringList words = line.words;
  if (command == QLatin1String("expect")) {
    if (words.size() != 3) {
      *status = BadUsage(QStringLiteral("expect takes a line and a text: expect LINE TEXT"));
      return std::nullopt;
    }
    if (line.timeoutGiven) {
      words << line.timeout;
    }
  }
  const TRecipeParse parse = ParseCommandLineStep(words);
  if (!parse.Ok()) {
    *status = BadUsage(QStringLiteral("%1: %2").arg(command, parse.error.message));
    return std::nullopt;
  }
  return parse.recipe;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() == 2 &&
      (arguments[1] == QLatin1String("--help") || arguments[1] == QLatin1String("-h"))) {
    ctl::Print(stdout, QLatin1String(kUsage));
    return ctl::kExitDone;
  }
  QString problem;
  const std::optional<TCommandLine> line = ParseArguments(arguments, &problem);
  if (!line) {
    return BadUsage(problem);
  }
  if (line->words.isEmpty()) {
    return BadUsage(QStringLiteral("no command given"));
  }
  const QString command = line->words.front();
  const qsizetype argumentCount = line->words.size() - 1;
  const QStringList known = {QStringLiteral("list"),   QStringLiteral("read"),
                             QStringLiteral("leds"),   QStringLiteral("press"),
                             QStringLiteral("expect"), QStringLiteral("run")};
  if (!known.contains(command)) {
    return BadUsage(QStringLiteral("unknown command \"%1\"").arg(command));
  }
  if (line->timeoutGiven && command != QLatin1String("expect")) {
    return BadUsage(QStringLiteral("--timeout belongs to expect"));
  }
  const bool takesNone = command == QLatin1String("list") || command == QLatin1String("read") ||
                         command == QLatin1String("leds");
  if (takesNone && argumentCount != 0) {
    return BadUsage(QStringLiteral("%1 takes no arguments").arg(command));
  }
  if (command == QLatin1String("run") && argumentCount != 1) {
    return BadUsage(QStringLiteral("run takes one recipe file"));
  }

  // Everything that can be checked without a program is checked first: a bad
  // recipe is refused whether or not a program runs, and nothing is pressed.
  std::optional<TRecipe> recipe;
  QString where = command;
  int status = ctl::kExitDone;
  if (command == QLatin1String("run")) {
    where = line->words[1];
    const TRecipeParse parse = ReadRecipeFile(where);
    if (!parse.Ok()) {
      ctl::Print(
          stderr,
          QStringLiteral("sorvanel-ctl: %1: %2\n").arg(where, DescribeRecipeError(parse.error)));
      return ctl::kExitBadUsage;
    }
    recipe = parse.recipe;
  } else if (command == QLatin1String("press") || command == QLatin1String("expect")) {
    recipe = StepsOf(*line, &status);
    if (!recipe) {
      return status;
    }
  }

  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    ctl::Print(stderr,
               QStringLiteral("sorvanel-ctl: no session bus: %1\n").arg(bus.lastError().message()));
    return ctl::kExitNoProgram;
  }
  const ctl::TStreams streams;
  if (command == QLatin1String("list")) {
    return ctl::ListPrograms(bus, streams);
  }
  const QString service = ctl::PickProgram(bus, line->instance, streams, &status);
  if (service.isEmpty()) {
    return status;
  }
  if (command == QLatin1String("read")) {
    return ctl::ReadLines(bus, service, streams);
  }
  if (command == QLatin1String("leds")) {
    return ctl::ReadLeds(bus, service, streams);
  }
  return ctl::RunSteps(bus, service, std::move(*recipe), where, streams);
}

#include "command_line.h"

#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <optional>

#include "file_name.h"

#ifndef SORVANEL_VERSION
#error "SORVANEL_VERSION (the project version) is defined by window/CMakeLists.txt"
#endif

namespace {

// Long options with a value, in the order --help lists them.
struct TValueOption {
  const char *name;
  const char *valueName;
  const char *description;
  QString TCommandLineOptions::*field;
};

const TValueOption kValueOptions[] = {
    {"port", "NAME", "Open the port NAME at start instead of the saved port, for this run only.",
     &TCommandLineOptions::port},
    {"settings", "FILE",
     "Use FILE as the settings file. Its default memory file is FILE with \".mem\" unless "
     "--memory names one.",
     &TCommandLineOptions::settingsFile},
    {"memory", "FILE", "Use FILE as the default memory file.", &TCommandLineOptions::memoryFile},
    {"capture", "FILE", "Write what passes on the line to FILE (JSON Lines).",
     &TCommandLineOptions::captureFile},
};

// The window system's own options, taken from the command line by QApplication: accepted and
// left to it, and not listed by --help.
const char *const kWindowSystemOptionsWithValue[] = {"platform",        "platformtheme", "plugin",
                                                     "style",           "stylesheet",    "display",
                                                     "qwindowgeometry", "qwindowtitle"};

struct TParser {
  QCommandLineParser parser;
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                          QStringLiteral("Show this text and exit.")};
  QCommandLineOption version{QStringLiteral("version"),
                             QStringLiteral("Show the version and exit.")};
  QCommandLineOption monitor{QStringLiteral("monitor"),
                             QStringLiteral("Open the line monitor at start.")};
  QCommandLineOption automation{
      QStringLiteral("automation"),
      QStringLiteral("Put the panel on the session bus for scripts (org.sorvanel.Panel1).")};

  TParser() {
    parser.setApplicationDescription(
        QStringLiteral("The programming terminal of a VELTAR frequency converter on the screen."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const TValueOption &option : kValueOptions) {
      parser.addOption(QCommandLineOption(QString::fromLatin1(option.name),
                                          QString::fromLatin1(option.description),
                                          QString::fromLatin1(option.valueName)));
    }
    parser.addOption(monitor);
    parser.addOption(automation);
    parser.addOption(help);
    parser.addOption(version);
    for (const char *name : kWindowSystemOptionsWithValue) {
      QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
      option.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(option);
    }
    QCommandLineOption reverse(QStringLiteral("reverse"), QString());
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);
  }
};

}  // namespace

TCommandLine ParseCommandLine(const QStringList &arguments) {
  TParser p;
  TCommandLine result;
  if (!p.parser.parse(arguments)) {
    result.action = TCommandLineAction::Refuse;
    result.error = p.parser.errorText();
    return result;
  }
  if (!p.parser.positionalArguments().isEmpty()) {
    result.action = TCommandLineAction::Refuse;
    result.error =
        QStringLiteral("Unexpected argument '%1'.").arg(p.parser.positionalArguments()[0]);
    return result;
  }
  for (const TValueOption &option : kValueOptions) {
    const QString name = QString::fromLatin1(option.name);
    const QStringList values = p.parser.values(name);
    if (values.size() > 1) {
      result.action = TCommandLineAction::Refuse;
      result.error = QStringLiteral("--%1 given more than once.").arg(name);
      return result;
    }
    if (!values.isEmpty() && values[0].isEmpty()) {
      result.action = TCommandLineAction::Refuse;
      result.error = QStringLiteral("--%1 needs a value.").arg(name);
      return result;
    }
    result.options.*option.field = values.value(0);
  }
  result.options.monitor = p.parser.isSet(p.monitor);
  result.options.automation = p.parser.isSet(p.automation);
  if (p.parser.isSet(p.help)) {
    result.action = TCommandLineAction::ShowHelp;
  } else if (p.parser.isSet(p.version)) {
    result.action = TCommandLineAction::ShowVersion;
  }
  return result;
}

TCommandLine ParseCommandLine(int argc, const char *const argv[]) {
  QStringList arguments;
  // The program's own name only names it; its files are found otherwise.
  arguments.append(argc > 0 ? QFile::decodeName(argv[0]) : QString());
  for (int i = 1; i < argc; ++i) {
    const QByteArray native(argv[i]);
    const std::optional<QString> text = DecodeFileName(native);
    if (!text) {
      TCommandLine refused;
      refused.action = TCommandLineAction::Refuse;
      refused.error = QStringLiteral(
                          "'%1' is not valid UTF-8 (each byte that is not shows as "
                          "\\xHH); file and port names are taken only in UTF-8.")
                          .arg(PrintableFileName(native));
      return refused;
    }
    arguments.append(*text);
  }
  return ParseCommandLine(arguments);
}

QString UsageText() {
  TParser p;
  QString text = p.parser.helpText();
  // The parser names the program after the running binary; the usage names the command.
  const qsizetype end = text.indexOf(u'\n');
  return QStringLiteral("Usage: sorvanel [options]") + text.mid(end);
}

QString VersionText() {
  return QStringLiteral("sorvanel " SORVANEL_VERSION);
}

int ReportCommandLine(const TCommandLine &commandLine) {
  switch (commandLine.action) {
    case TCommandLineAction::Run:
      return -1;
    case TCommandLineAction::ShowHelp:
      std::fputs(UsageText().toLocal8Bit().constData(), stdout);
      return 0;
    case TCommandLineAction::ShowVersion:
      std::printf("%s\n", VersionText().toLocal8Bit().constData());
      return 0;
    case TCommandLineAction::Refuse:
      std::fprintf(stderr, "sorvanel: %s\n\n%s", commandLine.error.toLocal8Bit().constData(),
                   UsageText().toLocal8Bit().constData());
      return kBadCommandLineExitCode;
  }
  return -1;
}

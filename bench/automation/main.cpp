// automation_bus_latency: what the panel on the session bus adds to the
// window's own paths, on the whole window (offscreen) with automation on and
// a converter played on a pseudo-terminal (played_converter.h).
//   - a key: pressed through TKeypad::Press in the process, and through the
//     D-Bus method Press from a client process, until the converter reads
//     an answer that carries it down;
//   - a display frame: from its ETX on the line to a display model observer
//     in the process, and to the DisplayChanged signal at the client.
// Run it on a private bus (bench/automation/bus_latency.sh does):
//   dbus-run-session -- automation_bus_latency [--pace line|fast]
//                       [--presses N] [--frames N]
// The same program is the client when its first argument is --client.
#include <QByteArray>
#include <QDBusConnection>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "application.h"
#include "automation_switch.h"
#include "bus_client.h"
#include "file_locations.h"
#include "latency_run.h"
#include "main_window.h"
#include "percentile.h"
#include "port_map.h"
#include "pseudo_terminal.h"
#include "window_resources.h"

namespace {

constexpr char kPortName[] = "BUSLATENCY";
constexpr uint64_t kAnswersBeforeMeasuring = 20;

struct TOptions {
  TPlayedConverter::TPace pace = TPlayedConverter::TPace::Line;
  int presses = 500;
  int frames = 500;
};

bool ParseOptions(int argc, char **argv, TOptions &options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const QByteArray name = argv[i];
    const QByteArray value = argv[i + 1];
    bool ok = false;
    const int number = value.toInt(&ok);
    if (name == "--pace" && (value == "line" || value == "fast")) {
      options.pace =
          value == "fast" ? TPlayedConverter::TPace::Fast : TPlayedConverter::TPace::Line;
    } else if (name == "--presses" && ok && number > 0) {
      options.presses = number;
    } else if (name == "--frames" && ok && number > 0) {
      options.frames = number;
    } else {
      return false;
    }
  }
  return argc % 2 == 1;
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[PercentileRank(share, values.size()) - 1];
}

void PrintRow(const char *what, const std::vector<double> &values) {
  std::printf("%-46s %7zu %9.3f %9.3f %9.3f\n", what, values.size(), Percentile(values, 0.5),
              Percentile(values, 0.99), Percentile(values, 1.0));
}

void PrintAdded(const char *what, const std::vector<double> &bus,
                const std::vector<double> &direct) {
  std::printf("%-46s %7s %9.3f %9.3f\n", what, "", Percentile(bus, 0.5) - Percentile(direct, 0.5),
              Percentile(bus, 0.99) - Percentile(direct, 0.99));
}

void PrintFigures(const TOptions &options, const TLatencyFigures &figures,
                  const TPlayedConverter &converter, double seconds) {
  std::printf("pace: %s\n", options.pace == TPlayedConverter::TPace::Fast
                                ? "fast (whole frames, next message at once)"
                                : "line (8 characters a write at 19200 baud)");
  std::printf("exchanges: %llu answered, %llu unanswered, %.0f per s\n",
              static_cast<unsigned long long>(converter.Answers()),
              static_cast<unsigned long long>(converter.Unanswered()),
              static_cast<double>(converter.Answers()) / seconds);
  std::printf("display frames: %zu sent, %zu missed by the observer, %zu missed by the client\n",
              figures.framesSent, figures.framesMissedByObserver, figures.framesMissedByClient);
  std::printf("%-46s %7s %9s %9s %9s\n", "(ms)", "samples", "p50", "p99", "max");
  PrintRow("key: TKeypad::Press -> on the line", figures.pressDirect);
  PrintRow("key: D-Bus Press -> on the line", figures.pressBus);
  PrintAdded("key: added by D-Bus", figures.pressBus, figures.pressDirect);
  PrintRow("key: D-Bus Press -> at the keypad", figures.pressBusToKeypad);
  PrintRow("bus: client -> bus daemon -> client", figures.busRoundTrip);
  PrintRow("display: frame -> model observer", figures.frameToObserver);
  PrintRow("display: frame -> DisplayChanged at client", figures.frameToClient);
  PrintAdded("display: added by D-Bus", figures.frameToClient, figures.frameToObserver);
  PrintRow("display: observer -> client, frame by frame", figures.observerToClient);
}

int Fail(const char *message) {
  std::fprintf(stderr, "bus_latency: %s\n", message);
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "--client") == 0) {
    return RunBusClient(argc, argv);
  }
  TOptions options;
  if (!ParseOptions(argc, argv, options)) {
    return Fail("usage: automation_bus_latency [--pace line|fast] [--presses N] [--frames N]");
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  TApplication application(argc, argv);
  InitWindowResources();
  if (!QDBusConnection::sessionBus().isConnected()) {
    return Fail("no session bus: run it under dbus-run-session");
  }
  // The same pseudo-terminal and port map entry as vdrive's, so the window
  // finds the converter the way it finds any port.
  std::string error;
  vdrive::PortMapFolders portMap;
  vdrive::PseudoTerminal line;
  vdrive::PortMapEntry entry;
  QTemporaryDir folder;
  if (!vdrive::PreparePortMapFolders(portMap, error) || !line.Open(error) ||
      !entry.Register(portMap, kPortName, line.SlavePath(), error) || !folder.isValid()) {
    return Fail(error.empty() ? "no temporary folder" : error.c_str());
  }

  int status = 0;
  {
    const TFileLocations files{folder.filePath(QStringLiteral("bench.ini")),
                               folder.filePath(QStringLiteral("bench.mem")), QString()};
    TForm_Sorvanel window(files, QString::fromLatin1(kPortName));
    window.show();
    const int key = KeyIndex(TTerminalKey::Up);
    TPlayedConverter converter(line.Master(), options.pace, key);
    TLatencyRun run(window, converter, key);
    converter.Start();
    const auto start = std::chrono::steady_clock::now();
    window.Automation().TurnOn();
    const TPanelAutomation &automation = window.Automation().Automation();
    if (!automation.IsOn()) {
      status = Fail("automation did not turn on");
    } else if (!run.WaitForAnswers(kAnswersBeforeMeasuring) ||
               !run.RunDirectPresses(options.presses) ||
               !run.StartClient(QCoreApplication::applicationFilePath(), automation.BusName()) ||
               !run.RunBusPresses(options.presses) || !run.RunBusRoundTrips(options.presses) ||
               !run.RunDisplayFrames(options.frames)) {
      status = 1;
    }
    converter.Stop();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == 0) {
      PrintFigures(options, run.Figures(), converter, seconds);
    }
  }
  return status;
}

// Starts the main window as the program does and prints, at the first paint
// of the main window, the milliseconds since the process started and the
// resident memory (VmRSS, kB) a second later; then quits.
// Output: "first_paint_ms=<n> vmrss_kb=<n>".
#include <unistd.h>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "main_window.h"

namespace {

// Process start in CLOCK_BOOTTIME milliseconds (clock-tick resolution).
double ProcessStartMs() {
  QFile stat(QStringLiteral("/proc/self/stat"));
  if (!stat.open(QIODevice::ReadOnly)) {
    return 0;
  }
  const QByteArray text = stat.readAll();
  // Fields after the command name, which ends with the last ')'.
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  const double ticks = fields.value(19).toDouble();  // field 22: starttime
  return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double BootTimeMs() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

long VmRssKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) {
    return -1;
  }
  for (const QByteArray &line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) {
      return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
  }
  return -1;
}

class TFirstPaintWatch : public QObject {
 public:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && firstPaintMs < 0) {
      firstPaintMs = BootTimeMs() - ProcessStartMs();
      QTimer::singleShot(1000, [this] {
        std::printf("first_paint_ms=%.0f vmrss_kb=%ld\n", firstPaintMs, VmRssKb());
        std::fflush(stdout);
        QApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }
  double firstPaintMs = -1;
};

}  // namespace

int main(int argc, char *argv[]) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  QTemporaryDir folder;
  TForm_Sorvanel window(folder.filePath(QStringLiteral("sorvanel")));
  TFirstPaintWatch watch;
  window.installEventFilter(&watch);
  window.show();
  return QApplication::exec();
}

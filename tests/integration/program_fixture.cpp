#include "program_fixture.h"

#include <signal.h>

#include <unistd.h>

#include <QEventLoop>
#include <QFileInfo>

namespace integration {

namespace {

// The fields of /proc/<task>/stat after the command name, which is in
// parentheses and may hold spaces: state, ..., utime (11), stime (12).
QList<QByteArray> TaskStat(const QString &statPath) {
  QFile stat(statPath);
  if (!stat.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray text = stat.readAll();
  return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// Clock ticks of user and system time of a task; -1 when it is gone.
long TaskTicks(const QList<QByteArray> &fields) {
  return fields.size() > 12 ? fields[11].toLong() + fields[12].toLong() : -1;
}

}  // namespace

bool TProgramFolders::CopyProgram() const {
  return QFile::exists(ProgramPath()) ||
         QFile::copy(QStringLiteral(SORVANEL_PROGRAM), ProgramPath());
}

QProcessEnvironment TProgramFolders::ProgramEnvironment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeFolder());
  return environment;
}

bool TProgramProcess::Start(const QStringList &arguments) {
  if (!folders_.CopyProgram()) {
    return false;
  }
  process_.setProcessEnvironment(environment);
  process_.setProcessChannelMode(QProcess::MergedChannels);
  process_.start(folders_.ProgramPath(), arguments);
  return process_.waitForStarted(10000);
}

bool TProgramProcess::StartTalkingTo(TPtyDrive &drive, const QString &port,
                                     const QStringList &arguments) {
  folders_.RegisterPort(port, drive.SlavePath());
  if (!Start(arguments)) {
    ADD_FAILURE() << process_.errorString().toStdString();
    return false;
  }
  if (!WaitUntil([&] { return HoldsOpen(drive.SlavePath()); }, 30000)) {
    ADD_FAILURE() << "the port was not opened: " << process_.readAll().toStdString();
    return false;
  }
  // The five messages held back after the start, then answers.
  return drive.SendUntilAnswered(DisplayPayload(0, "Kimenet  12.5 Hz"));
}

bool TProgramProcess::CatchesSigterm() const {
  QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
  if (!status.open(QIODevice::ReadOnly)) {
    return false;
  }
  for (const QByteArray &line : status.readAll().split('\n')) {
    if (line.startsWith("SigCgt:")) {
      return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
  }
  return false;
}

bool TProgramProcess::HoldsOpen(const QString &device) const {
  const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(process_.processId());
  for (const QFileInfo &fd : QDir(fdFolder).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
    if (fd.symLinkTarget() == device) {
      return true;
    }
  }
  return false;
}

bool TProgramProcess::WaitUntilIdle(int limitMs) {
  constexpr int kQuietMs = 500;
  const QString stat = QStringLiteral("/proc/%1/stat").arg(process_.processId());
  long ticks = -1;
  QElapsedTimer quiet;
  quiet.start();
  return WaitUntil(
      [&] {
        const QList<QByteArray> fields = TaskStat(stat);
        const long now = TaskTicks(fields);
        // A program that waits for its turn on a busy machine is runnable,
        // not sleeping.
        if (now != ticks || fields.value(0) != "S") {
          ticks = now;
          quiet.restart();
        }
        return now >= 0 && quiet.elapsed() >= kQuietMs;
      },
      limitMs);
}

QByteArray ScrambledMemoryFileHeader() {
  const QByteArray text("{VELTAR Terminal Full Memory File}");
  QByteArray header;
  header.append(static_cast<char>(text.size()));
  for (int i = 1; i <= text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i - 1]);
    const auto rotated = static_cast<uint8_t>((c >> 1) | (c << 7));
    header.append(static_cast<char>(static_cast<uint8_t>(rotated + i) ^ 0x6B));
  }
  return header;
}

QByteArray MemoryFileWith(uint16_t address, const QByteArray &data) {
  QByteArray image(8192, '\0');
  image.replace(address, data.size(), data);
  return ScrambledMemoryFileHeader() + image;
}

void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

double ProcessCpuSeconds() {
  long ticks = 0;
  const QStringList tasks =
      QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &task : tasks) {
    ticks += std::max(0L, TaskTicks(TaskStat(QStringLiteral("/proc/self/task/%1/stat").arg(task))));
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace integration

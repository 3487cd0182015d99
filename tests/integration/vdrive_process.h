// The real vdrive program as a child process with the test's runtime folder,
// so it registers its port in the test's own port map.
#pragma once

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "pty_line.h"

namespace integration {

class TVdrive {
 public:
  TVdrive(const QString &runtimeFolder, QStringList arguments = {QStringLiteral("--fast")})
      : entry_(runtimeFolder + QStringLiteral("/sorvanel/ports/VDRIVE1")) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral(VDRIVE_PROGRAM), arguments);
  }
  ~TVdrive() {
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
      }
    }
  }
  TVdrive(const TVdrive &) = delete;
  TVdrive &operator=(const TVdrive &) = delete;

  // The tty its port entry names, empty while there is none.
  QString PortTarget() const {
    const QFileInfo entry(entry_);
    return entry.isSymLink() ? entry.symLinkTarget() : QString();
  }

  // Waits until the port entry names a live tty other than 'previous' (the
  // tty of a drive that died and left its entry behind).
  bool WaitForPort(const QString &previous = QString(), int limitMs = 10000) {
    return WaitUntil(
        [&] {
          const QString target = PortTarget();
          return !target.isEmpty() && target != previous && QFileInfo::exists(target);
        },
        limitMs);
  }

  // The drive vanishes at once, without cleaning up.
  void Kill() {
    process_.kill();
    process_.waitForFinished(3000);
  }

  QString Output() { return QString::fromLocal8Bit(process_.readAll()); }
  bool Finished() const { return process_.state() == QProcess::NotRunning; }
  int ExitCode() const { return process_.exitCode(); }

  // Ends the drive with SIGTERM and returns what it printed.
  QString Stop() {
    process_.terminate();
    process_.waitForFinished(5000);
    return Output();
  }

 private:
  QString entry_;
  QProcess process_;
};

}  // namespace integration

#include "atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>

namespace {

class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : fd_(fd) {}
  ~TFileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  TFileDescriptor(const TFileDescriptor &) = delete;
  TFileDescriptor &operator=(const TFileDescriptor &) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded (a late write error
  // can surface here).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const QByteArray &bytes) {
  const char *data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// The write permission bit of the class this process falls in is missing.
// The owner's bit is checked explicitly, and a privileged user who owns no
// part of the file needs at least one write bit, since access() lets such a
// user write anything; for the group and others access() decides.
bool LacksWriteBit(const struct stat &info) {
  const uid_t user = ::geteuid();
  if (user == info.st_uid) {
    return (info.st_mode & S_IWUSR) == 0;
  }
  return user == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool IsRefused(const struct stat &info, const QByteArray &nativePath) {
  return !S_ISREG(info.st_mode) || LacksWriteBit(info) ||
         ::access(nativePath.constData(), W_OK) != 0;
}

// The old file overwritten where it stands, for a folder that cannot be
// written. Space for a longer content is reserved first, so a full disk
// refuses before the old bytes are touched; the file is cut to its new length
// only after the bytes are written, so a failing write keeps the old length.
// True when the new content is written, cut to length and on the disk.
bool WriteInPlace(const QString &target, const QByteArray &bytes) {
  TFileDescriptor fd(::open(QFile::encodeName(target).constData(), O_WRONLY | O_CLOEXEC));
  struct stat info = {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    return false;
  }
  const auto length = static_cast<off_t>(bytes.size());
  if (length > info.st_size && ::posix_fallocate(fd.get(), 0, length) != 0) {
    return false;
  }
  const bool written =
      WriteAll(fd.get(), bytes) && ::ftruncate(fd.get(), length) == 0 && ::fsync(fd.get()) == 0;
  return fd.Close() && written;
}

QString TemporaryFileName(const QString &fileName, quint32 number) {
  return QStringLiteral(".%1.%2.tmp").arg(fileName).arg(number, 8, 16, QChar(u'0'));
}

// Creates a new file with a name nobody else uses, next to 'target'.
int CreateTemporaryFile(const QString &target, QByteArray *temporaryPath) {
  const QFileInfo info(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString name = info.absolutePath() + QLatin1Char('/') +
                         TemporaryFileName(info.fileName(), QRandomGenerator::global()->generate());
    *temporaryPath = QFile::encodeName(name);
    const int fd =
        ::open(temporaryPath->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      return fd;
    }
  }
  return -1;
}

void SyncFolder(const QString &target) {
  const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
  TFileDescriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) {
    ::fsync(fd.get());  // best effort: the rename itself has already happened
  }
}

}  // namespace

bool IsExistingFileReadOnly(const QString &path) {
  const QByteArray native = QFile::encodeName(path);
  struct stat info = {};
  return ::stat(native.constData(), &info) == 0 && IsRefused(info, native);
}

bool WriteFileAtomically(const QString &path, const QByteArray &bytes) {
  const QByteArray native = QFile::encodeName(path);
  struct stat old = {};
  bool existed = false;
  QString target = path;
  if (::stat(native.constData(), &old) == 0) {
    if (IsRefused(old, native)) {
      return false;
    }
    existed = true;
    target = QFileInfo(path).canonicalFilePath();
  } else if (errno != ENOENT) {
    return false;
  }

  QByteArray temporaryPath;
  TFileDescriptor fd(CreateTemporaryFile(target, &temporaryPath));
  if (fd.get() < 0) {
    // The folder cannot be written but the file can: the new content goes
    // into the file where it stands rather than being lost.
    return existed && (errno == EACCES || errno == EPERM) && WriteInPlace(target, bytes);
  }
  bool ok = WriteAll(fd.get(), bytes);
  if (ok && existed) {
    if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
      // Only a privileged process may give the file away; keeping the
      // permission bits is what matters.
    }
    ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  }
  ok = ok && ::fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  ok = ok && ::rename(temporaryPath.constData(), QFile::encodeName(target).constData()) == 0;
  if (!ok) {
    ::unlink(temporaryPath.constData());
    return false;
  }
  SyncFolder(target);
  return true;
}

QString MoveAside(const QString &path, const QString &suffix) {
  constexpr int kMaxAttempts = 1000;
  const QByteArray from = QFile::encodeName(path);
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const QString name =
        path + suffix + (attempt == 0 ? QString() : QStringLiteral(".%1").arg(attempt));
    const QByteArray to = QFile::encodeName(name);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
      SyncFolder(path);
      return name;
    }
    if (errno != EEXIST) {
      return QString();
    }
  }
  return QString();
}

void RemoveLeftoverTemporaryFiles(const QString &path) {
  QStringList targets{QFileInfo(path).absoluteFilePath()};
  const QString canonical = QFileInfo(path).canonicalFilePath();
  if (!canonical.isEmpty() && canonical != targets.first()) {
    targets.append(canonical);
  }
  for (const QString &target : targets) {
    const QFileInfo info(target);
    const QRegularExpression own(QStringLiteral("^\\.%1\\.[0-9a-f]{8}\\.tmp$")
                                     .arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    for (const QFileInfo &entry :
         folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks)) {
      if (own.match(entry.fileName()).hasMatch()) {
        ::unlink(QFile::encodeName(entry.absoluteFilePath()).constData());
      }
    }
  }
}

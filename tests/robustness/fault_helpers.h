// Ways to make the system fail for a test: a file-size limit, a tiny
// filesystem that fills up, and readings of how much memory the process uses.
#pragma once

#include <malloc.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <cstddef>
#include <fstream>
#include <string>

#include "file_size_limit.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROBUSTNESS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ROBUSTNESS_ASAN 1
#endif
#ifdef ROBUSTNESS_ASAN
// From the sanitizer runtime (declared here: not every compiler ships the header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace robustness {

using ::TFileSizeLimit;

// A tmpfs of a few pages mounted on a temporary folder (root only). Mounted()
// tells whether the mount worked; tests skip when it did not.
class TTinyFilesystem {
 public:
  explicit TTinyFilesystem(int kilobytes) {
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    mounted_ = folder_.isValid() && ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(),
                                            "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  }
  ~TTinyFilesystem() {
    if (mounted_) {
      ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
  }
  TTinyFilesystem(const TTinyFilesystem &) = delete;
  TTinyFilesystem &operator=(const TTinyFilesystem &) = delete;

  bool Mounted() const { return mounted_; }
  QString PathOf(const QString &name) const { return QDir(folder_.path()).filePath(name); }

  // Writes a file of zeros until the filesystem is full; returns its path.
  QString FillUp() const {
    const QString path = PathOf(QStringLiteral("filler"));
    QFile filler(path);
    if (filler.open(QIODevice::WriteOnly)) {
      const QByteArray block(512, '\0');
      while (filler.write(block) == block.size() && filler.flush()) {
      }
    }
    return path;
  }

 private:
  QTemporaryDir folder_;
  bool mounted_ = false;
};

// Resident set size of the process in kilobytes, from /proc/self/status.
inline long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string field;
  while (status >> field) {
    if (field == "VmRSS:") {
      long kilobytes = 0;
      status >> kilobytes;
      return kilobytes;
    }
  }
  return -1;
}

// Bytes the program holds on the heap right now (freed blocks excluded).
inline size_t HeapBytesInUse() {
#ifdef ROBUSTNESS_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

}  // namespace robustness

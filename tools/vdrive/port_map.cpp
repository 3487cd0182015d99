#include "port_map.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/port/port_map_folder.h"

namespace vdrive {
namespace {

std::string Reason(const std::string &what) {
  return what + ": " + std::strerror(errno);
}

bool MakeFolder(const std::string &path, std::string &error) {
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    struct stat info = {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      return true;
    }
    errno = ENOTDIR;
  }
  error = Reason(path);
  return false;
}

std::string ReadLink(const std::string &path) {
  char target[4096];
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  return length < 0 ? std::string() : std::string(target, static_cast<size_t>(length));
}

std::string ReadAll(int fd) {
  std::string text;
  char chunk[256];
  ssize_t got = 0;
  off_t offset = 0;
  while ((got = ::pread(fd, chunk, sizeof chunk, offset)) > 0) {
    text.append(chunk, static_cast<size_t>(got));
    offset += got;
  }
  return text;
}

}  // namespace

bool PreparePortMapFolders(PortMapFolders &folders, std::string &error) {
  const TRuntimeFolders runtime = UserRuntimeFolders();
  if (runtime.runtime.isEmpty()) {
    error = "no usable runtime folder (check XDG_RUNTIME_DIR)";
    return false;
  }
  const std::string base = runtime.program.toStdString();
  folders = {runtime.portMap.toStdString(), base + "/vdrive"};
  return MakeFolder(runtime.runtime.toStdString(), error) && MakeFolder(base, error) &&
         MakeFolder(folders.ports, error) && MakeFolder(folders.locks, error);
}

bool IsValidPortName(const std::string &name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') {
    return false;
  }
  for (char c : name) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    if (!allowed) {
      return false;
    }
  }
  return true;
}

bool PortMapEntry::Register(const PortMapFolders &folders, const std::string &name,
                            const std::string &slavePath, std::string &error) {
  entryPath_ = folders.ports + "/" + name;
  slavePath_ = slavePath;
  std::string recordedSlave;
  if (!TakeLock(folders.locks + "/" + name + ".lock", recordedSlave, error) ||
      !EntryMayBeReplaced(recordedSlave, error)) {
    return false;
  }
  const std::string record = std::to_string(::getpid()) + "\n" + slavePath + "\n";
  if (::ftruncate(lock_.Get(), 0) != 0 || ::pwrite(lock_.Get(), record.data(), record.size(), 0) !=
                                              static_cast<ssize_t>(record.size())) {
    error = Reason("lock file of " + name);
    return false;
  }
  if (!WriteLink(folders, name, error)) {
    return false;
  }
  registered_ = true;
  return true;
}

bool PortMapEntry::TakeLock(const std::string &lockPath, std::string &recordedSlave,
                            std::string &error) {
  lock_.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!lock_.Valid()) {
    error = Reason(lockPath);
    return false;
  }
  const std::string record = ReadAll(lock_.Get());
  if (::flock(lock_.Get(), LOCK_EX | LOCK_NB) != 0) {
    const std::string pid = record.substr(0, record.find('\n'));
    error = errno == EWOULDBLOCK
                ? "port " + entryPath_ + " is in use by a running vdrive (pid " + pid + ")"
                : Reason(lockPath);
    lock_.Reset();
    return false;
  }
  // "pid\nslave\n" from the drive that held the name last.
  const size_t first = record.find('\n');
  const size_t second = first == std::string::npos ? first : record.find('\n', first + 1);
  if (second != std::string::npos) {
    recordedSlave = record.substr(first + 1, second - first - 1);
  }
  return true;
}

bool PortMapEntry::EntryMayBeReplaced(const std::string &recordedSlave, std::string &error) const {
  struct stat entry = {};
  if (::lstat(entryPath_.c_str(), &entry) != 0) {
    if (errno == ENOENT) {
      return true;
    }
    error = Reason(entryPath_);
    return false;
  }
  if (S_ISLNK(entry.st_mode)) {
    const std::string target = ReadLink(entryPath_);
    struct stat targetInfo = {};
    const bool dangling = ::stat(entryPath_.c_str(), &targetInfo) != 0 && errno == ENOENT;
    if (dangling || (!recordedSlave.empty() && target == recordedSlave)) {
      return true;  // left behind by a drive that is gone
    }
    error = entryPath_ + " already points to " + target +
            ", which this program did not register; remove it or choose another --name";
    return false;
  }
  error = entryPath_ + " exists and is not a port link; remove it or choose another --name";
  return false;
}

bool PortMapEntry::WriteLink(const PortMapFolders &folders, const std::string &name,
                             std::string &error) {
  // Made beside the lock and renamed into place, so the port folder never
  // shows a half-made or temporary entry.
  const std::string temporary = folders.locks + "/." + name + ".link." + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(slavePath_.c_str(), temporary.c_str()) != 0) {
    error = Reason(temporary);
    return false;
  }
  if (::rename(temporary.c_str(), entryPath_.c_str()) != 0) {
    error = Reason(entryPath_);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

void PortMapEntry::Withdraw() {
  if (registered_ && ReadLink(entryPath_) == slavePath_) {
    ::unlink(entryPath_.c_str());
  }
}

bool PortMapEntry::Move(const PortMapFolders &folders, const std::string &name,
                        const std::string &slavePath, std::string &error) {
  slavePath_ = slavePath;
  const std::string record = std::to_string(::getpid()) + "\n" + slavePath + "\n";
  if (::ftruncate(lock_.Get(), 0) != 0 || ::pwrite(lock_.Get(), record.data(), record.size(), 0) !=
                                              static_cast<ssize_t>(record.size())) {
    error = Reason("lock file of " + name);
    return false;
  }
  return WriteLink(folders, name, error);
}

void PortMapEntry::Remove() {
  if (!registered_) {
    return;
  }
  registered_ = false;
  if (ReadLink(entryPath_) == slavePath_) {
    ::unlink(entryPath_.c_str());
  }
  if (lock_.Valid() && ::ftruncate(lock_.Get(), 0) != 0) {
    // Only the record of this run is lost; the lock goes with the descriptor.
  }
  lock_.Reset();
}

}  // namespace vdrive

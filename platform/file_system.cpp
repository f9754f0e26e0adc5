#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {
namespace {

std::atomic<AtomicWriteHook> g_atomic_write_hook{nullptr};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A temporary name beside `path`, unique to this process and call, so that
// writers of the same file never share one.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Creates the temporary file, lets `fill` write it, syncs it and renames it
// over `path`. Every failure removes the temporary file and is logged.
template <typename Fill>
bool ReplaceFile(const std::string& path, unsigned mode, Fill fill) {
  std::string temp = TemporaryNameFor(path);
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
  if (fd < 0) {
    PlatformLog("cannot create %s: %s", temp.c_str(), std::strerror(errno));
    return false;
  }
  const char* step = nullptr;
  if (::fchmod(fd, mode & 07777) != 0) {
    step = "set the mode of";
  } else if (!fill(fd)) {
    step = "write";
  } else if (::fsync(fd) != 0) {
    step = "sync";
  }
  int saved = errno;
  if (::close(fd) != 0 && step == nullptr) {
    step = "close";
    saved = errno;
  }
  if (step != nullptr) {
    PlatformLog("cannot %s %s: %s", step, temp.c_str(), std::strerror(saved));
    ::unlink(temp.c_str());
    return false;
  }
  if (AtomicWriteHook hook = g_atomic_write_hook.load()) hook(temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    PlatformLog("cannot rename %s to %s: %s", temp.c_str(), path.c_str(), std::strerror(errno));
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(DirName(path));
  return true;
}

}  // namespace

bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>* entries) {
  entries->clear();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    PlatformLog("cannot list %s: %s", folder.c_str(), std::strerror(errno));
    return false;
  }
  int dir_fd = ::dirfd(dir);
  while (dirent* item = ::readdir(dir)) {
    if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0) continue;
    DirectoryEntry entry;
    entry.name = item->d_name;
    struct stat info {};
    // A link is described by what it points to; a dangling one by itself.
    if (::fstatat(dir_fd, item->d_name, &info, 0) == 0 ||
        ::fstatat(dir_fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
      entry.is_directory = S_ISDIR(info.st_mode);
      entry.modified_unix_seconds = static_cast<int64_t>(info.st_mtim.tv_sec);
      entry.size = static_cast<uint64_t>(info.st_size);
    }
    entries->push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  bytes->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      PlatformLog("cannot read %s: %s", path.c_str(), std::strerror(errno));
      ok = false;
      break;
    }
    if (n == 0) break;
    bytes->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) bytes->clear();
  return ok;
}

bool ReadPrivateFile(const std::string& path, size_t max_bytes, std::string* bytes, std::string* why) {
  bytes->clear();
  // O_NOFOLLOW: a link could point anywhere, and its own mode says nothing.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    *why = errno == ELOOP ? path + " is a symbolic link: give the file itself"
                          : "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat status {};
  bool ok = ::fstat(fd, &status) == 0;
  if (!ok) {
    *why = "cannot read the state of " + path + ": " + std::strerror(errno);
  } else if (!S_ISREG(status.st_mode)) {
    *why = path + " is not a regular file";
    ok = false;
  } else if (status.st_uid != ::geteuid()) {
    *why = path + " belongs to user " + std::to_string(status.st_uid) + ", not to this user (" +
           std::to_string(::geteuid()) + "): chown it, or write a file of your own";
    ok = false;
  } else if ((status.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof(mode), "%04o", static_cast<unsigned>(status.st_mode & 07777));
    *why = path + " may be read by others (mode " + mode + "): chmod 600 " + path;
    ok = false;
  } else if (static_cast<uint64_t>(status.st_size) > max_bytes) {
    *why = path + " has " + std::to_string(status.st_size) + " bytes; at most " + std::to_string(max_bytes) +
           " are read";
    ok = false;
  }
  char buffer[4096];
  while (ok) {
    const ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = "cannot read " + path + ": " + std::strerror(errno);
      ok = false;
    } else if (n == 0) {
      break;
    } else if (bytes->size() + static_cast<size_t>(n) > max_bytes) {
      *why = path + " grew past " + std::to_string(max_bytes) + " bytes while it was read";
      ok = false;
    } else {
      bytes->append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  if (!ok) bytes->clear();
  return ok;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, unsigned mode) {
  return ReplaceFile(path, mode, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

void SetAtomicWriteHookForTesting(AtomicWriteHook hook) { g_atomic_write_hook.store(hook); }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  PlatformLog("cannot rename %s to %s: %s", from.c_str(), to.c_str(), std::strerror(errno));
  return false;
}

bool CopyFileBytes(const std::string& from, const std::string& to, unsigned mode) {
  int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) {
    PlatformLog("cannot open %s: %s", from.c_str(), std::strerror(errno));
    return false;
  }
  bool copied = ReplaceFile(to, mode, [&](int fd) {
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(source, buffer, sizeof(buffer));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) return true;
      if (!WriteAll(fd, buffer, static_cast<size_t>(n))) return false;
    }
  });
  ::close(source);
  return copied;
}

std::string DirName(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "." : "/";
  size_t slash = path.rfind('/', end);
  if (slash == std::string::npos) return ".";
  size_t folder_end = path.find_last_not_of('/', slash);
  if (folder_end == std::string::npos) return "/";
  return path.substr(0, folder_end + 1);
}

std::string BaseName(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  size_t slash = path.rfind('/', end);
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end + 1 - start);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (name.empty()) return folder;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace vz

#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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

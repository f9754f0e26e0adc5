// The file backend of the settings store. Every operation reads the file
// afresh, so processes sharing it see each other's writes; changes are made
// under an exclusive lock on a lock file beside it and land through an atomic
// replace, so a reader never sees half a file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/platform_log.h"
#include "platform/settings_tree.h"

namespace vz {
namespace {

constexpr unsigned kFileMode = 0600;
// Long enough for writers queued behind each other on a busy disk (a write
// loads, writes and renames the whole file), short of hanging for ever
// behind a stuck process.
constexpr uint64_t kLockWaitMs = 30000;

// Holds an exclusive flock on a lock file for its lifetime.
class ExclusiveFileLock {
 public:
  ~ExclusiveFileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }

  // Gives up after a while rather than hang behind a stuck process.
  bool Acquire(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd_ < 0) {
      PlatformLog("cannot open settings lock %s: %s", path.c_str(), std::strerror(errno));
      return false;
    }
    uint64_t deadline = MonotonicMs() + kLockWaitMs;
    for (;;) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
      if (errno != EWOULDBLOCK && errno != EINTR) {
        PlatformLog("cannot lock %s: %s", path.c_str(), std::strerror(errno));
        return false;
      }
      if (MonotonicMs() >= deadline) {
        PlatformLog("cannot lock %s: still held by another process after %llu ms", path.c_str(),
                    static_cast<unsigned long long>(kLockWaitMs));
        return false;
      }
      SleepMs(1);
    }
  }

 private:
  int fd_ = -1;
};

class FileSettingsStore : public TreeSettingsStore {
 public:
  explicit FileSettingsStore(std::string path) : path_(std::move(path)), lock_path_(path_ + ".lock") {}

 protected:
  bool Lookup(std::string_view key, std::string_view name, SettingsValue* value) override {
    SettingsTree tree;
    if (Load(&tree) != LoadResult::kRead) return false;
    const SettingsValue* found = tree.Find(key, name);
    if (found == nullptr) return false;
    *value = *found;
    return true;
  }

  bool Update(const Change& change) override {
    if (path_.empty()) {
      PlatformLog("cannot store a setting: there is no settings folder");
      return false;
    }
    std::lock_guard<std::mutex> in_process(mutex_);
    ExclusiveFileLock lock;
    if (!lock.Acquire(lock_path_)) return false;
    SettingsTree tree;
    LoadResult loaded = Load(&tree);
    if (loaded == LoadResult::kUnreadable) return false;
    if (!change(&tree)) return true;
    if (loaded == LoadResult::kCorrupt) {
      // The unreadable settings are kept aside, not overwritten.
      std::string kept = path_ + ".corrupt";
      if (!RenameFile(path_, kept)) return false;
      PlatformLog("settings file %s was corrupt; kept it as %s", path_.c_str(), kept.c_str());
    }
    if (!WriteFileAtomic(path_, tree.Serialize(), kFileMode)) {
      PlatformLog("cannot write settings file %s", path_.c_str());
      return false;
    }
    return true;
  }

 private:
  enum class LoadResult { kRead, kMissing, kCorrupt, kUnreadable };

  LoadResult Load(SettingsTree* tree) {
    if (path_.empty()) return LoadResult::kMissing;
    std::string bytes;
    if (!ReadFileBytes(path_, &bytes)) {
      if (!FileExists(path_)) return LoadResult::kMissing;
      PlatformLog("cannot read settings file %s", path_.c_str());
      return LoadResult::kUnreadable;
    }
    std::string error;
    if (!SettingsTree::Parse(bytes, tree, &error)) {
      PlatformLog("settings file %s is corrupt (%s); reading it as empty", path_.c_str(), error.c_str());
      return LoadResult::kCorrupt;
    }
    return LoadResult::kRead;
  }

  const std::string path_;
  const std::string lock_path_;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenFileSettingsStore(const std::string& path) {
  return std::make_unique<FileSettingsStore>(path);
}

}  // namespace vz

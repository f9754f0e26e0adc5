#include "platform/elf_modules.h"

#include <elf.h>
#include <link.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/elf_modules_image.h"
#include "platform/platform_log.h"

namespace vz {
namespace {

// Fixed capacity: the snapshot lives in static storage, so the handler never
// allocates and a refresh never frees what a reader might be looking at.
constexpr size_t kMaxImages = 512;
constexpr size_t kPathPoolSize = 64 * 1024;
constexpr int kPinAttempts = 64;

struct SnapshotEntry {
  ImageEntry image;
  uint32_t path_offset;
  uint32_t path_length;
};

struct Snapshot {
  size_t count;
  size_t path_used;
  size_t dropped;  // images that did not fit
  SnapshotEntry entries[kMaxImages];
  char paths[kPathPoolSize];
};

// Two snapshots: the published one, which readers may use, and the spare one,
// which a refresh fills. A reader pins the published index, then checks that
// it is still the published one; a refresh waits until nobody pins the spare
// before it writes into it. Readers never wait: the handler reads while
// another thread refreshes, or while its own thread was interrupted inside a
// refresh (it then reads the published one, which that refresh does not touch).
Snapshot g_snapshots[2];
std::atomic<int> g_published{-1};
std::atomic<int> g_readers[2] = {0, 0};
std::mutex g_refresh_mutex;

// Appends the image's path to the pool; false when the pool is full.
bool CopyPath(const char* name, Snapshot* snapshot, SnapshotEntry* entry) {
  char own[sizeof(ElfModuleInfo::path)];
  if (name == nullptr || name[0] == '\0') {
    // The main program is listed without a name.
    const ssize_t n = readlink("/proc/self/exe", own, sizeof(own) - 1);
    own[n > 0 ? n : 0] = '\0';
    name = own;
  }
  size_t length = std::strlen(name);
  if (length >= sizeof(ElfModuleInfo::path)) length = sizeof(ElfModuleInfo::path) - 1;
  if (snapshot->path_used + length > kPathPoolSize) return false;
  std::memcpy(snapshot->paths + snapshot->path_used, name, length);
  entry->path_offset = static_cast<uint32_t>(snapshot->path_used);
  entry->path_length = static_cast<uint32_t>(length);
  snapshot->path_used += length;
  return true;
}

int CopyImage(dl_phdr_info* image, size_t, void* data) {
  Snapshot* snapshot = static_cast<Snapshot*>(data);
  if (snapshot->count == kMaxImages) {
    ++snapshot->dropped;
    return 0;
  }
  SnapshotEntry& entry = snapshot->entries[snapshot->count];
  if (!MeasureImage(image->dlpi_addr, image->dlpi_phdr, image->dlpi_phnum, &entry.image)) return 0;
  if (!CopyPath(image->dlpi_name, snapshot, &entry)) {
    ++snapshot->dropped;
    return 0;
  }
  ReadBuildId(image->dlpi_addr, image->dlpi_phdr, image->dlpi_phnum, &entry.image);
  ++snapshot->count;
  return 0;
}

bool LookUp(const Snapshot& snapshot, uintptr_t address, ElfModuleInfo* info) {
  for (size_t i = 0; i < snapshot.count; ++i) {
    const SnapshotEntry& entry = snapshot.entries[i];
    if (address < entry.image.image_start || address >= entry.image.image_end) continue;
    DescribeImage(entry.image, snapshot.paths + entry.path_offset, entry.path_length, address, info);
    return true;
  }
  return false;
}

// The snapshot's answer; false also when no snapshot could be pinned.
bool FindInSnapshot(uintptr_t address, ElfModuleInfo* info) {
  for (int attempt = 0; attempt < kPinAttempts; ++attempt) {
    const int index = g_published.load();
    if (index < 0) return false;
    g_readers[index].fetch_add(1);
    // A refresh may have published the other one and started on this one
    // between the load and the pin: then try again.
    if (g_published.load() != index) {
      g_readers[index].fetch_sub(1);
      continue;
    }
    const bool found = LookUp(g_snapshots[index], address, info);
    g_readers[index].fetch_sub(1);
    return found;
  }
  return false;
}

}  // namespace

size_t RefreshElfModuleSnapshot() {
  std::lock_guard<std::mutex> lock(g_refresh_mutex);
  const int spare = g_published.load() == 0 ? 1 : 0;
  // Only a crash handler pins a snapshot, and only for one lookup; one that
  // never returns is ending the process.
  while (g_readers[spare].load() != 0) sched_yield();
  Snapshot& snapshot = g_snapshots[spare];
  snapshot.count = 0;
  snapshot.path_used = 0;
  snapshot.dropped = 0;
  dl_iterate_phdr(CopyImage, &snapshot);
  if (snapshot.dropped != 0) {
    PlatformLog("the module snapshot holds %zu images; %zu more did not fit", snapshot.count, snapshot.dropped);
  }
  g_published.store(spare);
  return snapshot.count;
}

bool FindElfModule(uintptr_t address, ElfModuleInfo* info) {
  return FindInSnapshot(address, info) || FindInLoaderList(address, info);
}

}  // namespace vz

#include "platform/elf_modules.h"

#include <elf.h>
#include <link.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/platform_log.h"

namespace vz {
namespace {

// Fixed capacity: the snapshot lives in static storage, so the handler never
// allocates and a refresh never frees what a reader might be looking at.
constexpr size_t kMaxImages = 512;
constexpr size_t kMaxSegments = 8;  // load segments kept per image (ELF images have 2 to 5)
constexpr size_t kPathPoolSize = 64 * 1024;
constexpr size_t kBuildIdSize = sizeof(ElfModuleInfo::build_id);
constexpr int kPinAttempts = 64;

struct ImageEntry {
  uintptr_t load_bias;
  uintptr_t image_start;
  uintptr_t image_end;
  uintptr_t segment_start[kMaxSegments];
  uintptr_t segment_size[kMaxSegments];
  unsigned segment_count;
  uint32_t path_offset;
  uint32_t path_length;
  unsigned char build_id[kBuildIdSize];
  size_t build_id_size;
};

struct Snapshot {
  size_t count;
  size_t path_used;
  size_t dropped;  // images that did not fit
  ImageEntry images[kMaxImages];
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

size_t Align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

void CopyBuildId(const dl_phdr_info* image, ImageEntry* entry) {
  for (int i = 0; i < image->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = image->dlpi_phdr[i];
    if (ph.p_type != PT_NOTE) continue;
    const unsigned char* note = reinterpret_cast<const unsigned char*>(image->dlpi_addr + ph.p_vaddr);
    size_t left = ph.p_memsz;
    while (left >= sizeof(ElfW(Nhdr))) {
      ElfW(Nhdr) header;
      std::memcpy(&header, note, sizeof(header));
      const size_t name_size = Align4(header.n_namesz);
      const size_t desc_size = Align4(header.n_descsz);
      const size_t total = sizeof(header) + name_size + desc_size;
      if (total > left) break;
      const unsigned char* name = note + sizeof(header);
      if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
        const size_t size = header.n_descsz < kBuildIdSize ? header.n_descsz : kBuildIdSize;
        std::memcpy(entry->build_id, name + name_size, size);
        entry->build_id_size = size;
        return;
      }
      note += total;
      left -= total;
    }
  }
}

// Appends the image's path to the pool; false when the pool is full.
bool CopyPath(const char* name, Snapshot* snapshot, ImageEntry* entry) {
  char own[1024];
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
  ImageEntry& entry = snapshot->images[snapshot->count];
  entry = ImageEntry{};
  uintptr_t low = UINTPTR_MAX;
  uintptr_t high = 0;
  for (int i = 0; i < image->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = image->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    const uintptr_t start = image->dlpi_addr + ph.p_vaddr;
    if (start < low) low = start;
    if (start + ph.p_memsz > high) high = start + ph.p_memsz;
    if (entry.segment_count < kMaxSegments) {
      entry.segment_start[entry.segment_count] = start;
      entry.segment_size[entry.segment_count] = ph.p_memsz;
      ++entry.segment_count;
    }
  }
  if (low == UINTPTR_MAX) return 0;  // nothing mapped
  if (!CopyPath(image->dlpi_name, snapshot, &entry)) {
    ++snapshot->dropped;
    return 0;
  }
  entry.load_bias = image->dlpi_addr;
  entry.image_start = low;
  entry.image_end = high;
  CopyBuildId(image, &entry);
  ++snapshot->count;
  return 0;
}

void Describe(const Snapshot& snapshot, const ImageEntry& entry, uintptr_t address, ElfModuleInfo* info) {
  *info = ElfModuleInfo{};
  std::memcpy(info->path, snapshot.paths + entry.path_offset, entry.path_length);
  info->path[entry.path_length] = '\0';
  info->load_bias = entry.load_bias;
  info->image_start = entry.image_start;
  info->image_size = entry.image_end - entry.image_start;
  for (unsigned i = 0; i < entry.segment_count; ++i) {
    const uintptr_t start = entry.segment_start[i];
    // Both ends belong to the segment.
    if (address >= start && address <= start + entry.segment_size[i]) {
      info->segment_number = i + 1;
      info->segment_offset = address - start;
      break;
    }
  }
  std::memcpy(info->build_id, entry.build_id, entry.build_id_size);
  info->build_id_size = entry.build_id_size;
}

bool LookUp(const Snapshot& snapshot, uintptr_t address, ElfModuleInfo* info) {
  for (size_t i = 0; i < snapshot.count; ++i) {
    const ImageEntry& entry = snapshot.images[i];
    if (address < entry.image_start || address >= entry.image_end) continue;
    Describe(snapshot, entry, address, info);
    return true;
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

}  // namespace vz

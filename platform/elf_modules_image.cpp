#include "platform/elf_modules_image.h"

#include <cstring>

#include "platform/fatal_signal.h"

namespace vz {
namespace {

// Notes beyond this many bytes of a note segment are not searched; the
// build-id comes first in every image the toolchain writes.
constexpr size_t kNoteBytes = 1024;

size_t Align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

// The build-id note inside `notes`, if any.
void FindBuildId(const unsigned char* notes, size_t left, ImageEntry* entry) {
  while (left >= sizeof(ElfW(Nhdr))) {
    ElfW(Nhdr) header;
    std::memcpy(&header, notes, sizeof(header));
    const size_t name_size = Align4(header.n_namesz);
    const size_t desc_size = Align4(header.n_descsz);
    const size_t total = sizeof(header) + name_size + desc_size;
    if (total > left) return;
    const unsigned char* name = notes + sizeof(header);
    if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0) {
      const size_t size = header.n_descsz < kBuildIdSize ? header.n_descsz : kBuildIdSize;
      std::memcpy(entry->build_id, name + name_size, size);
      entry->build_id_size = size;
      return;
    }
    notes += total;
    left -= total;
  }
}

}  // namespace

bool MeasureImage(uintptr_t load_bias, const ElfW(Phdr)* headers, size_t count, ImageEntry* entry) {
  *entry = ImageEntry{};
  uintptr_t low = UINTPTR_MAX;
  uintptr_t high = 0;
  for (size_t i = 0; i < count; ++i) {
    const ElfW(Phdr)& ph = headers[i];
    if (ph.p_type != PT_LOAD) continue;
    const uintptr_t start = load_bias + ph.p_vaddr;
    if (start < low) low = start;
    if (start + ph.p_memsz > high) high = start + ph.p_memsz;
    if (entry->segment_count < kMaxImageSegments) {
      entry->segment_start[entry->segment_count] = start;
      entry->segment_size[entry->segment_count] = ph.p_memsz;
      entry->segment_executable[entry->segment_count] = (ph.p_flags & PF_X) != 0;
      ++entry->segment_count;
    }
  }
  if (low == UINTPTR_MAX) return false;
  entry->load_bias = load_bias;
  entry->image_start = low;
  entry->image_end = high;
  return true;
}

void ReadBuildId(uintptr_t load_bias, const ElfW(Phdr)* headers, size_t count, ImageEntry* entry) {
  unsigned char notes[kNoteBytes];
  for (size_t i = 0; i < count && entry->build_id_size == 0; ++i) {
    const ElfW(Phdr)& ph = headers[i];
    if (ph.p_type != PT_NOTE) continue;
    const size_t size = ph.p_memsz < sizeof(notes) ? ph.p_memsz : sizeof(notes);
    if (!ReadMemorySafely(load_bias + ph.p_vaddr, notes, size)) continue;
    FindBuildId(notes, size, entry);
  }
}

void DescribeImage(const ImageEntry& entry, const char* path, size_t path_length, uintptr_t address,
                   ElfModuleInfo* info) {
  *info = ElfModuleInfo{};
  if (path_length >= sizeof(info->path)) path_length = sizeof(info->path) - 1;
  std::memcpy(info->path, path, path_length);
  info->path[path_length] = '\0';
  info->load_bias = entry.load_bias;
  info->image_start = entry.image_start;
  info->image_size = entry.image_end - entry.image_start;
  for (unsigned i = 0; i < entry.segment_count; ++i) {
    const uintptr_t start = entry.segment_start[i];
    // Both ends belong to the segment.
    if (address >= start && address <= start + entry.segment_size[i]) {
      info->segment_number = i + 1;
      info->segment_offset = address - start;
      info->segment_executable = entry.segment_executable[i];
      break;
    }
  }
  std::memcpy(info->build_id, entry.build_id, entry.build_id_size);
  info->build_id_size = entry.build_id_size;
}

}  // namespace vz

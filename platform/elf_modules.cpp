#include "platform/elf_modules.h"

#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <cstring>

namespace vz {
namespace {

struct Search {
  uintptr_t address;
  ElfModuleInfo* info;
  bool found;
};

size_t Align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

void ReadBuildId(const dl_phdr_info* image, ElfModuleInfo* info) {
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
        const size_t size = header.n_descsz < sizeof(info->build_id) ? header.n_descsz : sizeof(info->build_id);
        std::memcpy(info->build_id, name + name_size, size);
        info->build_id_size = size;
        return;
      }
      note += total;
      left -= total;
    }
  }
}

void CopyPath(const char* name, ElfModuleInfo* info) {
  if (name != nullptr && name[0] != '\0') {
    std::strncpy(info->path, name, sizeof(info->path) - 1);
    return;
  }
  // The main program is listed without a name.
  const ssize_t n = readlink("/proc/self/exe", info->path, sizeof(info->path) - 1);
  info->path[n > 0 ? n : 0] = '\0';
}

int VisitImage(dl_phdr_info* image, size_t, void* data) {
  Search* search = static_cast<Search*>(data);
  uintptr_t low = UINTPTR_MAX;
  uintptr_t high = 0;
  for (int i = 0; i < image->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = image->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    const uintptr_t start = image->dlpi_addr + ph.p_vaddr;
    if (start < low) low = start;
    if (start + ph.p_memsz > high) high = start + ph.p_memsz;
  }
  if (low == UINTPTR_MAX || search->address < low || search->address >= high) return 0;

  ElfModuleInfo* info = search->info;
  *info = ElfModuleInfo{};
  CopyPath(image->dlpi_name, info);
  info->load_bias = image->dlpi_addr;
  info->image_start = low;
  info->image_size = high - low;
  unsigned number = 0;
  for (int i = 0; i < image->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = image->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    ++number;
    const uintptr_t start = image->dlpi_addr + ph.p_vaddr;
    // Both ends belong to the segment.
    if (search->address >= start && search->address <= start + ph.p_memsz) {
      info->segment_number = number;
      info->segment_offset = search->address - start;
      break;
    }
  }
  ReadBuildId(image, info);
  search->found = true;
  return 1;
}

}  // namespace

bool FindElfModule(uintptr_t address, ElfModuleInfo* info) {
  Search search{address, info, false};
  dl_iterate_phdr(VisitImage, &search);
  return search.found;
}

}  // namespace vz

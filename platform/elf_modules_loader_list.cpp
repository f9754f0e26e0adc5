// The lookup of last resort: the loader's own list of images, the one it
// keeps for debuggers, walked the way a debugger walks it, from outside:
// no lock, every read through ReadMemorySafely, a bounded number of steps.
// A thread that loads or unloads a library meanwhile can make the walk miss
// an image or stop early, never fault or loop.
#include <elf.h>
#include <link.h>

#include <cstring>

#include "platform/elf_modules_image.h"
#include "platform/fatal_signal.h"

namespace vz {
namespace {

constexpr int kMaxListSteps = 4096;
constexpr size_t kMaxHeaders = 64;
constexpr uintptr_t kPageSize = 4096;

// A library's ELF header lies at its load bias (its first load segment
// starts at address 0). False for anything else: the main program of a
// fixed-address build, or a library whose memory has gone.
bool ReadProgramHeaders(uintptr_t load_bias, ElfW(Phdr)* headers, size_t* count) {
  ElfW(Ehdr) header;
  if (load_bias == 0 || !ReadMemorySafely(load_bias, &header, sizeof(header))) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 || header.e_phnum > kMaxHeaders) {
    return false;
  }
  *count = header.e_phnum;
  return ReadMemorySafely(load_bias + header.e_phoff, headers, *count * sizeof(ElfW(Phdr)));
}

// Copies a zero-terminated text a page at a time (a read may not cross into
// an unmapped page). Returns its length; 0 when unreadable.
size_t ReadText(uintptr_t address, char* out, size_t capacity) {
  size_t length = 0;
  while (address != 0 && length + 1 < capacity) {
    size_t chunk = kPageSize - (address % kPageSize);
    if (chunk > capacity - 1 - length) chunk = capacity - 1 - length;
    if (!ReadMemorySafely(address, out + length, chunk)) return 0;
    const void* end = std::memchr(out + length, '\0', chunk);
    if (end != nullptr) return static_cast<size_t>(static_cast<const char*>(end) - out);
    length += chunk;
    address += chunk;
  }
  return length;
}

}  // namespace

bool FindInLoaderList(uintptr_t address, ElfModuleInfo* info) {
  uintptr_t node_address = 0;
  if (!ReadMemorySafely(reinterpret_cast<uintptr_t>(&_r_debug.r_map), &node_address, sizeof(node_address))) {
    return false;
  }
  for (int step = 0; node_address != 0 && step < kMaxListSteps; ++step) {
    link_map node;
    if (!ReadMemorySafely(node_address, &node, sizeof(node))) return false;
    node_address = reinterpret_cast<uintptr_t>(node.l_next);
    ElfW(Phdr) headers[kMaxHeaders];
    size_t count = 0;
    ImageEntry entry;
    if (!ReadProgramHeaders(node.l_addr, headers, &count) || !MeasureImage(node.l_addr, headers, count, &entry)) {
      continue;
    }
    if (address < entry.image_start || address >= entry.image_end) continue;
    ReadBuildId(node.l_addr, headers, count, &entry);
    char path[sizeof(info->path)];
    const size_t length = ReadText(reinterpret_cast<uintptr_t>(node.l_name), path, sizeof(path));
    DescribeImage(entry, path, length, address, info);
    return true;
  }
  return false;
}

}  // namespace vz

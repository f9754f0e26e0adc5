#pragma once
// Internal to the module lookups: one image's description as both the
// snapshot and the loader-list walk keep it, and the steps that fill it.
// Every step is async-signal-safe; memory of the image is read only through
// ReadMemorySafely, so an image unmapped meanwhile gives a failed read.
#include <elf.h>
#include <link.h>

#include <cstddef>
#include <cstdint>

#include "platform/elf_modules.h"

namespace vz {

// Load segments kept per image (ELF images have 2 to 5); an address in a
// later one still lies in the image, with segment number 0.
constexpr size_t kMaxImageSegments = 8;
constexpr size_t kBuildIdSize = sizeof(ElfModuleInfo::build_id);

struct ImageEntry {
  uintptr_t load_bias = 0;
  uintptr_t image_start = 0;
  uintptr_t image_end = 0;
  uintptr_t segment_start[kMaxImageSegments] = {};
  uintptr_t segment_size[kMaxImageSegments] = {};
  bool segment_executable[kMaxImageSegments] = {};
  unsigned segment_count = 0;
  unsigned char build_id[kBuildIdSize] = {};
  size_t build_id_size = 0;
};

// The bounds and load segments from the program headers; false when the
// image has no load segment.
bool MeasureImage(uintptr_t load_bias, const ElfW(Phdr)* headers, size_t count, ImageEntry* entry);
// The GNU build-id from the image's notes (build_id_size stays 0 without one).
void ReadBuildId(uintptr_t load_bias, const ElfW(Phdr)* headers, size_t count, ImageEntry* entry);
// Fills `info` for an address inside the image.
void DescribeImage(const ImageEntry& entry, const char* path, size_t path_length, uintptr_t address,
                   ElfModuleInfo* info);

// Looks the address up in the loader's own list of images, walked without
// its lock (see elf_modules.h). False when no listed image spans it.
bool FindInLoaderList(uintptr_t address, ElfModuleInfo* info);

}  // namespace vz

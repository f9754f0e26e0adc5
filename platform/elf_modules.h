#pragma once
// Where an address lies among the loaded ELF images: the image, its load
// segments and its build-id. Uses the loader's list of images and reads only
// mapped memory, so the fatal-signal path can call it (inside a guarded
// section, in case an image's headers are damaged).
#include <cstddef>
#include <cstdint>

namespace vz {

struct ElfModuleInfo {
  char path[1024] = {};        // full path; empty when unknown
  uintptr_t load_bias = 0;     // what the image's addresses are shifted by
  uintptr_t image_start = 0;   // lowest address of its load segments
  uintptr_t image_size = 0;    // span of its load segments
  // The load segment that holds the address, counted from 1 in header order,
  // and the offset in it; 0 and 0 when the address falls between segments.
  unsigned segment_number = 0;
  uintptr_t segment_offset = 0;
  unsigned char build_id[64] = {};
  size_t build_id_size = 0;    // 0 when the image has no build-id note
};

// False when no loaded image spans the address.
bool FindElfModule(uintptr_t address, ElfModuleInfo* info);

}  // namespace vz

#pragma once
// Where an address lies among the loaded ELF images: the image, its load
// segments and its build-id.
//
// The fatal-signal path must not call into the dynamic loader (its lock may be
// held by a thread that is loading or unloading a library, or by the faulting
// thread itself), so lookups read a snapshot of the loader's list instead.
// The snapshot is taken outside any handler: when the crash handler is
// installed and whenever the module loader loads or unloads a library. An
// image loaded by other means after the last refresh is missing from it until
// the next refresh; an image unloaded since is still listed (its data was
// copied, so reading it never touches unmapped memory).
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

// Retakes the snapshot from the loader's list. Not async-signal-safe (it
// takes the loader's lock); any thread, never inside a signal handler.
// Returns the number of images in the new snapshot.
size_t RefreshElfModuleSnapshot();

// Looks the address up in the last snapshot; false when no image in it spans
// the address, or before the first refresh. Async-signal-safe and lock-free:
// it never waits, also while another thread refreshes the snapshot.
bool FindElfModule(uintptr_t address, ElfModuleInfo* info);

}  // namespace vz

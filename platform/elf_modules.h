#pragma once
// Where an address lies among the loaded ELF images: the image, its load
// segments and its build-id.
//
// The fatal-signal path must not call into the dynamic loader (its lock may be
// held by a thread that is loading or unloading a library, or by the faulting
// thread itself), so lookups read a snapshot of the loader's list instead.
// The snapshot is taken outside any handler: when the crash handler is
// installed and whenever the module loader loads or unloads a library. An
// address the snapshot does not hold (an image some other library loaded
// since the last refresh) is looked up in the loader's own list of images,
// the one it keeps for debuggers, walked without its lock through fault-proof
// reads. An image unloaded by other means since the last refresh is still in
// the snapshot (its data was copied, so nothing unmapped is read).
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
  bool segment_executable = false;  // the segment holds code
  unsigned char build_id[64] = {};
  size_t build_id_size = 0;    // 0 when the image has no build-id note
};

// Retakes the snapshot from the loader's list. Not async-signal-safe (it
// takes the loader's lock); any thread, never inside a signal handler.
// Returns the number of images in the new snapshot.
size_t RefreshElfModuleSnapshot();

// Looks the address up in the last snapshot, then in the loader's list;
// false when neither has an image that spans it. Async-signal-safe and
// lock-free: it never waits, also while another thread refreshes the
// snapshot or loads a library.
bool FindElfModule(uintptr_t address, ElfModuleInfo* info);

}  // namespace vz

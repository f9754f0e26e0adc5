#pragma once
// What a crash report tells of the system. Facts that only unsafe calls can
// give (user name, processors, local time offset) are gathered once at
// install; the state at the crash comes from async-signal-safe calls.
#include <cstdint>

namespace vz {

struct CrashSystemFacts {
  char user_name[256] = {};  // empty when unknown
  unsigned processors = 0;
  int64_t utc_offset_seconds = 0;  // local time minus UTC when gathered
};
// Not async-signal-safe: call it at install.
void GatherCrashSystemFacts(CrashSystemFacts* facts);

struct CrashSystemState {
  // The kernel release "6.1.0-18-amd64" as major 6, minor 1, build 0.
  unsigned os_major = 0, os_minor = 0, os_build = 0;
  char os_release[65] = {};
  unsigned memory_load_percent = 0;
  uint64_t physical_total = 0, physical_free = 0;  // bytes
  uint64_t swap_total = 0, swap_free = 0;          // bytes
};
// Async-signal-safe. False when the system could not be asked (fields stay 0).
bool ReadCrashSystemState(CrashSystemState* state);

}  // namespace vz

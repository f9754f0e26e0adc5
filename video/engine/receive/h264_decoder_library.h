#pragma once
// The decoder half of the outside codec library, shared by every decoder
// wrapper of the process: loaded by name for the first user, its two
// decoder exports resolved, and freed when the last user lets go.
//
// Every AddUser counts, whether or not the library could be had; a user
// calls RemoveUser exactly once for each AddUser. A library that loaded but
// lacks an export stays loaded (and unusable) while anyone counts, so it is
// not loaded again for every attempt.
// What failure looks like: AddUser answers false (logged) without entry
// points.
// Threads: any; one lock serialises the count and the handle.
#include <cstdint>

#include "contracts/vzh264_codec.h"

struct H264DecoderEntryPoints {
  vzh264::CreateDecoderFn create = nullptr;
  vzh264::DestroyDecoderFn destroy = nullptr;
};

class CH264DecoderLibrary {
 public:
  static bool AddUser(H264DecoderEntryPoints* out);
  static void RemoveUser();

  static int users_for_testing();
  static bool loaded_for_testing();
  // Loads and frees since the start of the process.
  static int loads_for_testing();
  static int frees_for_testing();
  // Entry points used instead of loading the library (null: load again);
  // a fake with a null export stands for a library lacking it. For tests,
  // while nothing counts.
  static void SetForTesting(const H264DecoderEntryPoints* fake);
};

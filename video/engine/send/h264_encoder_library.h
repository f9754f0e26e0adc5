#pragma once
// The encoder half of the outside codec library, shared by every encoder
// wrapper of the process: loaded by name on the first Acquire, its two
// encoder exports resolved, and freed when the last wrapper lets go.
//
// What failure looks like: Acquire answers 10010 when the library is
// missing and 10011 when it lacks an export (logged; nothing is counted
// then).
// Threads: any; one lock serialises Acquire and Release.
#include <cstdint>

#include "contracts/vzh264_codec.h"

struct H264EncoderEntryPoints {
  vzh264::CreateEncoderFn create = nullptr;
  vzh264::DestroyEncoderFn destroy = nullptr;
};

class CH264EncoderLibrary {
 public:
  static constexpr int32_t kNoLibrary = 10010;
  static constexpr int32_t kNoEntryPoints = 10011;

  // 0 and the entry points, counted once per call.
  static int32_t Acquire(H264EncoderEntryPoints* out);
  // One count off; the library goes with the last.
  static void Release();
  static int users_for_testing();
  // Entry points used instead of loading the library (null: load again).
  // For tests, while no encoder holds the library.
  static void SetForTesting(const H264EncoderEntryPoints* fake);
};

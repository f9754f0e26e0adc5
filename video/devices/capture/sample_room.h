#pragma once
// Samples of the engine's allocator that a camera frame is written into.
// The allocator promises room, but a frame is written only where the sample
// itself says it has it: a short or empty sample costs a frame, never the
// memory behind it.
// Any thread (as the allocator's GetSample).
#include <cstdint>

#include "video/engine/core/video_interfaces.h"

namespace vzcapture {

// The memory of `sample` when it holds at least `length` bytes, else null.
void* RoomOf(IVideoSample* sample, int64_t length);

// A new sample of `allocator` (null allowed) with room for `length` bytes
// (at most 0x7FFFFFFF), one reference for the caller, and its memory in
// *memory; null, logged, when none could be had (a sample too small is
// given back).
IVideoSample* GetSampleWithRoom(IVideoSampleAllocator* allocator, int64_t length, void** memory);

}  // namespace vzcapture

#include "video/devices/capture/sample_room.h"

#include "common/trace_client.h"

namespace vzcapture {

void* RoomOf(IVideoSample* sample, int64_t length) {
  void* memory = nullptr;
  int32_t size = 0;
  sample->GetPointer(&memory);
  sample->GetSize(&size);
  return memory != nullptr && size >= length ? memory : nullptr;
}

IVideoSample* GetSampleWithRoom(IVideoSampleAllocator* allocator, int64_t length, void** memory) {
  *memory = nullptr;
  IVideoSample* sample = nullptr;
  if (allocator != nullptr && allocator->GetSample(static_cast<int32_t>(length), &sample) == VSE_S_OK &&
      sample != nullptr) {
    *memory = RoomOf(sample, length);
  }
  if (*memory == nullptr) {
    VZ_LOG_ERROR("Failed to GetSample on VideoSampleAllocator!");
    if (sample != nullptr) sample->Release();
    return nullptr;
  }
  return sample;
}

}  // namespace vzcapture

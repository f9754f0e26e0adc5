#pragma once
// A pooled video sample: an aligned buffer with the IVideoSample interface.
// Made only by its allocator. When its last reference goes, its count is
// set back to 1 and it returns to the allocator's pool instead of being
// destroyed; while it is out of the pool it holds a reference on its
// allocator, so the allocator outlives it. Released on any thread.
#include <atomic>
#include <cstdint>

#include "video/engine/core/aligned_media_buffer.h"
#include "video/engine/core/video_interfaces.h"

class CVzVideoSampleAllocator;

class CVzVideoSample final : public IVideoSample {
 public:
  int32_t AddRef() override;
  int32_t Release() override;
  int32_t GetRefCount() override;
  VseResult QueryInterface(const VseGuid* iid, void** out) override;

  VseResult GetSize(int32_t* size) override;
  VseResult GetBase(void** base) override;
  VseResult GetPointer(void** pointer) override;
  VseResult GetActualDataLength(int32_t* length) override;
  VseResult GetFormat(VideoFormat* format) override;
  VseResult SetPointer(void* pointer) override;
  VseResult SetActualDataLength(int32_t length) override;
  VseResult SetFormat(const VideoFormat* format) override;

 private:
  friend class CVzVideoSampleAllocator;
  CVzVideoSample(CVzVideoSampleAllocator* owner, int32_t alignment) : buffer_(alignment), owner_(owner) {}
  ~CVzVideoSample() override = default;

  std::atomic<int32_t> count_{1};
  CPlainMediaBuffer buffer_;
  uint8_t* pointer_ = nullptr;
  int32_t actual_length_ = 0;
  VideoFormat format_{};
  // The allocator's, under its lock.
  CVzVideoSample* next_free_ = nullptr;
  CVzVideoSampleAllocator* const owner_;
  uint32_t returned_ms_ = 0;
};

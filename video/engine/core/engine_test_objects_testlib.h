#pragma once
// Small engine objects for tests: a deliverer that counts its
// destructions, and a sample that holds the thread reading it.
#include <cstdint>
#include <future>
#include <vector>

#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_interfaces.h"

namespace vz_test {

class CountingDeliverer final : public TEngineObject<IVideoDeliverer> {
 public:
  CountingDeliverer(int* destroyed, std::vector<int>* order = nullptr, int id = 0)
      : destroyed_(destroyed), order_(order), id_(id) {}
  VseResult DeliverSample(IVideoSample*) override {
    if (order_) order_->push_back(id_);
    ++delivered;
    return VSE_S_OK;
  }
  int delivered = 0;

 private:
  ~CountingDeliverer() override {
    if (destroyed_) ++*destroyed_;
  }
  int* destroyed_;
  std::vector<int>* order_;
  int id_;
};

// A sample whose GetPointer holds the calling thread (a data thread taking
// the picture) until the test opens `opened`; `entered` tells it is held.
class GateSample final : public TEngineObject<IVideoSample> {
 public:
  explicit GateSample(VideoFormat format = VideoFormat{2, 640, 360, 30.0f, 0}) : format_(format) {}
  VseResult GetSize(int32_t* size) override { return Out(size, 0); }
  VseResult GetBase(void** base) override { return Out(base, static_cast<void*>(nullptr)); }
  VseResult GetPointer(void** pointer) override {
    entered.set_value();
    opened.wait();
    return Out(pointer, static_cast<void*>(byte_));
  }
  VseResult GetActualDataLength(int32_t* length) override { return Out(length, 1); }
  VseResult GetFormat(VideoFormat* format) override { return Out(format, format_); }
  VseResult SetPointer(void*) override { return VSE_E_FAIL; }
  VseResult SetActualDataLength(int32_t) override { return VSE_E_FAIL; }
  VseResult SetFormat(const VideoFormat*) override { return VSE_E_FAIL; }

  std::promise<void> entered;
  std::shared_future<void> opened;

 private:
  template <typename T>
  static VseResult Out(T* out, T value) {
    if (out == nullptr) return VSE_E_INVALIDARG;
    *out = value;
    return VSE_S_OK;
  }
  const VideoFormat format_;
  uint8_t byte_[1] = {0};
};

}  // namespace vz_test

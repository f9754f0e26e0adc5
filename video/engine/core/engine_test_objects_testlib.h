#pragma once
// Small engine objects for tests: they count their destructions.
#include <cstdint>
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

}  // namespace vz_test

#pragma once
// A list of deliverers, each holding one reference, behind one lock. Any
// thread may use it. The list calls its deliverers while it holds its lock,
// so a deliverer must not change the same list from inside a delivery: such
// a call is refused with a log line (VSE_E_FAIL) instead of changing the list
// under the walk.
#include <vector>

#include "common/critical_section_lock.h"
#include "video/engine/core/video_interfaces.h"

class CVideoDelivererList {
 public:
  CVideoDelivererList() = default;
  ~CVideoDelivererList();  // releases every deliverer
  CVideoDelivererList(const CVideoDelivererList&) = delete;
  CVideoDelivererList& operator=(const CVideoDelivererList&) = delete;

  // Adds a reference and appends, when not yet listed (then VSE_S_OK too).
  VseResult Append(IVideoDeliverer* deliverer);
  // Releases and removes it when listed; VSE_S_OK either way.
  VseResult Remove(IVideoDeliverer* deliverer);
  void Clear();
  // DeliverSample of every deliverer, in list order.
  void DeliverSample(IVideoSample* sample);
  // For each deliverer in order: callback(deliverer, user_data) with a
  // reference held around the call; stops after the first non-zero answer,
  // which it returns (0 when none).
  int32_t Enum(VideoDelivererEnumCallback callback, void* user_data);
  bool HasDeliverers();

 private:
  bool RefuseInsideWalk(const char* operation);

  CriticalSectionLock lock_;
  std::vector<IVideoDeliverer*> deliverers_;
  int walking_ = 0;  // > 0 while the list calls out (under the lock)
};

#include "video/engine/core/video_deliverer_list.h"

#include <algorithm>

#include "common/scoped_lock.h"
#include "common/trace_client.h"

CVideoDelivererList::~CVideoDelivererList() { Clear(); }

bool CVideoDelivererList::RefuseInsideWalk(const char* operation) {
  if (walking_ == 0) return false;
  VZ_LOG_ERROR("%s from inside a delivery of the same list refused", operation);
  return true;
}

VseResult CVideoDelivererList::Append(IVideoDeliverer* deliverer) {
  if (deliverer == nullptr) return VSE_E_INVALIDARG;
  CScopedLock guard(lock_);
  if (RefuseInsideWalk("Append")) return VSE_E_FAIL;
  if (std::find(deliverers_.begin(), deliverers_.end(), deliverer) != deliverers_.end()) return VSE_S_OK;
  deliverer->AddRef();
  deliverers_.push_back(deliverer);
  return VSE_S_OK;
}

VseResult CVideoDelivererList::Remove(IVideoDeliverer* deliverer) {
  CScopedLock guard(lock_);
  if (RefuseInsideWalk("Remove")) return VSE_E_FAIL;
  auto it = std::find(deliverers_.begin(), deliverers_.end(), deliverer);
  if (it == deliverers_.end()) return VSE_S_OK;
  deliverers_.erase(it);
  guard.Unlock();
  deliverer->Release();
  return VSE_S_OK;
}

void CVideoDelivererList::Clear() {
  std::vector<IVideoDeliverer*> gone;
  {
    CScopedLock guard(lock_);
    if (RefuseInsideWalk("Clear")) return;
    gone.swap(deliverers_);
  }
  for (IVideoDeliverer* d : gone) d->Release();
}

void CVideoDelivererList::DeliverSample(IVideoSample* sample) {
  CScopedLock guard(lock_);
  ++walking_;
  for (IVideoDeliverer* d : deliverers_) d->DeliverSample(sample);
  --walking_;
}

int32_t CVideoDelivererList::Enum(VideoDelivererEnumCallback callback, void* user_data) {
  if (callback == nullptr) return 0;
  CScopedLock guard(lock_);
  ++walking_;
  int32_t answer = 0;
  for (IVideoDeliverer* d : deliverers_) {
    d->AddRef();
    answer = callback(d, user_data);
    d->Release();
    if (answer != 0) break;
  }
  --walking_;
  return answer;
}

bool CVideoDelivererList::HasDeliverers() {
  CScopedLock guard(lock_);
  return !deliverers_.empty();
}

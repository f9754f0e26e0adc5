#include "video/engine/core/vz_video_sample.h"

#include "video/engine/core/vz_video_sample_allocator.h"

int32_t CVzVideoSample::AddRef() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }

int32_t CVzVideoSample::Release() {
  const int32_t n = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (n != 0) return n;
  count_.store(1, std::memory_order_relaxed);
  owner_->ReturnSample(this);  // may delete this sample: nothing after it
  return 0;
}

int32_t CVzVideoSample::GetRefCount() { return count_.load(std::memory_order_relaxed); }

VseResult CVzVideoSample::QueryInterface(const VseGuid* iid, void** out) {
  if (out == nullptr) return VSE_E_POINTER;
  *out = nullptr;
  if (iid == nullptr || !(*iid == IID_IVideoSample || *iid == IID_IEngineUnknown)) return VSE_E_NOINTERFACE;
  AddRef();
  *out = static_cast<IVideoSample*>(this);
  return VSE_S_OK;
}

VseResult CVzVideoSample::GetSize(int32_t* size) {
  if (size == nullptr) return VSE_E_INVALIDARG;
  *size = buffer_.length();
  return VSE_S_OK;
}

VseResult CVzVideoSample::GetBase(void** base) {
  if (base == nullptr) return VSE_E_INVALIDARG;
  *base = buffer_.data();
  return VSE_S_OK;
}

VseResult CVzVideoSample::GetPointer(void** pointer) {
  if (pointer == nullptr) return VSE_E_INVALIDARG;
  *pointer = pointer_;
  return VSE_S_OK;
}

VseResult CVzVideoSample::GetActualDataLength(int32_t* length) {
  if (length == nullptr) return VSE_E_INVALIDARG;
  *length = actual_length_;
  return VSE_S_OK;
}

VseResult CVzVideoSample::GetFormat(VideoFormat* format) {
  if (format == nullptr) return VSE_E_INVALIDARG;
  *format = format_;
  return VSE_S_OK;
}

VseResult CVzVideoSample::SetPointer(void* pointer) {
  auto* p = static_cast<uint8_t*>(pointer);
  uint8_t* base = buffer_.data();
  if (p == nullptr || base == nullptr || p < base || p > base + buffer_.length()) return VSE_E_INVALIDARG;
  pointer_ = p;
  return VSE_S_OK;
}

VseResult CVzVideoSample::SetActualDataLength(int32_t length) {
  if (length < 0 || length > buffer_.length()) return VSE_E_FAIL;
  actual_length_ = length;
  return VSE_S_OK;
}

VseResult CVzVideoSample::SetFormat(const VideoFormat* format) {
  if (format == nullptr) return VSE_E_INVALIDARG;
  format_ = *format;
  return VSE_S_OK;
}

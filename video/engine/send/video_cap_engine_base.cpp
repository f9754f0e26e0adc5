#include "video/engine/send/video_cap_engine_base.h"

#include <new>

#include "common/trace_client.h"

CVideoCapEngine::~CVideoCapEngine() {
  deliverers_.Clear();
  if (cropper_ != nullptr) {
    cropper_->Uninit();
    cropper_->Release();
    cropper_ = nullptr;
  }
}

int32_t CVideoCapEngine::InitCropper(int32_t base_width, int32_t base_height, IVideoSampleAllocator* allocator) {
  if (cropper_ != nullptr) {
    deliverers_.Remove(cropper_);
    cropper_->Uninit();
    cropper_->Release();
    cropper_ = nullptr;
  }
  auto* cropper = new (std::nothrow) CVzVideoCropper();
  if (cropper == nullptr) {
    VZ_LOG_ERROR("no memory for the cropper");
    return 0;
  }
  cropper->AddRef();
  if (cropper->Init(base_width, base_height, allocator) != 1) {
    VZ_LOG_ERROR("cropper refused base %dx%d", base_width, base_height);
    cropper->Release();
    return 0;
  }
  cropper_ = cropper;
  deliverers_.Append(cropper_);
  return 1;
}

VseResult CVideoCapEngine::AppendVideoDeliverer(IVideoDeliverer* deliverer) {
  return cropper_ != nullptr ? cropper_->AppendVideoDeliverer(deliverer) : VSE_E_FAIL;
}

VseResult CVideoCapEngine::RemoveVideoDeliverer(IVideoDeliverer* deliverer) {
  return cropper_ != nullptr ? cropper_->RemoveVideoDeliverer(deliverer) : VSE_E_FAIL;
}

VseResult CVideoCapEngine::EnumVideoDeliverers(VideoDelivererEnumCallback callback, void* user_data) {
  return cropper_ != nullptr ? cropper_->EnumVideoDeliverers(callback, user_data) : VSE_E_FAIL;
}

#include "video/devices/capture/frame_grabber.h"

#include "common/trace_client.h"
#include "video/devices/capture/mjpeg_frame.h"

namespace vzcapture {

CFrameGrabber::~CFrameGrabber() {
  if (allocator_ != nullptr) allocator_->Release();
}

void CFrameGrabber::SetCallback(GrabberCallback callback, void* context) {
  std::lock_guard<std::mutex> hold(lock_);
  callback_ = callback;
  context_ = context;
}

bool CFrameGrabber::SetAcceptedTypes(const AcceptedTypes& accepted) {
  std::lock_guard<std::mutex> hold(lock_);
  if (running_) return false;
  accepted_ = accepted;
  return true;
}

bool CFrameGrabber::SetAllocator(IVideoSampleAllocator* allocator) {
  std::lock_guard<std::mutex> hold(lock_);
  if (running_) return false;
  if (allocator != nullptr) allocator->AddRef();
  if (allocator_ != nullptr) allocator_->Release();
  allocator_ = allocator;
  return true;
}

bool CFrameGrabber::Connect(const vz::CameraFormat& negotiated) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!AcceptsFormat(accepted_, negotiated)) {
    connected_valid_ = false;
    return false;
  }
  connected_ = negotiated;
  connected_valid_ = true;
  return true;
}

bool CFrameGrabber::GetConnectedFormat(vz::CameraFormat* format) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!connected_valid_) return false;
  *format = connected_;
  return true;
}

void CFrameGrabber::SetRunning(bool running) {
  std::lock_guard<std::mutex> hold(lock_);
  running_ = running;
}

uint64_t CFrameGrabber::DroppedFrames() const {
  std::lock_guard<std::mutex> hold(lock_);
  return dropped_;
}

void CFrameGrabber::OnBuffer(const uint8_t* data, uint32_t length) {
  GrabberCallback callback;
  GrabberFrame frame{};
  IVideoSampleAllocator* allocator;
  {
    std::lock_guard<std::mutex> hold(lock_);
    callback = callback_;
    if (callback == nullptr) return;
    if (!connected_valid_ || length == 0 || data == nullptr || length > 0x7FFFFFFFu) {
      ++dropped_;
      return;
    }
    frame = {0, const_cast<uint8_t*>(data), connected_.fourcc, static_cast<int32_t>(connected_.width),
             static_cast<int32_t>(connected_.height), static_cast<int32_t>(length), context_};
    // The kernel's RGB rows are top-down.
    if (connected_.fourcc == vz::kFourccBgr24) frame.height = -frame.height;
    allocator = allocator_;
    if (allocator != nullptr) allocator->AddRef();
  }
  if (frame.fourcc != vz::kFourccMjpeg) {
    if (allocator != nullptr) allocator->Release();
    callback(frame);
    return;
  }
  IVideoSample* sample = nullptr;
  const MjpegResult result = decoder_.Decode(data, length, frame.width, frame.height, allocator, &sample);
  if (allocator != nullptr) allocator->Release();
  if (result != MjpegResult::kDecoded) {
    std::lock_guard<std::mutex> hold(lock_);
    ++dropped_;
    if (result == MjpegResult::kNoDecoder && !logged_no_decoder_) {
      logged_no_decoder_ = true;
      VZ_LOG_ERROR("no MJPEG decoder in this build: MJPEG frames are dropped");
    } else if (result == MjpegResult::kWrongSize) {
      VZ_LOG_WARN("an MJPEG frame of another size than %dx%d dropped", frame.width, frame.height);
    } else if (result == MjpegResult::kNoSample) {
      VZ_LOG_ERROR("Failed to GetSample on VideoSampleAllocator!");
    }
    return;
  }
  int32_t decoded = 0;
  sample->GetActualDataLength(&decoded);
  frame.kind = 1;
  frame.data = sample;
  frame.fourcc = vz::kFourccI420;
  frame.length = decoded;
  callback(frame);
  sample->Release();
}

}  // namespace vzcapture

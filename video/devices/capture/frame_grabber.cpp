#include "video/devices/capture/frame_grabber.h"

#include "common/trace_client.h"
#include "video/devices/capture/frame_rows.h"
#include "video/devices/capture/mjpeg_frame.h"
#include "video/devices/capture/sample_room.h"

namespace vzcapture {

namespace {

// A padded frame as a sample of unpadded rows: the lent sample itself,
// its rows moved up in place, else a new sample of the allocator.
// False when no sample could be had.
bool DeliverUnpadded(GrabberFrame frame, const FrameRows& rows, IVideoSampleAllocator* allocator,
                     IVideoSample* lent, GrabberCallback callback) {
  const auto unpadded = static_cast<int32_t>(UnpaddedBytes(rows));
  void* memory = nullptr;
  IVideoSample* sample = lent;
  if (lent != nullptr) {
    memory = RoomOf(lent, unpadded);
  } else {
    sample = GetSampleWithRoom(allocator, unpadded, &memory);
  }
  if (memory == nullptr) return false;
  UnpadRows(static_cast<const uint8_t*>(frame.data), static_cast<uint8_t*>(memory), rows);
  sample->SetActualDataLength(unpadded);
  frame.kind = 1;
  frame.data = sample;
  frame.length = unpadded;
  callback(frame);
  if (lent == nullptr) sample->Release();
  return true;
}

}  // namespace

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

void* CFrameGrabber::Lend(size_t length, void** handle) {
  *handle = nullptr;
  IVideoSampleAllocator* allocator;
  {
    std::lock_guard<std::mutex> hold(lock_);
    allocator = allocator_;
    if (allocator == nullptr || length > 0x7FFFFFFFu) return nullptr;
    allocator->AddRef();
  }
  void* memory = nullptr;
  IVideoSample* sample = GetSampleWithRoom(allocator, static_cast<int64_t>(length), &memory);
  allocator->Release();
  if (sample == nullptr) return nullptr;
  *handle = sample;
  return memory;
}

void CFrameGrabber::Return(void* handle) {
  if (handle != nullptr) static_cast<IVideoSample*>(handle)->Release();
}

void CFrameGrabber::OnBuffer(const uint8_t* data, uint32_t length, void* lent) {
  GrabberCallback callback;
  GrabberFrame frame{};
  IVideoSampleAllocator* allocator;
  FrameRows rows;
  bool raw = false;
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
    raw = RawFrameRows(connected_.fourcc, connected_.width, connected_.height, connected_.bytes_per_line, &rows);
    if (raw && HasPadding(rows) && length < PaddedBytes(rows)) {
      // Its rows cannot be found: it would be read as a sheared picture.
      ++dropped_;
      if (!logged_short_rows_) {
        logged_short_rows_ = true;
        VZ_LOG_WARN("a frame of %u bytes for %llu bytes of padded rows dropped", length,
                    static_cast<unsigned long long>(PaddedBytes(rows)));
      }
      return;
    }
    allocator = allocator_;
    if (allocator != nullptr) allocator->AddRef();
  }
  if (frame.fourcc != vz::kFourccMjpeg) {
    if (raw && HasPadding(rows)) {
      if (!DeliverUnpadded(frame, rows, allocator, static_cast<IVideoSample*>(lent), callback)) {
        std::lock_guard<std::mutex> hold(lock_);
        ++dropped_;
      }
    } else if (lent != nullptr) {
      frame.kind = 1;  // the driver filled the sample itself
      frame.data = lent;
      callback(frame);
    } else {
      callback(frame);
    }
    if (allocator != nullptr) allocator->Release();
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

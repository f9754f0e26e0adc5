#pragma once
// CVzH264SvcDecoder: H.264 SVC access units to pictures through the outside
// codec (loaded by name, shared by all wrappers of the process). Each access
// unit is decoded, then a call without data takes its picture out, which is
// converted into a pooled sample of the output format and given to the
// sink. The codec's loss state becomes key-frame requests, or in mode 1
// with loss recovery on, 16-byte refresh blocks; its pending reports become
// 12-byte decoder-event blocks.
//
// Ownership: the sink is not referenced and outlives the wrapper; the
// allocator is referenced from construction to destruction. Init may be
// called again after Uninit; the destructor uninitialises. A wrapper counts
// once in the library's users however often Init and Uninit are called.
// Threads: every operation but SetLossRecovery under the wrapper's lock;
// DecodeFrame on the listen channel's data thread, Init and Uninit on its
// owner's thread; the sink is called under the lock.
#include <atomic>
#include <memory>
#include <mutex>

#include "video/engine/receive/h264_decoder_library.h"
#include "video/engine/receive/rtp_feedback_blocks.h"
#include "video/engine/receive/video_decoder.h"

class CVideoFormatConverter;

class CVzH264SvcDecoder final : public IVideoDecoder {
 public:
  CVzH264SvcDecoder(IVideoDecoderSink* sink, IVideoSampleAllocator* allocator);
  ~CVzH264SvcDecoder() override;
  CVzH264SvcDecoder(const CVzH264SvcDecoder&) = delete;
  CVzH264SvcDecoder& operator=(const CVzH264SvcDecoder&) = delete;

  VseResult Init(int32_t video_type, int32_t mode) override;
  VseResult Uninit() override;
  VseResult SetOption(int32_t id, void* value) override;
  VseResult GetOption(int32_t id, void* value) override;
  VseResult DecodeFrame(uint32_t time_stamp, const uint8_t* data, int32_t length) override;
  VseResult SetLossRecovery(int32_t on) override;

  // For tests.
  bool initialized_for_testing();
  uint32_t output_format_for_testing();
  bool loss_recovery_for_testing() const { return loss_recovery_.load() != 0; }

 private:
  void HandleLoss(int32_t status);
  void HandleReport(int32_t status);
  int32_t CodecOption(int32_t id, int32_t fallback);

  IVideoDecoderSink* const sink_;
  IVideoSampleAllocator* const allocator_;
  std::recursive_mutex lock_;
  H264DecoderEntryPoints entry_;
  bool counted_ = false;
  vzh264::IH264Decoder* codec_ = nullptr;
  bool initialized_ = false;
  uint32_t output_format_ = vzh264::EncoderParam::kColorI420;
  int32_t mode_ = kModeSvc;
  std::atomic<uint8_t> loss_recovery_{0};
  CRtpReportBlock report_;
  CRtpRefreshBlock refresh_;
  std::unique_ptr<CVideoFormatConverter> converter_;
};

// The decoder a listen channel makes: null when out of memory.
std::unique_ptr<IVideoDecoder> CreateH264SvcDecoder(IVideoDecoderSink* sink, IVideoSampleAllocator* allocator);

#pragma once
// CVzH264SvcEncoder: captured pictures to H.264 SVC NAL units through the
// outside codec. Converts each picture to I420, thins the frame rate to the
// level's, builds the codec's parameter record from the level and the
// capture format, and hands every NAL unit to its sink in order.
//
// What failure looks like: VSE_ codes and the codec-library codes of
// IVideoEncoder, each logged; a failed reconfiguration leaves the channel
// running without output.
// Threads: EncodeFrame on the send channel's data thread; parameter calls
// from the engine thread. One lock covers the codec, its buffers and the
// parameter record; the sink is called under it.
#include <memory>
#include <mutex>
#include <vector>

#include "video/engine/send/encoder_param_builder.h"
#include "video/engine/send/frame_rate_monitor.h"
#include "video/engine/send/h264_encoder_library.h"
#include "video/engine/send/video_encoder.h"

class CVideoFormatConverter;

class CVzH264SvcEncoder final : public TEngineObject<IVideoEncoder> {
 public:
  static constexpr VseResult kNoCodec = 10002;
  static constexpr uint32_t kByteCounterMs = 2000;

  CVzH264SvcEncoder();

  VseResult Init(const EncodeParams* params, IVideoEncoderSink* sink) override;
  VseResult EncodeFrame(const VideoFormat* format, const uint8_t* data, int32_t length) override;
  VseResult GetPauseFrame(const VideoFormat* format, int32_t kind, int32_t size, const uint8_t** data,
                          int32_t* length) override;
  VseResult EncodeKeyFrame() override;
  VseResult SetEncodeParam(const EncodeParams* params) override;
  VseResult SetInputFormat(const VideoFormat* format) override;
  VseResult SetSink(IVideoEncoderSink* sink) override;
  VseResult SetLongTermReference(uint8_t on) override;
  uint8_t GetLongTermReference() override;
  VseResult SetFrameSkipOption(int32_t value) override;
  VseResult SetComplexityOption(int32_t value) override;
  VseResult SetSingleTemporalLayer(bool on) override;
  VseResult SetLimitToCapture(bool on) override;
  VseResult SetInputMonitorRate(float rate) override;

  // For tests and statistics.
  uint32_t encoded_bytes_for_testing() const { return byte_count_; }

 private:
  ~CVzH264SvcEncoder() override;
  // Rebuilds the record; with `recreate` makes the codec anew, else updates
  // the running one. 0, VSE_E_FAIL, VSE_E_POINTER (no sink) or -1 (codec).
  VseResult UpdateEncodeParam(bool recreate);
  void DestroyCodec();
  bool FormatChanged(const VideoFormat& format) const;
  void TakeFormat(const VideoFormat& format);

  std::recursive_mutex lock_;
  H264EncoderEntryPoints entry_;
  bool library_held_ = false;
  vzh264::IH264Encoder* codec_ = nullptr;
  IVideoEncoderSink* sink_ = nullptr;
  EncoderInputFormat input_;
  EncodeLevel level_;
  bool has_level_ = false;
  vzh264::EncoderParam param_;
  std::unique_ptr<vzh264::EncodeOutput> output_;
  std::unique_ptr<vzh264::EncodeOutput> pause_output_;
  std::vector<uint8_t> pause_frame_;
  std::unique_ptr<CFrameRateMonitor> input_monitor_;
  std::unique_ptr<CFrameRateMonitor> encoded_monitor_;
  CFrameRateFilter filter_;
  EncoderSwitches switches_;
  uint8_t long_term_ = 0;
  bool key_frame_pending_ = false;
  uint32_t byte_count_ = 0;
  uint32_t byte_count_start_ = 0;
  std::unique_ptr<CVideoFormatConverter> converter_;
};

#pragma once
// The send channel's encoder and the sink it reports to.
#include <cstdint>

#include "contracts/vzh264_codec.h"
#include "video/engine/core/engine_object.h"
#include "video/engine/core/video_format.h"
#include "video/engine/send/encode_level.h"

inline constexpr VseGuid IID_IVideoEncoder = {0x5B0D3E21, 0x7A4C, 0x4E1B, {0x9D, 0x02, 0x6C, 0x31, 0xA8, 0x5E, 0x44, 0x17}};

// Called on the thread that encodes (the send channel's data thread).
class IVideoEncoderSink {
 public:
  // One NAL unit behind its 4-byte start code; valid during the call.
  virtual void OnFrameEncoded(uint32_t time_stamp_ms, const uint8_t* nal, int32_t length) = 0;
  // After every successful (re)configuration.
  virtual void OnEncoderReconfigured(const vzh264::EncoderParam& param) = 0;
  // The measured input frame rate, on every picture.
  virtual void OnInputFrameRate(float rate) = 0;

 protected:
  ~IVideoEncoderSink() = default;
};

class IVideoEncoder : public IEngineUnknown {
 public:
  static constexpr VseGuid kIid = IID_IVideoEncoder;
  // Loads the codec library, makes and configures the codec. 0 when already
  // initialised; VSE_E_INVALIDARG without a sink, VSE_E_POINTER without
  // parameters; 10010 no library, 10011 no entry points, 10002 no codec.
  virtual VseResult Init(const EncodeParams* params, IVideoEncoderSink* sink) = 0;
  // One captured picture (format with its time stamp); 0 also when the
  // frame-rate filter skips it or the codec skips it.
  virtual VseResult EncodeFrame(const VideoFormat* format, const uint8_t* data, int32_t length) = 0;
  // A still picture of the pause kind, its NAL units back to back in a
  // buffer owned by the encoder (valid until the next call); *length
  // receives the bytes copied.
  virtual VseResult GetPauseFrame(const VideoFormat* format, int32_t kind, int32_t size, const uint8_t** data,
                                  int32_t* length) = 0;
  virtual VseResult EncodeKeyFrame() = 0;
  virtual VseResult SetEncodeParam(const EncodeParams* params) = 0;
  virtual VseResult SetInputFormat(const VideoFormat* format) = 0;
  virtual VseResult SetSink(IVideoEncoderSink* sink) = 0;
  virtual VseResult SetLongTermReference(uint8_t on) = 0;
  virtual uint8_t GetLongTermReference() = 0;
  virtual VseResult SetFrameSkipOption(int32_t value) = 0;   // codec option 8
  virtual VseResult SetComplexityOption(int32_t value) = 0;  // codec option 9
  virtual VseResult SetSingleTemporalLayer(bool on) = 0;
  virtual VseResult SetLimitToCapture(bool on) = 0;
  virtual VseResult SetInputMonitorRate(float rate) = 0;
};

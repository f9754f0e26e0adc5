#pragma once
// The listen channel's decoder and the sink it reports to. A decoder turns
// assembled access units into pictures of the wanted colour format and the
// codec's loss state into requests for the sender.
#include <cstdint>

#include "contracts/vzh264_codec.h"
#include "video/engine/core/engine_result.h"
#include "video/engine/core/video_interfaces.h"

// Called on the thread that decodes, under the decoder's lock: a sink must
// not call back into the decoder.
class IVideoDecoderSink {
 public:
  // A picture in `format` (colour code), one reference held by the decoder
  // for the call; AddRef it to keep it.
  virtual void OnDecoded(uint32_t format, uint32_t time_stamp, int32_t width, int32_t height,
                         IVideoSample* sample) = 0;
  // 0 when the renderers take pictures directly, else 1 (the codec follows).
  virtual int32_t IsRenderReady() = 0;
  // A picture for the image path (buffer kind 1): the codec's first plane
  // and its description, valid during the call.
  virtual void OnDecodedImage(uint32_t time_stamp, const uint8_t* plane, const vzh264::DecodeBufferInfo& info) = 0;
  virtual void RequestKeyFrame() = 0;
  // The 16-byte refresh block (four big-endian words), valid during the call.
  virtual void RequestRefresh(const uint8_t* block) = 0;
  // The 12-byte decoder-event block (three big-endian words), valid during
  // the call.
  virtual void ReportDecoderEvent(const uint8_t* block) = 0;

 protected:
  ~IVideoDecoderSink() = default;
};

class IVideoDecoder {
 public:
  // Decoder modes.
  static constexpr int32_t kModeSvc = 1;     // loss recovery by refresh requests possible
  static constexpr int32_t kModeSimple = 3;  // every loss asks for a key frame
  // The option id that sets the output colour code (value: uint32_t*),
  // handled by the decoder itself; other ids go to the codec.
  static constexpr int32_t kOptionOutputFormat = 0;
  static constexpr VseResult kBadTypeOrMode = 0x80000004u;

  virtual ~IVideoDecoder() = default;
  // 0 when already initialised. VSE_E_FAIL without the codec library or a
  // codec, VSE_E_POINTER for a null codec, kBadTypeOrMode for a video type
  // without colour code or a mode other than 1 or 3; otherwise the codec's
  // own answer (the decoder counts as initialised even when it refused).
  virtual VseResult Init(int32_t video_type, int32_t mode) = 0;
  // The codec's answer to its uninitialisation (0 without codec).
  virtual VseResult Uninit() = 0;
  // VSE_E_INVALIDARG for a null value, VSE_E_POINTER without codec,
  // VSE_E_FAIL when the codec refuses.
  virtual VseResult SetOption(int32_t id, void* value) = 0;
  virtual VseResult GetOption(int32_t id, void* value) = 0;
  // One whole access unit. 0 when decoded (a picture, if one was made, has
  // reached the sink); VSE_E_FAIL (logged) when the codec reports an error
  // or the picture cannot be converted; VSE_E_INVALIDARG without sink or
  // data; VSE_E_POINTER without codec; VSE_E_OUTOFMEMORY without allocator.
  virtual VseResult DecodeFrame(uint32_t time_stamp, const uint8_t* data, int32_t length) = 0;
  // Off at every Init. Lock-free.
  virtual VseResult SetLossRecovery(int32_t on) = 0;
};

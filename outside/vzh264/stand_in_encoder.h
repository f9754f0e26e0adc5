#pragma once
// The codec library's encoder: the wrapper's parameter record and pictures
// through the system's H.264 encoder in its SVC mode, with the scalability
// information SEI written ahead of every IDR frame (the encoder underneath
// writes prefix NAL units and SVC slices, but not that message).
//
// What failure looks like: results as IH264Encoder states; every failure
// logs one line through the trace client.
// Threads: one caller at a time.
#include <memory>
#include <vector>

#include "contracts/vzh264_codec.h"

class ISVCEncoder;

namespace vzh264 {

class StandInEncoder final : public IH264Encoder {
 public:
  StandInEncoder();
  ~StandInEncoder();
  StandInEncoder(const StandInEncoder&) = delete;
  StandInEncoder& operator=(const StandInEncoder&) = delete;

  // False when the encoder underneath could not be made.
  bool created() const { return encoder_ != nullptr; }

  int32_t InitializeExt(const EncoderParam* param, void* reserved) override;
  int32_t Uninitialize() override;
  int32_t EncodeFrame(const SourcePicture* picture, EncodeOutput* out) override;
  int32_t EncodePauseFrame(int32_t kind, EncodeOutput* out) override;
  int32_t ForceIntraFrame(int32_t idr) override;
  int32_t SetOption(int32_t id, void* value) override;

 private:
  bool Configure(const EncoderParam& param, bool running);
  int32_t Encode(const SourcePicture& picture, EncodeOutput* out);
  void RebuildSei();

  ISVCEncoder* encoder_ = nullptr;
  bool initialized_ = false;
  EncoderParam param_;
  std::vector<uint8_t> sei_;
  std::vector<uint8_t> pause_planes_;
  bool frame_skip_ = false;
  int complexity_ = 0;
};

}  // namespace vzh264

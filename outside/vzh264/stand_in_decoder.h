#pragma once
// The codec library's decoder: access units through the system's H.264
// decoder (SVC streams decode to their highest layer), pictures out as I420
// planes, its error state as the status bits and options of IH264Decoder.
//
// A call with an access unit decodes it and keeps its picture; the next
// call without data (null, 0) hands that picture out.
//
// Received units pass through an AccessUnitMender first: a lost prefix unit
// is put back, and a damaged picture that nothing refers to is left out
// (0, and no picture).
//
// Input from the network reaches this class: a null, empty or oversized
// access unit is refused before the decoder underneath sees it.
// Threads: one caller at a time.
#include "contracts/vzh264_codec.h"
#include "outside/vzh264/access_unit_mender.h"

class ISVCDecoder;

namespace vzh264 {

class StandInDecoder final : public IH264Decoder {
 public:
  StandInDecoder();
  ~StandInDecoder();
  StandInDecoder(const StandInDecoder&) = delete;
  StandInDecoder& operator=(const StandInDecoder&) = delete;

  bool created() const { return decoder_ != nullptr; }

  int32_t Initialize(const DecoderParam* param, void* reserved) override;
  int32_t Uninitialize() override;
  int32_t DecodeFrame(const uint8_t* data, int32_t length, uint8_t* planes[3], DecodeBufferInfo* info) override;
  int32_t SetOption(int32_t id, void* value) override;
  int32_t GetOption(int32_t id, void* value) override;

 private:
  ISVCDecoder* decoder_ = nullptr;
  bool initialized_ = false;
  int32_t render_ready_ = 1;
  int32_t last_status_ = 0;
  bool report_pending_ = false;
  // The picture of the last access unit, until a call without data takes it.
  bool pending_ = false;
  DecodeBufferInfo pending_info_;
  uint8_t* pending_planes_[3] = {nullptr, nullptr, nullptr};
  AccessUnitMender mender_;
};

}  // namespace vzh264

// Access units from the network through the stand-in decoder: the first
// byte picks whether the unit is also flushed; the rest is the unit.
#include <cstddef>
#include <cstdint>

#include "outside/vzh264/stand_in_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static vzh264::StandInDecoder* decoder = [] {
    auto* d = new vzh264::StandInDecoder();
    vzh264::DecoderParam param;
    d->Initialize(&param, nullptr);
    return d;
  }();
  uint8_t* planes[3];
  vzh264::DecodeBufferInfo info;
  const bool flush = (data[0] & 1) != 0;
  const int32_t length = static_cast<int32_t>(size - 1);
  decoder->DecodeFrame(length > 0 ? data + 1 : nullptr, length, planes, &info);
  if (info.picture_ready) {
    // Touch the whole picture the decoder says it holds.
    volatile uint32_t sum = 0;
    for (int y = 0; y < info.height; ++y) sum = sum + planes[0][static_cast<size_t>(y) * info.strides[0]];
    for (int y = 0; y < info.height / 2; ++y) sum = sum + planes[1][static_cast<size_t>(y) * info.strides[1]];
  }
  if (flush) decoder->DecodeFrame(nullptr, 0, planes, &info);
  return 0;
}

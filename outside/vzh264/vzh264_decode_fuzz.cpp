// Access units from the network through the stand-in decoder. Each input
// gets a fresh decoder, so a finding replays on its own: the input is cut
// at every byte 0xFE into access units, decoded in turn, each picture taken
// out and read whole.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "outside/vzh264/stand_in_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto decoder = std::make_unique<vzh264::StandInDecoder>();
  vzh264::DecoderParam param;
  if (decoder->Initialize(&param, nullptr) != 0) return 0;
  size_t begin = 0;
  while (begin <= size) {
    size_t end = begin;
    while (end < size && data[end] != 0xFE) ++end;
    uint8_t* planes[3];
    vzh264::DecodeBufferInfo info;
    const int32_t length = static_cast<int32_t>(end - begin);
    decoder->DecodeFrame(length > 0 ? data + begin : nullptr, length, planes, &info);
    decoder->DecodeFrame(nullptr, 0, planes, &info);
    if (info.picture_ready) {
      volatile uint32_t sum = 0;
      for (int y = 0; y < info.height; ++y) {
        sum = sum + planes[0][static_cast<size_t>(y) * info.strides[0] + info.width - 1];
      }
      for (int y = 0; y < info.height / 2; ++y) {
        sum = sum + planes[1][static_cast<size_t>(y) * info.strides[1] + info.width / 2 - 1];
        sum = sum + planes[2][static_cast<size_t>(y) * info.strides[1] + info.width / 2 - 1];
      }
    }
    begin = end + 1;
  }
  return 0;
}

// Camera frames arrive from USB, often truncated or corrupt. Probe, then
// decode into a buffer of the probed size; the two must agree on the frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "video/devices/mjpeg/mjpeg_decoder.h"

namespace {

// Larger pictures are only probed, so a run does not spend its time allocating.
constexpr uint32_t kLargestDecoded = 1u << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  nsVZVP::CMjpegDecoder decoder;
  uint32_t out_size = 0;
  int32_t height = 0, width = 0, planes = 0, progressive = 0, reserved = 0;
  const uint32_t length = static_cast<uint32_t>(size);
  if (decoder.Probe(length, data, &out_size, &height, &width, &planes, &progressive, &reserved) !=
      nsVZVP::CMjpegDecoder::kOk) {
    return 0;
  }
  if (out_size != static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 3 / 2) std::abort();
  if (out_size > kLargestDecoded) return 0;
  std::vector<uint8_t> output(out_size);
  const int result = decoder.Decode(length, data, output.data(), out_size);
  // What the probe accepted, the decode may only find broken or short.
  if (result != nsVZVP::CMjpegDecoder::kOk && result != nsVZVP::CMjpegDecoder::kBadData &&
      result != nsVZVP::CMjpegDecoder::kShortData) {
    std::abort();
  }
  return 0;
}

// Frames reach the draws with headers made from camera formats and decoder
// output: a header and a length that disagree, odd or huge sizes, source
// rectangles outside the frame must be refused, never read past.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "video/devices/render/gdi_draw.h"

namespace {

class MemoryOutput : public IVideoFrameOutput {
 public:
  uint32_t* Buffer(int32_t width, int32_t height) override {
    pixels_.assign(static_cast<size_t>(width) * height, 0);
    return pixels_.data();
  }
  bool Put(const Rect&) override { return true; }

 private:
  std::vector<uint32_t> pixels_;
};

int16_t Read16(const uint8_t* p) {
  int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace

// Layout: width, height (int16 each), a format selector, the source
// rectangle (4 x int16), the target's width and height (bytes, so the
// composed picture stays small), the effect flags; the rest are pixels.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHead = 17;
  if (size < kHead) return 0;
  BitmapHeader header;
  header.width = Read16(data);
  header.height = Read16(data + 2);
  static constexpr uint32_t kFormats[][2] = {{0, 24}, {0, 32}, {0, 16}, {MakeFourCC('I', '4', '2', '0'), 12},
                                             {MakeFourCC('Y', 'U', 'Y', '2'), 16}, {0, 8}};
  const auto& format = kFormats[data[4] % 6];
  header.compression = format[0];
  header.bit_count = static_cast<uint16_t>(format[1]);
  const Rect source{Read16(data + 5), Read16(data + 7), Read16(data + 9), Read16(data + 11)};
  const Rect target{0, 0, data[13], data[14]};
  CGDIDraw draw([](IVideoWindowPort*) { return std::make_unique<MemoryOutput>(); });
  draw.Init(nullptr, nullptr);
  draw.SetEffectFlags(data[15] & 3u);
  const uint8_t* pixels = data + kHead;
  const uint32_t length = static_cast<uint32_t>(size - kHead);
  // A copy of exactly the given length, so reading past it is caught.
  std::vector<uint8_t> frame(pixels, pixels + length);
  draw.Draw(frame.data(), length, &header, source, target);
  draw.Draw(nullptr, 0, nullptr, source, target);  // the repaint of whatever was kept
  // A 4:2:0 frame through the planar face, whose planes the renderer
  // checks against the frame's length first, as here.
  if (header.compression == kFormats[3][0] && header.width > 0 && header.height > 0) {
    const int64_t w = header.width, h = header.height;
    if (w * h + 2 * (w / 2) * (h / 2) <= length) {
      PlanarFrame planar;
      planar.y = frame.data();
      planar.u = planar.y + w * h;
      planar.v = planar.u + (w / 2) * (h / 2);
      planar.stride_y = header.width;
      planar.stride_uv = header.width / 2;
      planar.width = header.width;
      planar.height = header.height;
      draw.DrawPlanar(planar, target);
      draw.Draw(nullptr, 0, nullptr, source, target);
    }
  }
  (void)BitmapImageBytes(header);
  return 0;
}

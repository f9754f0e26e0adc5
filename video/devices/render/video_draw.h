#pragma once
// The draw contract: one draw object puts one video picture into one
// window. The renderer owns exactly one and talks to it only through
// IVideoDraw; every operation runs under the renderer's lock, on whatever
// thread the renderer was called on (a data thread for frames, the window
// thread for window events and window-thread actions).
//
// Results of Draw: 1 drawn, -1 failed (the renderer falls back to the
// software draw), -2 format refused (the renderer converts to 24-bit RGB
// and draws again), -3 nothing kept to repaint.
#include <cstdint>

#include "platform/ui/ui_types.h"

class IVideoWindowPort;

using vz::Rect;

// FourCC codes; 0 in BitmapHeader::compression means uncompressed RGB.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
constexpr uint32_t kFourCCRgb = 0;

// The picture header a frame comes with (the bitmap-info header's layout):
// a positive height means bottom-up rows, a negative one top-down rows.
// Uncompressed rows are padded to 4 bytes; YUV frames are packed without
// padding (planar: Y width x height, then two chroma planes of width/2 x
// height/2; packed 4:2:2: 2 x width bytes a row).
struct BitmapHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t planes = 1;
  uint16_t bit_count = 0;
  uint32_t compression = 0;  // a FourCC, or kFourCCRgb
  uint32_t size_image = 0;   // bytes the caller hands over with the pixels
  int32_t x_pels_per_meter = 0;
  int32_t y_pels_per_meter = 0;
  uint32_t clr_used = 0;
  uint32_t clr_important = 0;
};
static_assert(sizeof(BitmapHeader) == 40);

// Bytes a frame described by the header needs (the row padding included);
// 0 for a size that is not positive, a depth or FourCC the draws do not
// know, or a frame larger than 1 GiB.
uint32_t BitmapImageBytes(const BitmapHeader& header);
// The stride of an uncompressed row: ((width x bits + 31) / 32) x 4.
int32_t BitmapRgbStride(int32_t width, int32_t bit_count);

// A shared hardware surface as a hardware decoder would hand it over. None
// exists on this platform: every draw here answers GetVAType 0.
struct VASurfaceDesc {
  void* shared_handle = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t format = 0;
  uint32_t pool = 0;
};

// An overlay image kept by a draw under an id.
struct OverlayDesc {
  int32_t bmptype = 0;              // 0 image, 1 packed DIB in a buffer, 2 pointer to a packed DIB
  const void* handle = nullptr;     // what bmptype says
  int32_t transparent = -1;         // COLORREF drawn transparent, -1 for none
  uint32_t flags = 0;               // bits 0-3 anchor edges, 0x10 fractions, 0x20 source side
  float values[4] = {0, 0, 0, 0};   // left, top, right, bottom
};
constexpr uint32_t kOverlayFractions = 0x10;
constexpr uint32_t kOverlaySourceSide = 0x20;

// Effect flags.
constexpr uint32_t kEffectMirror = 1;  // left-right
constexpr uint32_t kEffectFlip = 2;    // upside down

// What a draw asks of its renderer.
class IDrawHost {
 public:
  // The draw needs WindowThreadAction called on the window thread soon
  // (the renderer posts itself a message there). Any thread, under the
  // renderer's lock.
  virtual void RequestWindowThreadAction() = 0;

 protected:
  ~IDrawHost() = default;
};

class IVideoDraw {
 public:
  virtual ~IVideoDraw() = default;
  // 1 ready, 0 failed (the caller destroys the object).
  virtual int32_t Init(IVideoWindowPort* window, IDrawHost* host) = 0;
  // Releases everything Init and drawing built.
  virtual void UnInit() = 0;
  // 1 when frames of that FourCC (0 = uncompressed RGB) can be drawn.
  virtual int32_t IsFourCCSupported(uint32_t fourcc) = 0;
  // 1 when shared hardware surfaces can be drawn, else 0.
  virtual int32_t GetVAType() = 0;
  // Non-zero drawn.
  virtual int32_t VADraw(int32_t type, const VASurfaceDesc* surface, const Rect& picture, const Rect& target) = 0;
  // Pixels and header null: repaint the kept frame. `size` is how many
  // bytes `pixels` holds; a frame shorter than its header says is refused
  // with -1 and never read past. Results as above.
  virtual int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
                       const Rect& target) = 0;
  // The background alone over the target; non-zero drawn.
  virtual int32_t DrawBkgnd(const Rect& target) = 0;
  // Forgets the kept frame and its surfaces.
  virtual void DiscardStream() = 0;
  virtual int32_t SetOverlay(int32_t id, const OverlayDesc& overlay) = 0;
  virtual int32_t RemoveOverlay(int32_t id) = 0;
  // type 0: value is a COLORREF; type 1: `bitmap` is the picture.
  virtual int32_t SetBackground(int32_t type, uint32_t value, const void* bitmap) = 0;
  virtual void SetEffectFlags(uint32_t flags) = 0;
  // Non-zero accepted.
  virtual int32_t UpdateDrawTargetRectangle(const Rect& target) = 0;
  // Work that must run on the window thread (device made, reset, remade).
  virtual void WindowThreadAction() = 0;
  // 1 when the object must be destroyed on the window thread.
  virtual int32_t NeedsWindowThread() = 0;
  virtual void SetMirror(bool mirror) = 0;
};

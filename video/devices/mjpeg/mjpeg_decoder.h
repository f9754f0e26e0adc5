#pragma once
// The capture side's own decoder of Motion-JPEG camera frames into I420.
// It takes baseline JPEG frames in the two chroma forms cameras send: 4:2:0
// (luminance sampled 2x2) and 4:2:2 (2x1, whose chroma rows are averaged in
// pairs into the I420 chroma planes). Frames come from a USB camera and are
// untrusted: truncated, corrupt or hostile data gives an error code, never a
// read or write outside the caller's buffers.
//
// Threads: an instance keeps working buffers between frames, so it is used by
// one thread at a time (the capture thread); separate instances are independent.
#include <cstdint>
#include <memory>

namespace nsVZVP {

class CMjpegDecoder {
 public:
  // kBadForm: the frame's components are not one of the two forms above (grey,
  //   4:4:4, a precision other than 8 bits).
  // kBadSize: width or height is not a multiple of 8, is zero or exceeds
  //   kMaxDimension; or Decode's capacity is below the picture's I420 size.
  // kBadData: empty input, no baseline frame header (progressive and other
  //   coding processes included), a malformed segment or table, or entropy-coded
  //   data that holds no valid code.
  // kShortData: the entropy-coded data ran out before every block was decoded.
  enum : int { kOk = 0, kBadForm = 1, kBadSize = 4, kBadData = 5, kShortData = 6 };
  // The largest width or height taken; a header claiming more is refused, so no
  // size derived from a frame can make the caller allocate without bound.
  static constexpr int32_t kMaxDimension = 8192;

  CMjpegDecoder();
  ~CMjpegDecoder();
  CMjpegDecoder(const CMjpegDecoder&) = delete;
  CMjpegDecoder& operator=(const CMjpegDecoder&) = delete;

  // Parses and checks the frame without decoding. On kOk: *out_size is the I420 size of the picture,
  // *out_height/*out_width its size; the three further outputs are set to 1, 1 and 0.
  // On failure the outputs are left as they were. Every pointer must be valid.
  int Probe(uint32_t length, const uint8_t* data, uint32_t* out_size, int32_t* out_height, int32_t* out_width,
            int32_t* out_planes, int32_t* out_progressive_ok, int32_t* out_reserved);
  // Decodes into an I420 buffer of `capacity` bytes (Y, then U, then V, no row padding); a capacity below the
  // picture's I420 size is refused with kBadSize before anything is written.
  // The I420 picture has the frame's own width and height (both multiples of 8,
  // so the chroma planes are exactly width/2 by height/2); the partial MCUs at
  // the right and bottom edges of sizes that are not multiples of 16 are decoded
  // whole and only their visible part is stored. On an error after the checks
  // (kBadData, kShortData) the buffer holds a partly decoded picture.
  int Decode(uint32_t length, const uint8_t* data, uint8_t* output, uint32_t capacity);

 private:
  // Buffers and tables kept between frames, so a frame allocates nothing once
  // the buffers have grown to the camera's frame size.
  struct Workspace;
  std::unique_ptr<Workspace> work_;
};

}  // namespace nsVZVP

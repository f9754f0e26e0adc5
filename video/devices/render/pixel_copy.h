#pragma once
// Row copies between pixel layouts, shared by the draws. Each returns 1
// when it copied, 0 for an unknown mode or FourCC pair. The caller
// guarantees that every row it names lies inside both buffers (the draws
// check a frame's length against its header before they get here).
#include <cstdint>

// BltBGR modes: 24-bit BGR into ...
enum BltBgrMode : int32_t {
  kBltBgrTo32 = 0,   // 32-bit B, G, R, 0xFF
  kBltBgrCopy = 1,   // the same rows (min(|source stride|, |pitch|) bytes a row)
  kBltBgrTo565 = 2,  // 16-bit 5-6-5, red high
  kBltBgrTo555 = 3,  // 16-bit 1-5-5-5, top bit set
};

// Source stride may be negative (bottom-up: pass the address of the first
// row to copy, which is the last in memory), and so may the pitch.
int32_t BltBGR(const uint8_t* src, int32_t src_stride, uint8_t* dst, int32_t dst_pitch, int32_t mode,
               int32_t width, int32_t rows);

// Packed 4:2:2 rows, 2 bytes a pixel: within the "YUY2" group (YUY2, YUNV,
// V422, YUYV) or the "UYVY" group (UYVY, Y422, UYNV, HDYC) a plain copy;
// from a "YUY2" source into the UYVY group, or a "UYVY" source into the
// YUY2 group, the bytes of every 16-bit pair swapped.
int32_t BltYUV_Packed(const uint8_t* src, int32_t src_stride, uint32_t src_fourcc, uint8_t* dst, int32_t dst_pitch,
                      uint32_t dst_fourcc, int32_t width, int32_t rows);

// Planar 4:2:0 planes into one surface of `dst_fourcc` whose luma rows are
// `pitch` apart: width x height luma bytes, then height / 2 chroma rows of
// width / 2 samples laid out as the FourCC says (I420/IYUV, YV12, IMC1-4,
// NV12).
int32_t BltYUV_Planar(const uint8_t* y, const uint8_t* u, const uint8_t* v, int32_t luma_stride,
                      int32_t chroma_stride, uint8_t* dst, int32_t pitch, uint32_t dst_fourcc, int32_t width,
                      int32_t height);

// Bytes a surface of `fourcc` needs for width x height with that pitch
// (what BltYUV_Planar writes); 0 for a FourCC it does not write.
int64_t PlanarSurfaceBytes(uint32_t fourcc, int32_t pitch, int32_t height);

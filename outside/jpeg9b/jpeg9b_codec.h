#pragma once
// The JPEG codec behind libjpeg9b.so, over the system's TurboJPEG.
//
// Pixels are top-down rows, 4 bytes per pixel in B, G, R, X order for 32 bits
// per pixel (3 bytes, B, G, R for 24). Results come from malloc so that the
// caller may release them with free (or JPEGFreeMem).
//
// Failure: null result, *out set to 0, and a log line. Input JPEG bytes come
// from the network: their header's dimensions are checked against
// kJpeg9bMaxSide and kJpeg9bMaxPixels before anything is allocated.
// Threads: any; each call has its own TurboJPEG handle.
#include <cstdint>

constexpr int kJpeg9bMaxSide = 16384;
constexpr int64_t kJpeg9bMaxPixels = 64LL * 1024 * 1024;

// Encodes width x height pixels starting at `pixels` (rows `stride` bytes
// apart) at `quality` (1..100; out-of-range values are clamped).
uint8_t* Jpeg9bCompress(int width, int height, int bits_per_pixel, int quality, int stride,
                        const uint8_t* pixels, int* out_size);

// Decodes to packed rows of width x bits_per_pixel / 8 bytes. *out_bytes gets
// the byte count of the result, so the caller can check it against the size it
// expects. The optional dimensions are filled on success.
uint8_t* Jpeg9bDecompress(const uint8_t* jpeg, int size, int bits_per_pixel, int* out_bytes,
                          int* out_width = nullptr, int* out_height = nullptr);

// Decodes straight into `target` (rows `stride` bytes apart), which must
// hold width x height pixels: no buffer of its own, no copy after.
// kJpeg9bDecoded; kJpeg9bWrongSize, with nothing written, when the image's
// dimensions are not exactly width x height; kJpeg9bRefused, with nothing
// written, when the header or the arguments are refused. A stream that
// breaks off after its header leaves the rows decoded before the break
// (and gives kJpeg9bRefused).
constexpr int kJpeg9bDecoded = 1;
constexpr int kJpeg9bRefused = 0;
constexpr int kJpeg9bWrongSize = -1;
int Jpeg9bDecompressInto(const uint8_t* jpeg, int size, int bits_per_pixel, uint8_t* target, int stride, int width,
                          int height);

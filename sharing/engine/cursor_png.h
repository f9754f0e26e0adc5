#pragma once
// Cursor shapes as PNG files, through libpng.
//
// Encoding (presenter): 8-bit RGBA, no interlace, default compression and
// filters, into a malloc'ed buffer. The pixel code says how the input's
// four bytes per pixel are read: kCursorPngRgba as R, G, B, A;
// kCursorPngArgb as A, R, G, B (libpng's alpha swap writes them as RGBA).
//
// Checking (attendee): a received cursor image comes from the network; it
// is decoded whole before the client sees it, and refused when it is not a
// PNG, is damaged, or is larger than kCursorPngMaxSide on either side
// (checked from the header, before anything is allocated for the pixels).
//
// Failure: false and a log line; nothing is left allocated.
// Threads: any; every call is independent.
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kCursorPngRgba = 3;
inline constexpr int kCursorPngArgb = 35;
// Cursor shapes are at most 128 x 128.
inline constexpr int kCursorPngMaxSide = 128;

// Encodes `height` top-down rows of width x 4 bytes. On success *out is
// malloc'ed (release with free) and *out_size its length. False for a pixel
// code other than the two above, a size outside 1..kCursorPngMaxSide, or a
// libpng error.
bool EncodeCursorPng(const uint8_t* pixels, int width, int height, int pixel_code, uint8_t** out,
                     uint32_t* out_size);

// Decodes a PNG into top-down RGBA rows (width x 4 bytes each). `rgba` may
// be null to check only.
bool DecodeCursorPng(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgba);

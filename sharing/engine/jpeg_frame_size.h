#pragma once
// The size of a JPEG image as its frame header (SOFn) states it, read
// without decoding. The tile decode uses it to know how many rows a codec's
// packed result holds, since the codec's own "out" value is not relied on.
// Any thread; reads `size` bytes of `data` at most.
#include <cstddef>
#include <cstdint>

// True for a stream that begins with SOI: it is meant to be a JPEG image.
bool IsJpegStream(const uint8_t* data, size_t size);

// Walks the marker segments from SOI to the first frame header and stores
// its width and height. False (and both left 0) for a stream that is not a
// JPEG image, is cut short, has a segment whose length runs past the end,
// reaches a scan or EOI before any frame header, or states a zero size (a
// height given later by DNL is not supported).
bool ReadJpegFrameSize(const uint8_t* data, size_t size, int* width, int* height);

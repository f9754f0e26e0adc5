#include "video/devices/mjpeg/marker_search.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace nsVZVP {

namespace {

inline int MaskOfFF(const uint8_t* p, __m128i ff) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), ff));
}

}  // namespace

uint32_t FindMarkerByte(const uint8_t* data, uint32_t from, uint32_t length) {
  const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
  // Most of a scan holds no 0xFF: test 64 bytes per step, then find the byte.
  while (from < length && length - from >= 64) {
    const uint8_t* p = data + from;
    const __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), ff);
    const __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), ff);
    const __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), ff);
    const __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), ff);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
      for (uint32_t chunk = 0; chunk < 64; chunk += 16) {
        const int mask = MaskOfFF(p + chunk, ff);
        if (mask != 0) return from + chunk + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
      }
    }
    from += 64;
  }
  while (from < length && length - from >= 16) {
    const int mask = MaskOfFF(data + from, ff);
    if (mask != 0) return from + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    from += 16;
  }
  while (from < length && data[from] != 0xFF) ++from;
  return std::min(from, length);
}

uint32_t ExtractScanData(const uint8_t* data, uint32_t from, uint32_t length, uint32_t max_intervals,
                         std::vector<uint8_t>* out, std::vector<uint32_t>* interval_starts) {
  interval_starts->clear();
  interval_starts->push_back(0);
  const size_t available = from < length ? length - from : 0;
  if (out->size() < available + kScanPadding) out->resize(available + kScanPadding);
  uint8_t* const dst = out->data();
  uint32_t written = 0;
  uint32_t pos = std::min(from, length);
  while (pos < length) {
    const uint32_t marker = FindMarkerByte(data, pos, length);
    std::memcpy(dst + written, data + pos, marker - pos);
    written += marker - pos;
    if (marker + 1 >= length) break;  // no marker, or a lone 0xFF as the last byte
    const uint8_t code = data[marker + 1];
    if (code == 0x00) {
      dst[written++] = 0xFF;
      pos = marker + 2;
    } else if (code == 0xFF) {
      pos = marker + 1;  // fill byte before a marker
    } else if (code >= 0xD0 && code <= 0xD7) {
      if (interval_starts->size() < max_intervals) interval_starts->push_back(written);
      pos = marker + 2;
    } else {
      break;  // end of image, or another marker: the scan is over
    }
  }
  std::memset(dst + written, 0, kScanPadding);
  return written;
}

}  // namespace nsVZVP

#pragma once
// SSE2 search for 0xFF bytes, where every JPEG marker starts, and the
// extraction of a scan's entropy-coded data.
#include <cstdint>
#include <vector>

namespace nsVZVP {

// The position of the first 0xFF byte in data[from, length), or `length` when
// there is none.
uint32_t FindMarkerByte(const uint8_t* data, uint32_t from, uint32_t length);

// Copies the entropy-coded bytes from data[from] up to the end-of-image marker
// (or any other marker that is not a restart marker, or the end of the data)
// into `out`, turning 0xFF 0x00 into 0xFF and dropping restart markers. Each
// restart marker starts a new interval: its offset in `out` is appended to
// `interval_starts` (which begins with 0), up to `max_intervals` entries;
// further restart markers are dropped without an entry. `out` ends with
// `kScanPadding` zero bytes beyond the data, so a bit reader may look ahead.
// Returns the number of data bytes (without the padding).
inline constexpr uint32_t kScanPadding = 4096;
uint32_t ExtractScanData(const uint8_t* data, uint32_t from, uint32_t length, uint32_t max_intervals,
                         std::vector<uint8_t>* out, std::vector<uint32_t>* interval_starts);

}  // namespace nsVZVP

#include "video/devices/mjpeg/mjpeg_scan_decoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "video/devices/mjpeg/mjpeg_decoder.h"
#include "video/devices/mjpeg/mjpeg_idct.h"

namespace nsVZVP {

namespace {

// Reads the scan's bits most significant first through a 64-bit buffer. The
// data are followed by zero padding longer than any MCU can consume, and the
// callers check the position against the interval's end after each MCU, so a
// refill never reads past the padding.
class BitCursor {
 public:
  BitCursor(const uint8_t* bytes, uint32_t start) : base_(bytes), next_(bytes + start) {}
  // At least 32 valid bits at the top.
  uint64_t Window() {
    if (count_ < 32) Refill();
    return buffer_;
  }
  // At most 32 bits, after Window().
  void Skip(int bits) {
    buffer_ <<= bits;
    count_ -= bits;
  }
  uint64_t Position() const { return static_cast<uint64_t>(next_ - base_) * 8 - static_cast<uint64_t>(count_); }

 private:
  // Fills the buffer to 56 bits or more with whole bytes; the bytes beyond
  // them that the load also brings are the same again at the next refill.
  void Refill() {
    uint64_t v;
    std::memcpy(&v, next_, 8);
    buffer_ |= __builtin_bswap64(v) >> count_;
    next_ += (63 - count_) >> 3;
    count_ |= 56;
  }

  const uint8_t* base_;
  const uint8_t* next_;
  uint64_t buffer_ = 0;
  int count_ = 0;
};

// The value of `size` extra bits: the upper half of the range as it stands,
// the lower half negative.
inline int32_t Extend(uint32_t bits, int size) {
  return bits < (1u << (size - 1)) ? static_cast<int32_t>(bits) - (1 << size) + 1 : static_cast<int32_t>(bits);
}

constexpr int kValueBits = HuffmanValueTable::kBits;

// One block's coefficients into `block` (natural order, zero on entry).
// Returns the zig-zag index of the last coefficient set (0: DC only), or -1
// for a code that is not in the table or a run past the block's end. The
// standard path resolves the typical DC codes without a table.
template <bool kStandard>
inline int DecodeBlockCursor(BitCursor& cursor, const MjpegComponentTables& component, bool chroma,
                             int16_t& prediction, int16_t* block) {
  uint64_t window = cursor.Window();
  int32_t diff = 0;
  const HuffmanValueEntry dc_entry =
      kStandard ? HuffmanValueEntry{0, 0, 0} : component.dc_values->entries[window >> (64 - kValueBits)];
  if (dc_entry.bits != 0) {
    diff = dc_entry.value;
    cursor.Skip(dc_entry.bits);
  } else {
    int category = 0;
    int length;
    if constexpr (kStandard) {
      length = DecodeStandardDcCode(window, chroma, &category);
    } else {
      length = DecodeHuffmanSymbolDirect(*component.dc, static_cast<uint32_t>(window >> 32), &category);
    }
    if (length == 0 || category > 15) return -1;
    if (category != 0) diff = Extend(static_cast<uint32_t>((window << length) >> (64 - category)), category);
    cursor.Skip(length + category);
  }
  // Wraps as 16-bit arithmetic does: corrupt data may not overflow anything.
  prediction = static_cast<int16_t>(prediction + diff);
  block[0] = prediction;

  int last = 0;
  const HuffmanValueEntry* values = component.ac_values->entries;
  for (int k = 1; k < 64;) {
    window = cursor.Window();
    const HuffmanValueEntry entry = values[window >> (64 - kValueBits)];
    if (entry.bits != 0) {
      cursor.Skip(entry.bits);
      if (entry.run == HuffmanValueTable::kEndOfBlock) break;
      if (entry.run == HuffmanValueTable::kSixteenZeros) {
        k += 16;
        continue;
      }
      k += entry.run;
      if (k > 63) return -1;
      block[kZigzagToNatural[k]] = entry.value;
      last = k;
      ++k;
      continue;
    }
    int symbol = 0;
    const int length = DecodeHuffmanSymbolDirect(*component.ac, static_cast<uint32_t>(window >> 32), &symbol);
    if (length == 0) return -1;
    const int run = symbol >> 4;
    const int size = symbol & 15;
    if (size == 0) {
      cursor.Skip(length);
      if (run != 15) break;  // end of block
      k += 16;
      continue;
    }
    k += run;
    if (k > 63) return -1;
    block[kZigzagToNatural[k]] =
        static_cast<int16_t>(Extend(static_cast<uint32_t>((window << length) >> (64 - size)), size));
    cursor.Skip(length + size);
    last = k;
    ++k;
  }
  return last;
}

// The cursor in registers for the block, written back once.
template <bool kStandard>
inline int DecodeBlock(BitCursor& cursor, const MjpegComponentTables& component, bool chroma, int16_t& prediction,
                       int16_t* block) {
  BitCursor local = cursor;
  const int last = DecodeBlockCursor<kStandard>(local, component, chroma, prediction, block);
  cursor = local;
  return last;
}

inline void ClearBlocks(int16_t* blocks, int count) {
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < count * 8; ++i) _mm_store_si128(reinterpret_cast<__m128i*>(blocks) + i, zero);
}

inline void StoreBlock(const int16_t* block, int last, const int16_t* quant, uint8_t* out, ptrdiff_t stride,
                       bool half_rows) {
  if (last == 0) {
    FillDcBlock(block[0], quant[0], out, stride, half_rows ? 4 : 8);
  } else if (half_rows) {
    IdctBlockHalfRows(block, quant, out, stride);
  } else {
    IdctBlock(block, quant, out, stride);
  }
}

void CopyRect(const uint8_t* from, ptrdiff_t from_stride, uint8_t* to, ptrdiff_t to_stride, int width, int rows) {
  for (int i = 0; i < rows; ++i) std::memcpy(to + i * to_stride, from + i * from_stride, static_cast<size_t>(width));
}

// One frame's scan in one chroma form and on one path.
template <bool k420, bool kStandard>
int DecodeScan(const MjpegFrameHeader& header, const MjpegScanTables& tables, const MjpegScanData& scan,
               uint8_t* output) {
  constexpr int kLumaBlocks = k420 ? 4 : 2;
  constexpr int kMcuHeight = k420 ? 16 : 8;
  constexpr int kChromaRows = 8 * kMcuHeight / 16;  // I420 chroma rows per MCU
  const int width = header.width;
  const int height = header.height;
  const ptrdiff_t chroma_width = width / 2;
  uint8_t* const plane_y = output;
  uint8_t* const plane_u = plane_y + static_cast<size_t>(width) * static_cast<size_t>(height);
  uint8_t* const plane_v = plane_u + static_cast<size_t>(chroma_width) * static_cast<size_t>(height / 2);
  const MjpegMcuGrid grid = MakeMcuGrid(header);
  const std::vector<uint32_t>& starts = *scan.interval_starts;

  alignas(16) int16_t blocks[6][64];
  // Edge MCUs are decoded whole here; only their visible part is stored.
  alignas(16) uint8_t edge_y[16 * 16];
  alignas(16) uint8_t edge_u[8 * 8];
  alignas(16) uint8_t edge_v[8 * 8];

  for (uint32_t interval = 0; interval < grid.intervals; ++interval) {
    if (interval >= starts.size()) return CMjpegDecoder::kShortData;  // its restart marker never came
    BitCursor cursor(scan.bytes, starts[interval]);
    const uint64_t end = static_cast<uint64_t>(interval + 1 < starts.size() ? starts[interval + 1] : scan.size) * 8;
    int16_t predictions[3] = {0, 0, 0};
    const uint32_t first = interval * grid.per_interval;
    const uint32_t last = std::min(grid.count, first + grid.per_interval);
    for (uint32_t mcu = first; mcu < last; ++mcu) {
      ClearBlocks(&blocks[0][0], kLumaBlocks + 2);
      int lasts[6];
      for (int b = 0; b < kLumaBlocks + 2; ++b) {
        const int c = b < kLumaBlocks ? 0 : b - kLumaBlocks + 1;
        lasts[b] = DecodeBlock<kStandard>(cursor, tables.components[c], c != 0, predictions[c], blocks[b]);
        if (lasts[b] < 0) return CMjpegDecoder::kBadData;
      }
      if (cursor.Position() > end) return CMjpegDecoder::kShortData;

      const int mcu_x = static_cast<int>(mcu % grid.columns);
      const int mcu_y = static_cast<int>(mcu / grid.columns);
      const int visible_width = std::min(16, width - mcu_x * 16);
      const int visible_height = std::min(kMcuHeight, height - mcu_y * kMcuHeight);
      const bool whole = visible_width == 16 && visible_height == kMcuHeight;
      uint8_t* y = whole ? plane_y + static_cast<ptrdiff_t>(mcu_y * kMcuHeight) * width + mcu_x * 16 : edge_y;
      const ptrdiff_t y_stride = whole ? width : 16;
      const ptrdiff_t chroma_offset = static_cast<ptrdiff_t>(mcu_y * kChromaRows) * chroma_width + mcu_x * 8;
      uint8_t* u = whole ? plane_u + chroma_offset : edge_u;
      uint8_t* v = whole ? plane_v + chroma_offset : edge_v;
      const ptrdiff_t c_stride = whole ? chroma_width : 8;

      for (int b = 0; b < kLumaBlocks; ++b) {
        uint8_t* at = y + (b >> 1) * 8 * y_stride + (b & 1) * 8;
        StoreBlock(blocks[b], lasts[b], tables.quant[0], at, y_stride, false);
      }
      StoreBlock(blocks[kLumaBlocks], lasts[kLumaBlocks], tables.quant[1], u, c_stride, !k420);
      StoreBlock(blocks[kLumaBlocks + 1], lasts[kLumaBlocks + 1], tables.quant[2], v, c_stride, !k420);
      if (!whole) {
        const ptrdiff_t y_at = static_cast<ptrdiff_t>(mcu_y * kMcuHeight) * width + mcu_x * 16;
        CopyRect(edge_y, 16, plane_y + y_at, width, visible_width, visible_height);
        const int chroma_rows = visible_height * kChromaRows / kMcuHeight;
        CopyRect(edge_u, 8, plane_u + chroma_offset, chroma_width, visible_width / 2, chroma_rows);
        CopyRect(edge_v, 8, plane_v + chroma_offset, chroma_width, visible_width / 2, chroma_rows);
      }
    }
  }
  return CMjpegDecoder::kOk;
}

}  // namespace

MjpegMcuGrid MakeMcuGrid(const MjpegFrameHeader& header) {
  MjpegMcuGrid grid;
  const uint32_t mcu_height = header.chroma == MjpegChroma::k420 ? 16 : 8;
  grid.columns = (static_cast<uint32_t>(header.width) + 15) / 16;
  grid.rows = (static_cast<uint32_t>(header.height) + mcu_height - 1) / mcu_height;
  grid.count = grid.columns * grid.rows;
  if (header.restart_interval != 0) {
    grid.per_interval = header.restart_interval;
    grid.intervals = (grid.count + header.restart_interval - 1) / header.restart_interval;
  } else {
    grid.per_interval = grid.count;
    grid.intervals = 1;
  }
  return grid;
}

int DecodeMjpegScan(const MjpegFrameHeader& header, const MjpegScanTables& tables, bool standard_path,
                    const MjpegScanData& scan, uint8_t* output) {
  const bool is420 = header.chroma == MjpegChroma::k420;
  if (standard_path) {
    return is420 ? DecodeScan<true, true>(header, tables, scan, output)
                 : DecodeScan<false, true>(header, tables, scan, output);
  }
  return is420 ? DecodeScan<true, false>(header, tables, scan, output)
               : DecodeScan<false, false>(header, tables, scan, output);
}

}  // namespace nsVZVP

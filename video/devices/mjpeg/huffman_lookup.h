#pragma once
// A Huffman table in the form the decoder searches with SSE2: codes of up to 8
// bits left-aligned in one byte with a mask byte, compared 16 at a time with
// the next 8 bits of the stream; codes of 9 to 16 bits left-aligned in 16 bits
// with a 16-bit mask, compared 8 at a time with the next 16 bits. Codes are in
// canonical order, so the first match is the code. Unused entries are 0xFF.
#include <emmintrin.h>

#include <cstdint>

#include "video/devices/mjpeg/mjpeg_frame_header.h"

namespace nsVZVP {

struct HuffmanLookup {
  alignas(16) uint8_t short_codes[256];
  alignas(16) uint8_t short_masks[256];
  alignas(16) uint16_t long_codes[256];
  alignas(16) uint16_t long_masks[256];
  uint8_t short_symbols[256];
  uint8_t short_lengths[256];
  uint8_t long_symbols[256];
  uint8_t long_lengths[256];
  uint16_t short_count = 0;  // real entries
  uint16_t long_count = 0;
  uint16_t short_groups = 0;  // groups of 16 to compare
  uint16_t long_groups = 0;   // groups of 8 to compare
  // The first group of long codes that can match a given top byte: long codes
  // are sorted, so those sharing a top byte are neighbours.
  uint8_t long_start_group[256];
  // Codes of up to kFastBits bits by their top bits: length << 8 | symbol, or 0
  // for a longer code. The decoders read this first.
  static constexpr int kFastBits = 10;
  uint16_t fast[1 << kFastBits];
};

// Builds the lookup form of `spec`. Returns false when its counts do not
// describe a valid canonical code (more codes of a length than fit).
bool BuildHuffmanLookup(const MjpegHuffmanSpec& spec, HuffmanLookup* lookup);

// The four typical tables (luminance DC and AC, chrominance DC and AC) as
// segments, and built.
const MjpegHuffmanSpec& StandardHuffmanSpec(bool ac, int id);
const HuffmanLookup& StandardHuffmanLookup(bool ac, int id);

// True when `spec` holds the same counts and symbols as the typical table.
bool EqualsStandardHuffman(const MjpegHuffmanSpec& spec, bool ac, int id);

// The long codes alone, from the first group that can hold the top byte.
inline int DecodeLongHuffmanSymbol(const HuffmanLookup& table, uint32_t window, int* symbol) {
  const __m128i next16 = _mm_set1_epi16(static_cast<short>(window >> 16));
  for (int group = table.long_start_group[window >> 24]; group < table.long_groups; ++group) {
    const int base = group * 8;
    const __m128i masks = _mm_load_si128(reinterpret_cast<const __m128i*>(table.long_masks + base));
    const __m128i codes = _mm_load_si128(reinterpret_cast<const __m128i*>(table.long_codes + base));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(next16, masks), codes));
    if (hits != 0) {
      const int index = base + __builtin_ctz(static_cast<unsigned>(hits)) / 2;
      if (index >= table.long_count) return 0;
      *symbol = table.long_symbols[index];
      return table.long_lengths[index];
    }
  }
  return 0;
}

// Finds the code at the top of `window` (the next bits of the stream, most
// significant first). Returns its length and sets *symbol, or 0 when no code
// matches.
inline int DecodeHuffmanSymbol(const HuffmanLookup& table, uint32_t window, int* symbol) {
  const __m128i next8 = _mm_set1_epi8(static_cast<char>(window >> 24));
  for (int group = 0; group < table.short_groups; ++group) {
    const int base = group * 16;
    const __m128i masks = _mm_load_si128(reinterpret_cast<const __m128i*>(table.short_masks + base));
    const __m128i codes = _mm_load_si128(reinterpret_cast<const __m128i*>(table.short_codes + base));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(next8, masks), codes));
    if (hits != 0) {
      const int index = base + __builtin_ctz(static_cast<unsigned>(hits));
      if (index >= table.short_count) break;  // only the filler matched: a longer code
      *symbol = table.short_symbols[index];
      return table.short_lengths[index];
    }
  }
  return DecodeLongHuffmanSymbol(table, window, symbol);
}

// The same answer as DecodeHuffmanSymbol, from the direct table for codes of
// up to kFastBits bits and through the grouped compares of the long codes only
// for a longer one: the decoders' form.
inline int DecodeHuffmanSymbolDirect(const HuffmanLookup& table, uint32_t window, int* symbol) {
  const uint16_t entry = table.fast[window >> (32 - HuffmanLookup::kFastBits)];
  if (entry != 0) {
    *symbol = entry & 0xFF;
    return entry >> 8;
  }
  return DecodeLongHuffmanSymbol(table, window, symbol);
}

// The typical DC tables (luminance, or chrominance when `chroma`) without a
// search: their codes of two and three bits are told apart by the top three
// bits of `window`, the longer ones are runs of ones ended by a zero. Returns
// the code's length (0 for none) and sets *category.
inline int DecodeStandardDcCode(uint64_t window, bool chroma, int* category) {
  const unsigned top3 = static_cast<unsigned>(window >> 61);
  if (!chroma) {
    static constexpr uint8_t kCategory[7] = {0, 0, 1, 2, 3, 4, 5};
    static constexpr uint8_t kLength[7] = {2, 2, 3, 3, 3, 3, 3};
    if (top3 < 7) {
      *category = kCategory[top3];
      return kLength[top3];
    }
    const int ones = __builtin_clzll(~window | 1);  // 111 0 -> 3
    if (ones > 8) return 0;
    *category = ones + 3;
    return ones + 1;
  }
  if (top3 < 6) {
    *category = static_cast<int>(top3 >> 1);
    return 2;
  }
  const int ones = __builtin_clzll(~window | 1);  // 11 0 -> 2
  if (ones > 10) return 0;
  *category = ones + 1;
  return ones + 1;
}

}  // namespace nsVZVP

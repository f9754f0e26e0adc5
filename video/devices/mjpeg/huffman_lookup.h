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
  // for a longer code. The standard path's AC decoding reads this first.
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

}  // namespace nsVZVP

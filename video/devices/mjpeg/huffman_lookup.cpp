#include "video/devices/mjpeg/huffman_lookup.h"

#include <cstring>

namespace nsVZVP {

namespace {

// The typical tables of the JPEG standard's annex (K.3), as DHT would carry them.
constexpr uint8_t kLumaDcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kLumaDcSymbols[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kChromaDcCounts[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kChromaDcSymbols[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kLumaAcCounts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kLumaAcSymbols[] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
    0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t kChromaAcCounts[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kChromaAcSymbols[] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
    0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
    0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
    0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

MjpegHuffmanSpec MakeSpec(const uint8_t (&counts)[16], const uint8_t* symbols, size_t total) {
  MjpegHuffmanSpec spec;
  spec.present = true;
  std::memcpy(spec.counts, counts, 16);
  spec.total = static_cast<uint16_t>(total);
  std::memcpy(spec.symbols, symbols, total);
  return spec;
}

struct StandardTables {
  MjpegHuffmanSpec specs[2][2];  // [ac][id]
  HuffmanLookup lookups[2][2];
  StandardTables() {
    specs[0][0] = MakeSpec(kLumaDcCounts, kLumaDcSymbols, sizeof(kLumaDcSymbols));
    specs[0][1] = MakeSpec(kChromaDcCounts, kChromaDcSymbols, sizeof(kChromaDcSymbols));
    specs[1][0] = MakeSpec(kLumaAcCounts, kLumaAcSymbols, sizeof(kLumaAcSymbols));
    specs[1][1] = MakeSpec(kChromaAcCounts, kChromaAcSymbols, sizeof(kChromaAcSymbols));
    for (int ac = 0; ac < 2; ++ac) {
      for (int id = 0; id < 2; ++id) BuildHuffmanLookup(specs[ac][id], &lookups[ac][id]);
    }
  }
};

const StandardTables& Standard() {
  static const StandardTables tables;
  return tables;
}

}  // namespace

bool BuildHuffmanLookup(const MjpegHuffmanSpec& spec, HuffmanLookup* lookup) {
  std::memset(lookup->short_codes, 0xFF, sizeof(lookup->short_codes));
  std::memset(lookup->short_masks, 0xFF, sizeof(lookup->short_masks));
  std::memset(lookup->long_codes, 0xFF, sizeof(lookup->long_codes));
  std::memset(lookup->long_masks, 0xFF, sizeof(lookup->long_masks));
  uint32_t code = 0;
  int next = 0;
  int short_count = 0;
  int long_count = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < spec.counts[length - 1]; ++i) {
      if (next >= spec.total) return false;
      // More codes of this length than the code space holds: not a prefix code.
      if (code >= (1u << length)) return false;
      const uint8_t symbol = spec.symbols[next++];
      if (length <= 8) {
        lookup->short_codes[short_count] = static_cast<uint8_t>(code << (8 - length));
        lookup->short_masks[short_count] = static_cast<uint8_t>(0xFF << (8 - length));
        lookup->short_symbols[short_count] = symbol;
        lookup->short_lengths[short_count] = static_cast<uint8_t>(length);
        ++short_count;
      } else {
        lookup->long_codes[long_count] = static_cast<uint16_t>(code << (16 - length));
        lookup->long_masks[long_count] = static_cast<uint16_t>(0xFFFF << (16 - length));
        lookup->long_symbols[long_count] = symbol;
        lookup->long_lengths[long_count] = static_cast<uint8_t>(length);
        ++long_count;
      }
      ++code;
    }
    code <<= 1;
  }
  lookup->short_count = static_cast<uint16_t>(short_count);
  lookup->long_count = static_cast<uint16_t>(long_count);
  // One filler entry at least follows the real ones, so a search that only
  // meets fillers ends cleanly.
  lookup->short_groups = static_cast<uint16_t>((short_count + 16) / 16);
  lookup->long_groups = static_cast<uint16_t>((long_count + 8) / 8);
  if (lookup->short_groups * 16 > 256) lookup->short_groups = 16;
  if (lookup->long_groups * 8 > 256) lookup->long_groups = 32;
  int index = 0;
  for (int top = 0; top < 256; ++top) {
    while (index < long_count && (lookup->long_codes[index] >> 8) < top) ++index;
    lookup->long_start_group[top] = static_cast<uint8_t>(index / 8);
  }
  std::memset(lookup->fast, 0, sizeof(lookup->fast));
  constexpr int kFast = HuffmanLookup::kFastBits;
  for (int i = 0; i < short_count; ++i) {
    const int length = lookup->short_lengths[i];
    const int first = lookup->short_codes[i] << (kFast - 8);
    for (int j = 0; j < (1 << (kFast - length)); ++j) {
      lookup->fast[first + j] = static_cast<uint16_t>(length << 8 | lookup->short_symbols[i]);
    }
  }
  for (int i = 0; i < long_count && lookup->long_lengths[i] <= kFast; ++i) {
    const int length = lookup->long_lengths[i];
    const int first = lookup->long_codes[i] >> (16 - kFast);
    for (int j = 0; j < (1 << (kFast - length)); ++j) {
      lookup->fast[first + j] = static_cast<uint16_t>(length << 8 | lookup->long_symbols[i]);
    }
  }
  return true;
}

const MjpegHuffmanSpec& StandardHuffmanSpec(bool ac, int id) { return Standard().specs[ac ? 1 : 0][id & 1]; }

const HuffmanLookup& StandardHuffmanLookup(bool ac, int id) { return Standard().lookups[ac ? 1 : 0][id & 1]; }

bool EqualsStandardHuffman(const MjpegHuffmanSpec& spec, bool ac, int id) {
  const MjpegHuffmanSpec& standard = StandardHuffmanSpec(ac, id);
  return spec.total == standard.total && std::memcmp(spec.counts, standard.counts, 16) == 0 &&
         std::memcmp(spec.symbols, standard.symbols, spec.total) == 0;
}

}  // namespace nsVZVP

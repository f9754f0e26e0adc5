#include "video/devices/mjpeg/huffman_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "video/devices/mjpeg/huffman_value_table.h"

namespace nsVZVP {
namespace {

// The canonical code read bit by bit: the decoding the lookups must agree with.
int ReferenceDecode(const MjpegHuffmanSpec& spec, uint32_t window, int* symbol) {
  uint32_t code = 0;
  uint32_t first = 0;
  int index = 0;
  for (int length = 1; length <= 16; ++length) {
    code = window >> (32 - length);
    const int count = spec.counts[length - 1];
    if (code - first < static_cast<uint32_t>(count)) {
      *symbol = spec.symbols[index + static_cast<int>(code - first)];
      return length;
    }
    index += count;
    first = (first + static_cast<uint32_t>(count)) << 1;
  }
  return 0;
}

// The value entry for the top kBits of a 16-bit window against the code and
// extra bits read bit by bit: resolved whenever both fit, and then exact.
void ExpectValueEntryAgrees(const HuffmanValueTable& table, bool ac, uint32_t top, int length, int symbol) {
  constexpr int kBits = HuffmanValueTable::kBits;
  const HuffmanValueEntry entry = table.entries[top >> (16 - kBits)];
  const int run = ac ? symbol >> 4 : 0;
  const int size = ac ? symbol & 15 : symbol;
  if (length == 0 || size > 15 || length + size > kBits) {
    ASSERT_EQ(0, entry.bits) << std::hex << top;
    return;
  }
  ASSERT_EQ(length + size, entry.bits) << std::hex << top;
  if (size == 0) {
    const int marker = !ac ? 0 : run == 15 ? HuffmanValueTable::kSixteenZeros : HuffmanValueTable::kEndOfBlock;
    ASSERT_EQ(marker, entry.run) << std::hex << top;
    ASSERT_EQ(0, entry.value) << std::hex << top;
    return;
  }
  const int extra = static_cast<int>(top >> (16 - length - size)) & ((1 << size) - 1);
  const int value = extra >= (1 << (size - 1)) ? extra : extra - (1 << size) + 1;
  ASSERT_EQ(run, entry.run) << std::hex << top;
  ASSERT_EQ(value, entry.value) << std::hex << top;
}

// Every 16-bit window through the grouped compares, the direct table and (for
// DC) the standard resolver, against the bit-by-bit decoding.
// The value tables, as DC and as AC, are checked on the same windows.
void ExpectAllWindowsAgree(const MjpegHuffmanSpec& spec, const HuffmanLookup& lookup, int standard_dc) {
  HuffmanValueTable dc_values;
  HuffmanValueTable ac_values;
  BuildHuffmanValueTable(lookup, false, &dc_values);
  BuildHuffmanValueTable(lookup, true, &ac_values);
  for (uint32_t top = 0; top < 65536; ++top) {
    const uint32_t window = top << 16 | 0x5A5Au;
    int expected_symbol = -1;
    const int expected = ReferenceDecode(spec, window, &expected_symbol);
    int symbol = -1;
    const int length = DecodeHuffmanSymbol(lookup, window, &symbol);
    ASSERT_EQ(expected, length) << std::hex << top;
    if (expected != 0) {
      ASSERT_EQ(expected_symbol, symbol) << std::hex << top;
    }
    const uint16_t fast = lookup.fast[top >> (16 - HuffmanLookup::kFastBits)];
    if (fast != 0) {
      ASSERT_EQ(expected, fast >> 8) << std::hex << top;
      ASSERT_EQ(expected_symbol, fast & 0xFF) << std::hex << top;
    } else {
      ASSERT_TRUE(expected == 0 || expected > HuffmanLookup::kFastBits) << std::hex << top;
    }
    int direct_symbol = -1;
    const int direct = DecodeHuffmanSymbolDirect(lookup, window, &direct_symbol);
    ASSERT_EQ(expected, direct) << std::hex << top;
    if (expected != 0) {
      ASSERT_EQ(expected_symbol, direct_symbol) << std::hex << top;
    }
    ExpectValueEntryAgrees(dc_values, false, top, expected, expected_symbol);
    ExpectValueEntryAgrees(ac_values, true, top, expected, expected_symbol);
    if (standard_dc >= 0) {
      int category = -1;
      const int dc_length = DecodeStandardDcCode(static_cast<uint64_t>(window) << 32, standard_dc == 1, &category);
      ASSERT_EQ(expected, dc_length) << std::hex << top;
      if (expected != 0) {
        ASSERT_EQ(expected_symbol, category) << std::hex << top;
      }
    }
  }
}

TEST(HuffmanLookupTest, TypicalTablesDecodeEveryWindow) {
  for (int id = 0; id < 2; ++id) {
    ExpectAllWindowsAgree(StandardHuffmanSpec(false, id), StandardHuffmanLookup(false, id), id);
    ExpectAllWindowsAgree(StandardHuffmanSpec(true, id), StandardHuffmanLookup(true, id), -1);
  }
}

// Random prefix codes of every shape: few or many codes, short or long, the
// code space full or not.
TEST(HuffmanLookupTest, OwnTablesDecodeEveryWindow) {
  uint32_t seed = 99;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  for (int round = 0; round < 24; ++round) {
    MjpegHuffmanSpec spec;
    spec.present = true;
    uint32_t space = 2;  // free codes at the current length
    int total = 0;
    for (int length = 1; length <= 16 && total < 256; ++length) {
      const uint32_t most = std::min<uint32_t>(space, static_cast<uint32_t>(256 - total));
      uint32_t count = most == 0 ? 0 : next() % (most + 1);
      if (round % 4 == 0 && length < 9) count = 0;  // only long codes
      if (length == 16 && round % 3 == 0) count = most;  // fill the code space
      spec.counts[length - 1] = static_cast<uint8_t>(count);
      total += static_cast<int>(count);
      space = (space - count) * 2;
    }
    spec.total = static_cast<uint16_t>(total);
    std::vector<int> symbols(256);
    std::iota(symbols.begin(), symbols.end(), 0);
    for (int i = 255; i > 0; --i) std::swap(symbols[i], symbols[next() % (i + 1)]);
    for (int i = 0; i < total; ++i) spec.symbols[i] = static_cast<uint8_t>(symbols[i]);
    HuffmanLookup lookup;
    ASSERT_TRUE(BuildHuffmanLookup(spec, &lookup)) << round;
    ExpectAllWindowsAgree(spec, lookup, -1);
  }
}

TEST(HuffmanLookupTest, OverfilledCodeSpaceIsRefused) {
  MjpegHuffmanSpec spec;
  spec.counts[0] = 2;
  spec.counts[1] = 1;  // two codes of one bit leave none of two
  spec.total = 3;
  HuffmanLookup lookup;
  EXPECT_FALSE(BuildHuffmanLookup(spec, &lookup));
  spec.counts[1] = 0;
  spec.counts[15] = 1;
  EXPECT_FALSE(BuildHuffmanLookup(spec, &lookup));
  spec.counts[15] = 0;
  spec.total = 2;
  EXPECT_TRUE(BuildHuffmanLookup(spec, &lookup));
}

}  // namespace
}  // namespace nsVZVP

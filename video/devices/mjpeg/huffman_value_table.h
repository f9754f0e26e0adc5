#pragma once
// A Huffman table resolved one step further than its direct code table: by
// the stream's next kBits bits, the code and its extra bits together when both
// fit, as the coefficient's value, the zero run before it and the bits they
// take. Built once per frame for each table the scan uses; codes or values
// that do not fit leave the entry unresolved (bits 0) and are decoded through
// HuffmanLookup instead.
#include <cstdint>

#include "video/devices/mjpeg/huffman_lookup.h"

namespace nsVZVP {

struct HuffmanValueEntry {
  int16_t value;
  uint8_t run;   // AC: kEndOfBlock, kSixteenZeros, or the zero run before the value; DC: 0
  uint8_t bits;  // code and extra bits consumed; 0: not resolved here
};

struct HuffmanValueTable {
  static constexpr int kBits = HuffmanLookup::kFastBits;
  static constexpr uint8_t kEndOfBlock = 0xFF;
  static constexpr uint8_t kSixteenZeros = 0xFE;
  HuffmanValueEntry entries[1 << kBits];
};

// Fills `table` from `lookup` (built by BuildHuffmanLookup). For an AC table a
// symbol is run << 4 | size: size 0 is the end of block, or sixteen zeros for
// run 15. For a DC table the symbol is the size of the difference; sizes above
// 15 are left unresolved, so the caller's own check refuses them.
void BuildHuffmanValueTable(const HuffmanLookup& lookup, bool ac, HuffmanValueTable* table);

// The value tables of the four typical tables, built once.
const HuffmanValueTable& StandardHuffmanValueTable(bool ac, int id);

}  // namespace nsVZVP

#include "video/devices/mjpeg/huffman_value_table.h"

namespace nsVZVP {

namespace {

struct StandardValueTables {
  HuffmanValueTable tables[2][2];  // [ac][id]
  StandardValueTables() {
    for (int ac = 0; ac < 2; ++ac) {
      for (int id = 0; id < 2; ++id) {
        BuildHuffmanValueTable(StandardHuffmanLookup(ac != 0, id), ac != 0, &tables[ac][id]);
      }
    }
  }
};

}  // namespace

void BuildHuffmanValueTable(const HuffmanLookup& lookup, bool ac, HuffmanValueTable* table) {
  constexpr int kBits = HuffmanValueTable::kBits;
  for (uint32_t prefix = 0; prefix < (1u << kBits); ++prefix) {
    HuffmanValueEntry entry{0, 0, 0};
    const uint16_t code = lookup.fast[prefix];
    const int length = code >> 8;
    const int symbol = code & 0xFF;
    const int run = ac ? symbol >> 4 : 0;
    const int size = ac ? symbol & 15 : symbol;
    if (length == 0 || size > 15) {
      // No code of up to kBits bits here, or a DC size no sample can have.
    } else if (size == 0) {
      const uint8_t marker = !ac ? 0 : run == 15 ? HuffmanValueTable::kSixteenZeros : HuffmanValueTable::kEndOfBlock;
      entry = {0, marker, static_cast<uint8_t>(length)};
    } else if (length + size <= kBits) {
      const uint32_t extra = (prefix >> (kBits - length - size)) & ((1u << size) - 1);
      // The upper half of the range as it stands, the lower half negative.
      const int value = extra < (1u << (size - 1)) ? static_cast<int>(extra) - (1 << size) + 1
                                                   : static_cast<int>(extra);
      entry = {static_cast<int16_t>(value), static_cast<uint8_t>(run), static_cast<uint8_t>(length + size)};
    }
    table->entries[prefix] = entry;
  }
}

const HuffmanValueTable& StandardHuffmanValueTable(bool ac, int id) {
  static const StandardValueTables tables;
  return tables.tables[ac ? 1 : 0][id & 1];
}

}  // namespace nsVZVP

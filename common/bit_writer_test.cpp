#include "common/bit_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(BitWriterTest, BitsGoHighestFirstAndFinishClosesTheLastByte) {
  vz::BitWriter w;
  w.Bits(0x5, 3);   // 101
  w.Flag(false);    // 0
  w.Flag(true);     // 1
  w.Bits(0xABCD, 16);
  // 1010 1101 0101 1110 0110 1 | closing one bit, then zeros: 1000 0000 ...
  EXPECT_EQ(w.Finish(), (std::vector<uint8_t>{0xAD, 0x5E, 0x6C}));

  vz::BitWriter whole;
  whole.Bits(0xFF, 8);
  // On a byte boundary the closing bit takes a byte of its own.
  EXPECT_EQ(whole.Finish(), (std::vector<uint8_t>{0xFF, 0x80}));
}

TEST(BitWriterTest, ExpGolombCodesUpToTheLargestValue) {
  struct Case {
    uint32_t value;
    std::vector<uint8_t> bytes;  // the code, then the closing bit
  };
  const Case cases[] = {
      {0, {0xC0}},                 // 1 | 1
      {1, {0x50}},                 // 010 | 1
      {2, {0x70}},                 // 011 | 1
      {6, {0x3C}},                 // 00111 | 1
      {254, {0x01, 0xFF}},         // 0000000 11111111 | 1
      // 32 zeros, then 2^32 in 33 bits (a one and 32 zeros), then the closing bit.
      {0xFFFFFFFFu, {0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40}},
  };
  for (const Case& c : cases) {
    vz::BitWriter w;
    w.Ue(c.value);
    EXPECT_EQ(w.Finish(), c.bytes) << "value " << c.value;
  }
}

}  // namespace

#include "sharing/engine/cache_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sharing/engine/md5_digest.h"
#include "sharing/engine/pdu_counter.h"

namespace {

struct Digest {
  uint8_t bytes[16];
};

Digest DigestOf(uint32_t n) {
  Digest d{};
  std::memcpy(d.bytes, &n, sizeof(n));
  d.bytes[15] = 0xA5;  // never the all-zero digest of an empty entry
  return d;
}

TEST(Md5DigestTest, MatchesKnownDigestsAndIncrementalFeeding) {
  uint8_t out[16];
  ASSERT_TRUE(CMd5Digest::Compute("", 0, out));
  const uint8_t empty[16] = {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04,
                             0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e};
  EXPECT_EQ(0, std::memcmp(out, empty, 16));

  const std::string text = "The quick brown fox jumps over the lazy dog";
  ASSERT_TRUE(CMd5Digest::Compute(text.data(), text.size(), out));
  const uint8_t fox[16] = {0x9e, 0x10, 0x7d, 0x9d, 0x37, 0x2b, 0xb6, 0x82,
                           0x6b, 0xd8, 0x1d, 0x35, 0x42, 0xa4, 0x19, 0xd6};
  EXPECT_EQ(0, std::memcmp(out, fox, 16));

  // Row by row, as tiles are hashed, gives the same key; the object is reusable.
  CMd5Digest rows;
  uint8_t by_rows[16];
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(rows.Begin());
    ASSERT_TRUE(rows.Update(text.data(), 10));
    ASSERT_TRUE(rows.Update(text.data() + 10, text.size() - 10));
    ASSERT_TRUE(rows.Finish(by_rows));
    EXPECT_EQ(0, std::memcmp(by_rows, fox, 16));
  }
  // Feeding without Begin is refused, not silently hashed.
  EXPECT_FALSE(rows.Update("x", 1));
  EXPECT_FALSE(rows.Finish(by_rows));
}

TEST(PduCounterTest, NeverGivesZeroAndWrapsToOne) {
  SetDsPduIdCounterForTest(4294967294u);
  EXPECT_EQ(4294967295u, NextDsPduId());
  EXPECT_EQ(1u, NextDsPduId());
  EXPECT_EQ(2u, NextDsPduId());
  const uint32_t a = NextDsCacheStamp();
  EXPECT_EQ(a + 1, NextDsCacheStamp());
}

TEST(CacheControllerTest, FirstTileOfEmptyTableTakesIndex21AndHitsAgain) {
  CCacheController table;
  const Digest d = DigestOf(1);
  CCacheEntry* first = table.LookupTile(d.bytes);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(21u, first->Index);
  EXPECT_EQ(0u, first->PduId);
  EXPECT_EQ(22, table.GetCount());
  first->PduId = NextDsPduId();
  first->SetSlot(0, 1, "jpeg", 4);

  CCacheEntry* again = table.LookupTile(d.bytes);
  EXPECT_EQ(first, again);
  EXPECT_NE(0u, again->PduId);
  EXPECT_EQ(4u, again->Slots[0].Size);  // a hit keeps the image

  // The first cursor image gets index 2; cursor and tile ranges never mix.
  CCacheController cursors;
  CCacheEntry* cursor = cursors.LookupCursor(d.bytes);
  ASSERT_NE(nullptr, cursor);
  EXPECT_EQ(2u, cursor->Index);
  EXPECT_EQ(nullptr, table.Find(0, 1));
}

TEST(CacheControllerTest, FullTileRangeEvictsLeastRecentlyStampedAndTouchProtects) {
  CCacheController table;
  for (uint32_t n = 0; n < 4980; ++n) {
    CCacheEntry* e = table.LookupTile(DigestOf(n).bytes);
    ASSERT_NE(nullptr, e);
    e->PduId = NextDsPduId();
    e->SetSlot(0, 1, "x", 1);
  }
  ASSERT_EQ(5000, table.GetCount());
  // Index 20 stayed empty until the range was full: it was taken last.
  EXPECT_EQ(0, std::memcmp(table.GetAt(20)->Digest, DigestOf(4979).bytes, 16));

  // Oldest is index 21 (digest 0); touching it makes index 22 the oldest.
  table.Touch(21);
  CCacheEntry* evicted = table.LookupTile(DigestOf(100000).bytes);
  ASSERT_NE(nullptr, evicted);
  EXPECT_EQ(22u, evicted->Index);
  EXPECT_EQ(0u, evicted->PduId);
  EXPECT_EQ(0, evicted->Slots[0].Type);
  EXPECT_EQ(nullptr, evicted->Slots[0].Data);
  EXPECT_EQ(0, std::memcmp(evicted->Digest, DigestOf(100000).bytes, 16));
  EXPECT_EQ(5000, table.GetCount());  // never grows past the range end

  // A hit refreshes the stamp: digest 2 (index 23) is now safe, 24 goes next.
  EXPECT_EQ(23u, table.LookupTile(DigestOf(2).bytes)->Index);
  EXPECT_EQ(24u, table.LookupTile(DigestOf(100001).bytes)->Index);
}

TEST(CacheControllerTest, CursorRangeStaysWithinOneToNineteen) {
  CCacheController table;
  for (uint32_t n = 0; n < 40; ++n) {
    CCacheEntry* e = table.LookupCursor(DigestOf(n).bytes);
    ASSERT_NE(nullptr, e);
    EXPECT_GE(e->Index, 1u);
    EXPECT_LT(e->Index, 20u);
  }
  EXPECT_EQ(20, table.GetCount());
}

TEST(CacheControllerTest, FindGrowsToIndexAndMatchesPduId) {
  CCacheController table;
  table.Touch(2);
  ASSERT_EQ(3, table.GetCount());
  EXPECT_EQ(nullptr, table.Find(5, 7));
  EXPECT_EQ(6, table.GetCount());
  EXPECT_EQ(5u, table.GetAt(5)->Index);
  // An empty block record points at (0, 0), which is always present.
  ASSERT_NE(nullptr, table.Find(0, 0));
  EXPECT_EQ(0u, table.Find(0, 0)->Index);
}

TEST(CacheControllerTest, StoreTakesReferenceAndReplacesOlderEntry) {
  CCacheController table;
  table.Touch(9);
  auto* received = new CCacheEntry(30);
  received->PduId = 77;
  ASSERT_TRUE(table.Store(received));
  EXPECT_EQ(31, table.GetCount());
  for (int32_t i = 10; i < 30; ++i) EXPECT_EQ(0u, table.GetAt(i)->PduId);
  EXPECT_EQ(received, table.Find(30, 77));
  received->Release();  // the table still holds it
  EXPECT_EQ(77u, table.GetAt(30)->PduId);

  auto* newer = new CCacheEntry(30);
  newer->PduId = 78;
  ASSERT_TRUE(table.Store(newer));
  newer->Release();
  EXPECT_EQ(nullptr, table.Find(30, 77));
  EXPECT_NE(nullptr, table.Find(30, 78));
  table.Reset();
  EXPECT_EQ(0, table.GetCount());
}

TEST(CacheControllerTest, RefusesIndicesFromTheWireOutsideTheTable) {
  CCacheController table;
  EXPECT_EQ(nullptr, table.Find(0xFFFFFFFFu, 1));
  EXPECT_EQ(nullptr, table.Find(5000, 1));
  EXPECT_EQ(nullptr, table.Touch(0xFFFFFFFFu));
  auto* hostile = new CCacheEntry(0xFFFFFFFFu);
  EXPECT_FALSE(table.Store(hostile));
  hostile->Release();
  EXPECT_FALSE(table.Store(nullptr));
  EXPECT_EQ(0, table.GetCount());
  EXPECT_NE(nullptr, table.Find(4999, 0));
}

}  // namespace

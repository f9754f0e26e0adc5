#include "sharing/engine/cache_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "sharing/engine/md5_digest.h"
#include "sharing/protocol/ds_record_owners.h"
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
  ASSERT_TRUE(CMd5Digest::ComputeForTesting("", 0, out));
  const uint8_t empty[16] = {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04,
                             0xe9, 0x80, 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e};
  EXPECT_EQ(0, std::memcmp(out, empty, 16));

  const std::string text = "The quick brown fox jumps over the lazy dog";
  ASSERT_TRUE(CMd5Digest::ComputeForTesting(text.data(), text.size(), out));
  const uint8_t fox[16] = {0x9e, 0x10, 0x7d, 0x9d, 0x37, 0x2b, 0xb6, 0x82,
                           0x6b, 0xd8, 0x1d, 0x35, 0x42, 0xa4, 0x19, 0xd6};
  EXPECT_EQ(0, std::memcmp(out, fox, 16));

  // Row by row, as tiles are hashed, gives the same key; the object is reusable.
  CMd5Digest rows;
  uint8_t by_rows[16];
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
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
  EXPECT_EQ(22, table.GetCountForTesting());
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
    ASSERT_NE(nullptr, e) << "digest " << n;
    e->PduId = NextDsPduId();
    e->SetSlot(0, 1, "x", 1);
  }
  ASSERT_EQ(5000, table.GetCountForTesting());
  // Index 20 stayed empty until the range was full: it was taken last.
  EXPECT_EQ(0, std::memcmp(table.GetAt(20)->DigestForTesting(), DigestOf(4979).bytes, 16));

  // Oldest is index 21 (digest 0); touching it makes index 22 the oldest.
  table.Touch(21);
  CCacheEntry* evicted = table.LookupTile(DigestOf(100000).bytes);
  ASSERT_NE(nullptr, evicted);
  EXPECT_EQ(22u, evicted->Index);
  EXPECT_EQ(0u, evicted->PduId);
  EXPECT_EQ(0, evicted->Slots[0].Type);
  EXPECT_EQ(nullptr, evicted->Slots[0].Data);
  EXPECT_EQ(0, std::memcmp(evicted->DigestForTesting(), DigestOf(100000).bytes, 16));
  EXPECT_EQ(5000, table.GetCountForTesting());  // never grows past the range end

  // A hit refreshes the stamp: digest 2 (index 23) is now safe, 24 goes next.
  EXPECT_EQ(23u, table.LookupTile(DigestOf(2).bytes)->Index);
  EXPECT_EQ(24u, table.LookupTile(DigestOf(100001).bytes)->Index);
}

TEST(CacheControllerTest, CursorRangeStaysWithinOneToNineteen) {
  CCacheController table;
  for (uint32_t n = 0; n < 40; ++n) {
    SCOPED_TRACE(testing::Message() << "digest " << n);
    CCacheEntry* e = table.LookupCursor(DigestOf(n).bytes);
    ASSERT_NE(nullptr, e);
    EXPECT_GE(e->Index, 1u);
    EXPECT_LT(e->Index, 20u);
  }
  EXPECT_EQ(20, table.GetCountForTesting());
}

TEST(CacheControllerTest, FindGrowsToIndexAndMatchesPduId) {
  CCacheController table;
  table.Touch(2);
  ASSERT_EQ(3, table.GetCountForTesting());
  EXPECT_EQ(nullptr, table.Find(5, 7));
  EXPECT_EQ(6, table.GetCountForTesting());
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
  EXPECT_EQ(31, table.GetCountForTesting());
  for (int32_t i = 10; i < 30; ++i) EXPECT_EQ(0u, table.GetAt(i)->PduId) << "index " << i;
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
  EXPECT_EQ(0, table.GetCountForTesting());
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
  EXPECT_EQ(0, table.GetCountForTesting());
  EXPECT_NE(nullptr, table.Find(4999, 0));
}

// What a lookup must answer, found by walking the range over the entries
// themselves: the lowest index holding the digest; else, when the range is
// full, the oldest stamp (lowest index on ties); else a new entry at the end.
uint32_t ScanAnswer(const CCacheController& table, const uint8_t digest[16], uint32_t start, uint32_t end) {
  const auto count = static_cast<uint32_t>(table.GetCountForTesting());
  const CCacheEntry* oldest = nullptr;
  for (uint32_t i = start; i < end && i < count; ++i) {
    const CCacheEntry* e = table.GetAt(static_cast<int32_t>(i));
    if (std::memcmp(e->DigestForTesting(), digest, 16) == 0) return i;
    if (oldest == nullptr || e->StampForTesting() < oldest->StampForTesting()) oldest = e;
  }
  if (count < end) return count < start ? start + 1 : count;
  return oldest->Index;
}

TEST(CacheControllerTest, ReplacedEntryNoLongerAnswersForItsDigest) {
  CCacheController table;
  const Digest a = DigestOf(1);
  CCacheEntry* made = table.LookupTile(a.bytes);
  ASSERT_EQ(21u, made->Index);
  made->PduId = NextDsPduId();
  // A cache received at the same index takes the place (it has no digest).
  auto* received = new CCacheEntry(21);
  received->PduId = 500;
  ASSERT_TRUE(table.Store(received));
  received->Release();
  CCacheEntry* again = table.LookupTile(a.bytes);
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(22u, again->Index);
  EXPECT_EQ(0u, again->PduId);
  EXPECT_EQ(500u, table.GetAt(21)->PduId);  // the received one was not handed out
}

TEST(CacheControllerTest, EvictedEntryNoLongerAnswersForItsOldDigest) {
  CCacheController table;
  for (uint32_t n = 0; n < 4980; ++n) table.LookupTile(DigestOf(n).bytes)->PduId = NextDsPduId();
  // Digest 0 sits at index 21, the oldest: the next new digest takes it.
  ASSERT_EQ(21u, table.LookupTile(DigestOf(9000).bytes)->Index);
  CCacheEntry* back = table.LookupTile(DigestOf(0).bytes);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(0u, back->PduId);  // a new image, not the evicted slot's
  EXPECT_EQ(22u, back->Index);
  EXPECT_EQ(21u, table.LookupTile(DigestOf(9000).bytes)->Index);
}

TEST(CacheControllerTest, ForgottenCursorImageIsMadeAgainAndItsSlotAgesOnlyByUse) {
  CCacheController table;
  for (uint32_t n = 0; n < 19; ++n) table.LookupCursor(DigestOf(n).bytes)->PduId = NextDsPduId();
  CCacheEntry* shape = table.LookupCursor(DigestOf(5).bytes);  // index 7, now the newest
  ASSERT_EQ(7u, shape->Index);
  ASSERT_TRUE(table.ForgetImage(shape));
  EXPECT_EQ(0u, shape->PduId);
  // The range is full: the same shape evicts the oldest (index 2, digest 0),
  // and the forgotten slot keeps its age.
  CCacheEntry* again = table.LookupCursor(DigestOf(5).bytes);
  EXPECT_EQ(2u, again->Index);
  EXPECT_EQ(0u, again->PduId);
  EXPECT_EQ(3u, table.LookupCursor(DigestOf(500).bytes)->Index);
  // A foreign entry is refused and changes nothing.
  CCacheEntry stranger(7);
  EXPECT_FALSE(table.ForgetImage(&stranger));
  EXPECT_FALSE(table.ForgetImage(nullptr));
}

// Every lookup of a long mixed run (hits, misses on a full range, touches,
// received caches, forgotten images) answers what the walk would.
TEST(CacheControllerTest, LookupsAnswerAsAWalkOfTheRangeWould) {
  CCacheController table;
  std::mt19937 random(11);
  for (int step = 0; step < 30000; ++step) {
    const uint32_t pick = random() % 100;
    if (pick < 70) {
      const bool cursor = pick < 10;
      // Digests from a pool a little larger than the range: hits and evictions.
      const Digest d = DigestOf(cursor ? 100000 + random() % 25 : random() % 5400);
      const uint32_t start = cursor ? 1 : 20, end = cursor ? 20 : 5000;
      const uint32_t expected = ScanAnswer(table, d.bytes, start, end);
      CCacheEntry* e = cursor ? table.LookupCursor(d.bytes) : table.LookupTile(d.bytes);
      ASSERT_NE(nullptr, e) << "step " << step;
      ASSERT_EQ(expected, e->Index) << "step " << step;
      ASSERT_EQ(0, std::memcmp(e->DigestForTesting(), d.bytes, 16)) << "step " << step;
      if (e->PduId == 0) e->PduId = NextDsPduId();
    } else if (pick < 85) {
      if (table.GetCountForTesting() > 0) table.Touch(random() % static_cast<uint32_t>(table.GetCountForTesting()));
    } else if (pick < 93) {
      auto* received = new CCacheEntry(random() % 5000);
      received->PduId = NextDsPduId();
      ASSERT_TRUE(table.Store(received)) << "step " << step;
      received->Release();
    } else if (table.GetCountForTesting() > 0) {
      ASSERT_TRUE(table.ForgetImage(table.GetAt(static_cast<int32_t>(random() % table.GetCountForTesting()))))
          << "step " << step;
    }
  }
  // The zero digest is found by the walk too: entry 20 never took an image
  // unless the run filled the range; either way the answer matches.
  const Digest none{};
  const uint32_t expected = ScanAnswer(table, none.bytes, 20, 5000);
  EXPECT_EQ(expected, table.LookupTile(none.bytes)->Index);
}

}  // namespace

namespace {

VzObjectPtr<CCacheEntry> Received(uint32_t index, uint32_t pdu, uint32_t bytes) {
  VzObjectPtr<CCacheEntry> cache(new CCacheEntry(index));
  cache->PduId = pdu;
  std::string data(bytes, static_cast<char>(index));
  EXPECT_TRUE(cache->SetSlot(0, 10, data.data(), bytes)) << "cache " << index;
  return cache;
}

// Caches never drawn: the table keeps to its budget by evicting the least
// recently stamped, a touched cache stays, and a cache above the budget is
// refused whole.
TEST(CacheControllerTest, StoredCachesKeepToTheByteBudgetOldestStampFirst) {
  CCacheController table;
  constexpr uint32_t kBytes = 64 * 1024;
  table.SetByteBudgetForTesting(16 * kBytes);
  for (uint32_t i = 0; i < 150; ++i) {
    SCOPED_TRACE(testing::Message() << "cache " << 20 + i);
    auto cache = Received(20 + i, 1000 + i, kBytes);
    ASSERT_TRUE(table.Store(cache.get()));
    EXPECT_LE(table.StoredBytesForTesting(), table.byte_budget_for_testing());
    if (i == 3) table.Touch(20);  // drawn: newer than 21..23
  }
  EXPECT_EQ(16u * kBytes, table.StoredBytesForTesting());
  for (uint32_t i = 150 - 16; i < 150; ++i) EXPECT_NE(nullptr, table.Find(20 + i, 1000 + i)) << i;
  EXPECT_EQ(nullptr, table.Find(21, 1001));  // evicted: asked for again if a block names it
  EXPECT_EQ(0u, table.Find(21, 0)->Slots[0].Size);

  // Touched caches outlive untouched older ones.
  CCacheController touched;
  touched.SetByteBudgetForTesting(3 * kBytes);
  for (uint32_t i = 0; i < 3; ++i) touched.Store(Received(30 + i, 1 + i, kBytes).get());
  touched.Touch(30);
  touched.Store(Received(40, 9, kBytes).get());
  EXPECT_NE(nullptr, touched.Find(30, 1));
  EXPECT_EQ(nullptr, touched.Find(31, 2));

  // Above the budget: refused, nothing evicted; the same index stored
  // again is counted once.
  auto huge = Received(50, 7, 3 * kBytes + 1);
  EXPECT_FALSE(touched.Store(huge.get()));
  EXPECT_EQ(3u * kBytes, touched.StoredBytesForTesting());
  auto again = Received(40, 10, kBytes / 2);
  EXPECT_TRUE(touched.Store(again.get()));
  EXPECT_EQ(2u * kBytes + kBytes / 2, touched.StoredBytesForTesting());
  touched.Reset();
  EXPECT_EQ(0u, touched.StoredBytesForTesting());
}

}  // namespace

#include "sharing/engine/keyframe_controller.h"

#include <gtest/gtest.h>

namespace {

CKeyframeEntry* Received(uint32_t index, uint32_t pdu_id, uint32_t cache_index) {
  auto* e = new CKeyframeEntry(index);
  e->PduId = pdu_id;
  e->CacheIndex = cache_index;
  e->CachePduId = pdu_id;
  e->MonitorId = 3;
  e->Position = 0x00050006;
  e->Rect = VzRect{0, 0, 128, 128};
  return e;
}

TEST(KeyframeControllerTest, PresenterKeepsOneEntryPerPositionInFirstAppearanceOrder) {
  CKeyframeController table;
  EXPECT_FALSE(table.Check(0, 0));  // empty table: nothing shown yet

  const VzRect a{0, 0, 128, 128};
  const VzRect b{128, 0, 200, 128};  // an edge block narrower than 128
  ASSERT_NE(nullptr, table.Update(1, 10, 0x00010000, a, 21, 9));
  ASSERT_NE(nullptr, table.Update(1, 11, 0x00010001, b, 22, 8));
  CKeyframeEntry* again = table.Update(2, 12, 0x00010000, b, 23, 12);
  ASSERT_NE(nullptr, again);

  ASSERT_EQ(2, table.GetCount());
  EXPECT_EQ(0u, again->Index);
  EXPECT_EQ(12u, again->PduId);
  EXPECT_EQ(23u, again->CacheIndex);
  EXPECT_EQ(2u, again->MonitorId);
  EXPECT_EQ(200, again->Rect.right);
  EXPECT_EQ(1u, table.GetAt(1)->Index);

  EXPECT_TRUE(table.Check(0x00010000, 12));
  EXPECT_FALSE(table.Check(0x00010000, 9));  // the cell changed since
  EXPECT_TRUE(table.Check(0x00010001, 8));
  EXPECT_FALSE(table.Check(0x00020000, 8));
}

TEST(KeyframeControllerTest, AttendeeKeepsNewestBlockPerIndex) {
  CKeyframeController table;
  CKeyframeEntry* first = Received(5, 20, 21);
  ASSERT_TRUE(table.Put(first));
  first->Release();
  ASSERT_EQ(6, table.GetCount());
  for (int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(testing::Message() << "index " << i);
    EXPECT_EQ(0u, table.GetAt(i)->PduId);
    EXPECT_EQ(static_cast<uint32_t>(i), table.GetAt(i)->Index);
  }
  EXPECT_EQ(21u, table.GetAt(5)->CacheIndex);

  CKeyframeEntry* stale = Received(5, 20, 99);  // same PDU id: not newer
  ASSERT_TRUE(table.Put(stale));
  stale->Release();
  CKeyframeEntry* older = Received(5, 19, 98);
  ASSERT_TRUE(table.Put(older));
  older->Release();
  EXPECT_EQ(21u, table.GetAt(5)->CacheIndex);

  CKeyframeEntry* newer = Received(5, 21, 40);
  ASSERT_TRUE(table.Put(newer));
  newer->Release();
  EXPECT_EQ(40u, table.GetAt(5)->CacheIndex);
  EXPECT_EQ(6, table.GetCount());
}

TEST(KeyframeControllerTest, ClearAllZeroesEntriesAndKeepsThem) {
  CKeyframeController table;
  CKeyframeEntry* e = Received(2, 7, 30);
  table.Put(e);
  e->Release();
  table.ClearAll();
  ASSERT_EQ(3, table.GetCount());
  for (int32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(testing::Message() << "index " << i);
    const CKeyframeEntry* z = table.GetAt(i);
    EXPECT_EQ(0u, z->Index);
    EXPECT_EQ(0u, z->PduId);
    EXPECT_EQ(0u, z->MonitorId);
    EXPECT_EQ(0u, z->CacheIndex);
    EXPECT_EQ(0u, z->CachePduId);
    EXPECT_EQ(0, z->Rect.right);
  }
  // A cleared slot accepts the next block for it.
  CKeyframeEntry* next = Received(2, 1, 31);
  table.Put(next);
  next->Release();
  EXPECT_EQ(31u, table.GetAt(2)->CacheIndex);
  table.Reset();
  EXPECT_EQ(0, table.GetCount());
}

TEST(KeyframeControllerTest, RefusesBlockIndicesThatWouldGrowTheTableWithoutBound) {
  CKeyframeController table;
  CKeyframeEntry* hostile = Received(0xFFFFFFFFu, 1, 1);
  EXPECT_FALSE(table.Put(hostile));
  hostile->Release();
  EXPECT_FALSE(table.Put(nullptr));
  EXPECT_EQ(0, table.GetCount());
}

}  // namespace

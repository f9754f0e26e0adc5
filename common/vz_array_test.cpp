#include "common/vz_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

// Distinct fake pointers; the array never dereferences what it holds.
void* P(uintptr_t n) { return reinterpret_cast<void*>(n * 16); }

std::vector<void*> Contents(const CVzArrayBase& array) {
  std::vector<void*> out;
  for (int32_t i = 0; i < array.GetCount(); ++i) out.push_back(array.GetAt(i));
  return out;
}

// Refuses every growth after the first `allowed` ones.
class FailingGrowthArray : public CVzArrayBase {
 public:
  explicit FailingGrowthArray(int allowed) : allowed_(allowed) {}
  static bool Grown(int32_t capacity, int32_t* grown) { return GrownCapacity(capacity, grown); }

 protected:
  void** AllocateEntries(size_t count) override {
    if (allowed_-- <= 0) return nullptr;
    return CVzArrayBase::AllocateEntries(count);
  }

 private:
  int allowed_;
};

TEST(VzArrayTest, GrowsInStepsOf300KeepingOrder) {
  CVzArrayBase array;
  EXPECT_EQ(array.GetCount(), 0);
  EXPECT_EQ(array.GetCapacityForTesting(), 0);
  for (uintptr_t i = 1; i <= 300; ++i) ASSERT_EQ(array.Append(P(i)), 1) << i;
  EXPECT_EQ(array.GetCapacityForTesting(), 300);
  ASSERT_EQ(array.Add(P(301)), 1);
  EXPECT_EQ(array.GetCapacityForTesting(), 600);
  ASSERT_EQ(array.GetCount(), 301);
  for (int32_t i = 0; i < 301; ++i) ASSERT_EQ(array[i], P(static_cast<uintptr_t>(i) + 1)) << i;
}

TEST(VzArrayTest, DuplicatesAndUniqueAdds) {
  CVzArrayBase array;
  ASSERT_EQ(array.Add(P(1)), 1);
  ASSERT_EQ(array.Add(P(2)), 1);
  ASSERT_EQ(array.Add(P(1)), 1);  // not unique: kept twice
  EXPECT_EQ(array.Add(P(2), true), 0);
  EXPECT_EQ(array.Add(nullptr), 0);
  EXPECT_EQ(array.Append(nullptr), 0);
  EXPECT_EQ(array.Add(P(3), true), 1);
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(1), P(2), P(1), P(3)}));

  EXPECT_EQ(array.Find(P(1)), 0);
  EXPECT_EQ(array.Remove(P(1)), 1);  // the first copy only
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(2), P(1), P(3)}));
  EXPECT_EQ(array.Find(P(1)), 1);
}

TEST(VzArrayTest, FindRemoveAndAccessAtTheEdges) {
  CVzArrayBase array;
  EXPECT_EQ(array.Find(P(1)), -1);
  EXPECT_EQ(array.Remove(P(1)), 0);
  EXPECT_EQ(array.GetAt(0), nullptr);
  for (uintptr_t i = 1; i <= 4; ++i) array.Append(P(i));

  EXPECT_EQ(array.Find(nullptr), -1);
  EXPECT_EQ(array.Remove(nullptr), 0);
  EXPECT_EQ(array.Remove(P(9)), 0);
  EXPECT_EQ(array.GetAt(-1), nullptr);
  EXPECT_EQ(array[array.GetCount()], nullptr);

  EXPECT_EQ(array.Remove(P(4)), 1);  // the last entry: the others stay
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(1), P(2), P(3)}));
  EXPECT_EQ(array.RemoveAt(0), 1);
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(2), P(3)}));
  EXPECT_EQ(array.RemoveAt(2), 0);
  EXPECT_EQ(array.RemoveAt(-1), 0);
  EXPECT_EQ(array.GetAt(1), P(3));
  EXPECT_EQ(array.GetAt(2), nullptr);  // the vacated place is out of range

  EXPECT_EQ(array.SetAt(1, P(7)), 1);
  EXPECT_EQ(array.SetAt(2, P(8)), 0);
  EXPECT_EQ(array.SetAt(0, nullptr), 0);
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(2), P(7)}));
}

TEST(VzArrayTest, RemoveAllThenRefill) {
  CVzArrayBase array;
  for (uintptr_t i = 1; i <= 301; ++i) array.Append(P(i));
  EXPECT_EQ(array.RemoveAll(), 0);
  EXPECT_EQ(array.GetCount(), 0);
  EXPECT_EQ(array.GetCapacityForTesting(), 0);
  EXPECT_EQ(array.GetAt(0), nullptr);
  EXPECT_EQ(array.Find(P(1)), -1);
  ASSERT_EQ(array.Add(P(5)), 1);
  EXPECT_EQ(array.GetCapacityForTesting(), 300);
  EXPECT_EQ(Contents(array), (std::vector<void*>{P(5)}));
}

TEST(VzArrayTest, FailedGrowthReportsFailureAndKeepsEntries) {
  FailingGrowthArray first_growth_fails(0);
  EXPECT_EQ(first_growth_fails.Add(P(1)), 0);
  EXPECT_EQ(first_growth_fails.GetCount(), 0);
  EXPECT_EQ(first_growth_fails.GetCapacityForTesting(), 0);

  FailingGrowthArray second_growth_fails(1);
  for (uintptr_t i = 1; i <= 300; ++i) ASSERT_EQ(second_growth_fails.Append(P(i)), 1) << i;
  EXPECT_EQ(second_growth_fails.Append(P(301)), 0);
  EXPECT_EQ(second_growth_fails.GetCount(), 300);
  EXPECT_EQ(second_growth_fails.GetCapacityForTesting(), 300);
  EXPECT_EQ(second_growth_fails.GetAt(299), P(300));
  EXPECT_EQ(second_growth_fails.Find(P(301)), -1);
  // Removing makes room again without a growth.
  EXPECT_EQ(second_growth_fails.Remove(P(1)), 1);
  EXPECT_EQ(second_growth_fails.Append(P(301)), 1);
  EXPECT_EQ(second_growth_fails.GetAt(299), P(301));
}

TEST(VzArrayTest, CapacityNeverOverflowsInt32) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  int32_t grown = 0;
  EXPECT_TRUE(FailingGrowthArray::Grown(0, &grown));
  EXPECT_EQ(grown, 300);
  EXPECT_TRUE(FailingGrowthArray::Grown(max - 300, &grown));
  EXPECT_EQ(grown, max);
  EXPECT_FALSE(FailingGrowthArray::Grown(max - 299, &grown));
}

}  // namespace

#include "video/engine/core/video_deliverer_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/core/engine_test_objects_testlib.h"

namespace {

using vz_test::CountingDeliverer;

TEST(VideoDelivererListTest, AppendingTwiceKeepsOneEntryAndOneReference) {
  int destroyed = 0;
  std::vector<int> order;
  auto* d = new CountingDeliverer(&destroyed, &order, 1);
  d->AddRef();
  {
    CVideoDelivererList list;
    EXPECT_FALSE(list.HasDeliverers());
    EXPECT_EQ(list.Append(d), VSE_S_OK);
    EXPECT_EQ(list.Append(d), VSE_S_OK);
    EXPECT_EQ(d->GetRefCount(), 2);
    list.DeliverSample(nullptr);
    EXPECT_EQ(order, std::vector<int>({1}));
    EXPECT_EQ(list.Append(nullptr), VSE_E_INVALIDARG);
  }
  EXPECT_EQ(d->GetRefCount(), 1) << "the list's reference goes with it";
  d->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(VideoDelivererListTest, DeliversInListOrderAndRemoveReleases) {
  int destroyed = 0;
  std::vector<int> order;
  CVideoDelivererList list;
  for (int id = 1; id <= 3; ++id) {
    auto* d = new CountingDeliverer(&destroyed, &order, id);
    d->AddRef();
    list.Append(d);
    d->Release();  // the list holds the only reference now
  }
  list.DeliverSample(nullptr);
  EXPECT_EQ(order, std::vector<int>({1, 2, 3}));

  IVideoDeliverer* second = nullptr;
  list.Enum([](IVideoDeliverer* d, void* user) -> int32_t {
    auto** out = static_cast<IVideoDeliverer**>(user);
    if (*out == reinterpret_cast<IVideoDeliverer*>(1)) {
      *out = d;
      return 1;
    }
    *out = reinterpret_cast<IVideoDeliverer*>(1);
    return 0;
  }, &second);
  ASSERT_NE(second, nullptr);
  list.Remove(second);
  EXPECT_EQ(destroyed, 1);
  order.clear();
  list.DeliverSample(nullptr);
  EXPECT_EQ(order, std::vector<int>({1, 3}));
  list.Clear();
  EXPECT_EQ(destroyed, 3);
  EXPECT_FALSE(list.HasDeliverers());
}

TEST(VideoDelivererListTest, EnumHoldsAReferenceDuringTheCallAndStopsAtTheFirstAnswer) {
  int destroyed = 0;
  CVideoDelivererList list;
  CEnginePtr<IVideoDeliverer> a(new CountingDeliverer(&destroyed));
  CEnginePtr<IVideoDeliverer> b(new CountingDeliverer(&destroyed));
  list.Append(a.get());
  list.Append(b.get());
  struct Seen {
    std::vector<int32_t> counts;
  } seen;
  const int32_t answer = list.Enum([](IVideoDeliverer* d, void* user) -> int32_t {
    static_cast<Seen*>(user)->counts.push_back(d->GetRefCount());
    return 7;
  }, &seen);
  EXPECT_EQ(answer, 7);
  EXPECT_EQ(seen.counts, std::vector<int32_t>({3})) << "one call, with the enumeration's own reference";
}

// A deliverer that tries to take itself off the list it is called from.
class SelfRemover final : public TEngineObject<IVideoDeliverer> {
 public:
  explicit SelfRemover(CVideoDelivererList* list) : list_(list) {}
  VseResult DeliverSample(IVideoSample*) override {
    answer = list_->Remove(this);
    return VSE_S_OK;
  }
  VseResult answer = VSE_S_OK;

 private:
  CVideoDelivererList* list_;
};

TEST(VideoDelivererListTest, ChangingTheListFromInsideADeliveryIsRefused) {
  CVideoDelivererList list;
  auto* remover = new SelfRemover(&list);
  CEnginePtr<IVideoDeliverer> hold(remover);
  list.Append(remover);
  list.DeliverSample(nullptr);
  EXPECT_EQ(remover->answer, VSE_E_FAIL);
  EXPECT_TRUE(list.HasDeliverers());
  EXPECT_EQ(list.Remove(remover), VSE_S_OK);
  EXPECT_FALSE(list.HasDeliverers());
}

}  // namespace

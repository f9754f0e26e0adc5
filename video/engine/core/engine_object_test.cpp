#include "video/engine/core/engine_object.h"

#include <gtest/gtest.h>

#include "video/engine/core/engine_test_objects_testlib.h"
#include "video/engine/core/video_interfaces.h"

namespace {

// An object with two interfaces whose destructor takes and drops a
// reference, as teardown code does.
class TwoFaced final : public TEngineObject<IVideoDeliverer, IVideoSampleProvider> {
 public:
  explicit TwoFaced(int* destroyed) : destroyed_(destroyed) {}
  VseResult DeliverSample(IVideoSample*) override { return VSE_S_OK; }
  VseResult AppendVideoDeliverer(IVideoDeliverer*) override { return VSE_S_OK; }
  VseResult RemoveVideoDeliverer(IVideoDeliverer*) override { return VSE_S_OK; }
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback, void*) override { return VSE_S_OK; }

 private:
  ~TwoFaced() override {
    AddRef();
    Release();
    ++*destroyed_;
  }
  int* destroyed_;
};

TEST(EngineObjectTest, CountStartsAtZeroAndTheLastReleaseDestroysExactlyOnce) {
  int destroyed = 0;
  auto* object = new TwoFaced(&destroyed);
  IVideoDeliverer* d = object;
  EXPECT_EQ(d->GetRefCount(), 0);
  EXPECT_EQ(d->AddRef(), 1);
  EXPECT_EQ(d->AddRef(), 2);
  EXPECT_EQ(d->Release(), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(d->Release(), 0);
  EXPECT_EQ(destroyed, 1) << "a destructor that takes and drops a reference must not destroy twice";
}

TEST(EngineObjectTest, QueryInterfaceAnswersOwnIdsAndRefusesOthers) {
  int destroyed = 0;
  auto* object = new TwoFaced(&destroyed);
  IVideoDeliverer* d = object;
  d->AddRef();

  EXPECT_EQ(d->QueryInterface(&IID_IVideoSample, nullptr), VSE_E_POINTER);
  EXPECT_EQ(d->GetRefCount(), 1) << "a null out changes no count";

  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(d->QueryInterface(&IID_IVideoSample, &out), VSE_E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(d->GetRefCount(), 1);

  ASSERT_EQ(d->QueryInterface(&IID_IVideoSampleProvider, &out), VSE_S_OK);
  auto* provider = static_cast<IVideoSampleProvider*>(out);
  EXPECT_EQ(provider, static_cast<IVideoSampleProvider*>(object));
  EXPECT_EQ(provider->GetRefCount(), 2) << "both interfaces share one count";

  ASSERT_EQ(provider->QueryInterface(&IID_IEngineUnknown, &out), VSE_S_OK);
  EXPECT_EQ(out, static_cast<IEngineUnknown*>(static_cast<IVideoDeliverer*>(object)));
  EXPECT_EQ(d->GetRefCount(), 3);

  provider->Release();
  static_cast<IEngineUnknown*>(out)->Release();
  d->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(EngineObjectTest, InterfaceIdsAreTheSystemsOwn) {
  EXPECT_EQ(IID_IEngineUnknown.data1, 0x00000000u);
  EXPECT_EQ(IID_IEngineUnknown.data2, 0x7819);
  EXPECT_EQ(IID_IEngineUnknown.data4[7], 0xEF);
  EXPECT_EQ(IID_IVideoSample.data1, 0x74FA6D67u);
  EXPECT_FALSE(IID_IVideoSample == IID_IVideoSampleAllocator);
  EXPECT_EQ(IID_IVideoListenChannelMarker.data4[7], 0x9F);
}

TEST(EngineObjectTest, EnginePtrHoldsOneReference) {
  int destroyed = 0;
  {
    CEnginePtr<IVideoDeliverer> a(new vz_test::CountingDeliverer(&destroyed));
    EXPECT_EQ(a->GetRefCount(), 1);
    CEnginePtr<IVideoDeliverer> b = a;
    EXPECT_EQ(a->GetRefCount(), 2);
    b.Reset(nullptr);
    EXPECT_EQ(a->GetRefCount(), 1);
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace

#include "video/engine/core/vz_video_sample_allocator.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "video/engine/core/aligned_media_buffer.h"
#include "video/engine/core/engine_clock.h"

namespace {

class SampleAllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = VZSE_::SetEngineClockForTest(&clock_); }
  void TearDown() override { VZSE_::SetEngineClockForTest(previous_ == &VZSE_::SystemEngineClock() ? nullptr : previous_); }

  CVzVideoSampleAllocator* MakeAllocator(int32_t alignment = 64, uint32_t interval = 10000, uint32_t idle = 10000) {
    auto* a = new CVzVideoSampleAllocator(alignment, interval, idle);
    a->AddRef();
    return a;
  }
  static IVideoSample* Get(CVzVideoSampleAllocator* a, int32_t size) {
    IVideoSample* s = nullptr;
    EXPECT_EQ(a->GetSample(size, &s), VSE_S_OK) << "size " << size;
    return s;
  }
  static void* Base(IVideoSample* s) {
    void* p = nullptr;
    s->GetBase(&p);
    return p;
  }

  VZSE_::FakeEngineClock clock_;
  VZSE_::EngineClock* previous_ = nullptr;
};

TEST_F(SampleAllocatorTest, ReleasedSampleGoesBackToThePoolAndIsReused) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  IVideoSample* s = Get(a, 1000);
  EXPECT_EQ(s->GetRefCount(), 1);
  int32_t size = 0, length = 0;
  void* pointer = nullptr;
  s->GetSize(&size);
  s->GetActualDataLength(&length);
  s->GetPointer(&pointer);
  EXPECT_EQ(size, 1000);
  EXPECT_EQ(length, 1000);
  EXPECT_EQ(pointer, Base(s));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(pointer) % 64, 0u);
  void* base = Base(s);
  EXPECT_EQ(s->Release(), 0);
  EXPECT_EQ(a->PooledCountForTesting(), 1);
  EXPECT_EQ(s->GetRefCount(), 1) << "a pooled sample reads 1";
  IVideoSample* again = Get(a, 900);
  EXPECT_EQ(again, s);
  EXPECT_EQ(Base(again), base) << "the buffer is kept when it is large enough";
  again->Release();
  a->Release();
}

TEST_F(SampleAllocatorTest, BestFitTakesTheSmallestLargerSampleElseGrowsTheSmallest) {
  CVzVideoSampleAllocator* a = MakeAllocator(0, 0, 0);  // no alignment: fit = capacity - size
  // Capacities 990, 1100 and 5000 for a request of 1000: fits -10, +100, +4000.
  IVideoSample* s990 = Get(a, 990);
  IVideoSample* s1100 = Get(a, 1100);
  IVideoSample* s5000 = Get(a, 5000);
  s990->Release(), s1100->Release(), s5000->Release();
  IVideoSample* got = Get(a, 1000);
  EXPECT_EQ(got, s1100);
  got->Release();
  // Fits -10 and -500 only: the -500 one is taken and grown.
  IVideoSample* big = Get(a, 5000);
  IVideoSample* fit = Get(a, 1100);
  ASSERT_EQ(fit, s1100);
  IVideoSample* s990_again = Get(a, 990);
  ASSERT_EQ(s990_again, s990);
  IVideoSample* s500 = Get(a, 500);
  s500->Release();
  s990_again->Release();
  IVideoSample* grown = Get(a, 1000);  // pool: s990 (fit -10), s500 (fit -500)
  EXPECT_EQ(grown, s500);
  int32_t size = 0;
  grown->GetSize(&size);
  EXPECT_EQ(size, 1000);
  grown->Release(), big->Release(), fit->Release();
  a->Release();
}

TEST_F(SampleAllocatorTest, IdleSamplesArePurgedOnlyAtAReturnAPurgeIntervalAfterTheLast) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  IVideoSample* old_sample = Get(a, 100);
  IVideoSample* busy = Get(a, 100);
  old_sample->Release();  // pooled at t0
  clock_.AdvanceMs(10001);
  busy->Release();  // t0 + 10,001: purge; the first sample is 10,001 ms idle
  EXPECT_EQ(a->PooledCountForTesting(), 1);

  IVideoSample* s = Get(a, 100);
  IVideoSample* t = Get(a, 100);
  s->Release();  // pooled at t1
  clock_.AdvanceMs(10500);
  t->Release();  // 10,500 ms after the last purge: s, idle as long, goes
  EXPECT_EQ(a->PooledCountForTesting(), 1);
  IVideoSample* u = Get(a, 100);
  IVideoSample* v = Get(a, 100);
  u->Release();
  clock_.AdvanceMs(9000);
  v->Release();  // 9,000 ms since the last purge: no purge, though u waits
  EXPECT_EQ(a->PooledCountForTesting(), 2);
  a->Release();
}

TEST_F(SampleAllocatorTest, SampleBoundsAndFormat) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  IVideoSample* s = Get(a, 100);
  auto* base = static_cast<uint8_t*>(Base(s));
  EXPECT_EQ(s->SetPointer(base + 100), VSE_S_OK);
  EXPECT_EQ(s->SetPointer(base + 101), VSE_E_INVALIDARG);
  EXPECT_EQ(s->SetPointer(base - 1), VSE_E_INVALIDARG);
  EXPECT_EQ(s->SetPointer(nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(s->SetActualDataLength(100), VSE_S_OK);
  EXPECT_EQ(s->SetActualDataLength(101), VSE_E_FAIL);
  EXPECT_EQ(s->GetSize(nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(s->SetFormat(nullptr), VSE_E_INVALIDARG);
  VideoFormat f{2, 640, 360, 15.f, 0};
  f.set_time_stamp_ms(1234);
  EXPECT_EQ(s->SetFormat(&f), VSE_S_OK);
  VideoFormat back{};
  s->GetFormat(&back);
  EXPECT_EQ(back.width, 640);
  EXPECT_EQ(back.time_stamp_ms(), 1234u);
  void* out = nullptr;
  EXPECT_EQ(s->QueryInterface(&IID_IVideoSampleAllocator, &out), VSE_E_NOINTERFACE);
  EXPECT_EQ(s->QueryInterface(&IID_IVideoSample, &out), VSE_S_OK);
  EXPECT_EQ(s->GetRefCount(), 2);
  static_cast<IVideoSample*>(out)->Release();
  s->Release();
  IVideoSample* none = nullptr;
  EXPECT_EQ(a->GetSample(-1, &none), VSE_E_INVALIDARG);
  EXPECT_EQ(a->GetSample(10, nullptr), VSE_E_INVALIDARG);
  a->Release();
}

TEST_F(SampleAllocatorTest, SteadyStateAllocatesNothing) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  const int32_t frame = 1280 * 720 * 3 / 2;
  for (int i = 0; i < 3; ++i) {  // warm the pool: three frames in flight
    IVideoSample* s[3] = {Get(a, frame), Get(a, frame), Get(a, frame)};
    for (auto* x : s) x->Release();
  }
  const uint64_t before = CPlainMediaBuffer::RawAllocationsForTesting();
  for (int i = 0; i < 1000; ++i) {
    IVideoSample* s = Get(a, frame);
    IVideoSample* t = Get(a, frame - 7);
    s->Release();
    t->Release();
    clock_.AdvanceMs(33);  // purges run, but nothing is idle long enough
  }
  EXPECT_EQ(CPlainMediaBuffer::RawAllocationsForTesting(), before);
  EXPECT_EQ(a->PooledCountForTesting(), 2) << "the third warm-up sample sat idle past the limit and was purged";
  a->Release();
}

TEST_F(SampleAllocatorTest, AnOutstandingSampleKeepsItsAllocatorAlive) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  IVideoSample* s = Get(a, 64);
  EXPECT_EQ(a->GetRefCount(), 2);
  a->Release();  // the owner lets go first
  EXPECT_EQ(s->Release(), 0);  // returns to the pool, then the allocator goes (ASan: no use after free)
}

TEST_F(SampleAllocatorTest, SamplesReleasedOnManyThreadsAllComeBack) {
  CVzVideoSampleAllocator* a = MakeAllocator();
  std::vector<IVideoSample*> samples;
  for (int i = 0; i < 64; ++i) samples.push_back(Get(a, 256));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&samples, t] {
      for (int i = t; i < 64; i += 4) samples[i]->Release();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(a->PooledCountForTesting(), 64);
  a->Release();
}

}  // namespace

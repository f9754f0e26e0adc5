#include "video/engine/rtp/reed_solomon_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#include "video/engine/rtp/gf256.h"
#include "video/engine/rtp/gf256_kernels.h"
#include "video/engine/rtp/reed_solomon_cache.h"

using namespace vz::rtp;

namespace {

using Buffers = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t*> Pointers(Buffers& b) {
  std::vector<uint8_t*> p;
  for (auto& v : b) p.push_back(v.data());
  return p;
}

TEST(Gf256, FieldArithmetic) {
  const Gf256Tables& gf = Gf256();
  EXPECT_EQ(gf.mul[2][0x80], 0x1D);  // reduction by 0x11D
  EXPECT_EQ(gf.log[0], 255);
  EXPECT_EQ(gf.exp[0], 1);
  EXPECT_EQ(gf.exp[255], 1);
  for (int a = 1; a < 256; ++a) {
    EXPECT_EQ(gf.mul[a][gf.Inverse(static_cast<uint8_t>(a))], 1) << a;
    EXPECT_EQ(gf.mul[a][0], 0) << a;
  }
}

TEST(ReedSolomon, EncodingMatrixIsSystematicWithTheKnownRepairRows) {
  auto codec = CReedSolomonCodec::Create(2, 4);
  ASSERT_TRUE(codec);
  EXPECT_EQ(std::vector<uint8_t>(codec->Row(0), codec->Row(0) + 2), (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(std::vector<uint8_t>(codec->Row(1), codec->Row(1) + 2), (std::vector<uint8_t>{0, 1}));
  // Points 0, 1, 2, 4: row r = [1, x_r] x [[1, 0], [1, 1]].
  EXPECT_EQ(std::vector<uint8_t>(codec->Row(2), codec->Row(2) + 2), (std::vector<uint8_t>{3, 2}));
  EXPECT_EQ(std::vector<uint8_t>(codec->Row(3), codec->Row(3) + 2), (std::vector<uint8_t>{5, 4}));
  // The parity bytes themselves, as a peer computes them.
  const uint8_t a[] = {0x01, 0x80, 0xFF};
  const uint8_t b[] = {0x02, 0x40, 0x00};
  const uint8_t* sources[] = {a, b};
  uint8_t p0[3], p1[3];
  uint8_t* repairs[] = {p0, p1};
  codec->Encode(sources, 3, repairs);
  const Gf256Tables& gf = Gf256();
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(p0[j], gf.mul[3][a[j]] ^ gf.mul[2][b[j]]) << "byte " << j;
    EXPECT_EQ(p1[j], gf.mul[5][a[j]] ^ gf.mul[4][b[j]]) << "byte " << j;
  }
  EXPECT_EQ(p0[0], 0x07);  // 3*1 ^ 2*2
}

TEST(ReedSolomon, RefusesInvalidParameters) {
  EXPECT_FALSE(CReedSolomonCodec::Create(10, 300));
  EXPECT_FALSE(CReedSolomonCodec::Create(257, 257));
  EXPECT_FALSE(CReedSolomonCodec::Create(5, 4));
  EXPECT_FALSE(CReedSolomonCodec::Create(0, 4));
  EXPECT_TRUE(CReedSolomonCodec::Create(256, 256));
  EXPECT_TRUE(CReedSolomonCodec::Create(1, 256));
  EXPECT_FALSE(GetReedSolomonCodec(10, 300));

  auto codec = CReedSolomonCodec::Create(3, 5);
  Buffers received(3, std::vector<uint8_t>(8, 1));
  Buffers out(1, std::vector<uint8_t>(8));
  auto in = Pointers(received);
  auto outp = Pointers(out);
  const int wanted[] = {1};
  const int index_n[] = {0, 2, 5};
  EXPECT_EQ(codec->Decode(in.data(), 8, index_n, outp.data(), wanted, 1), 1);
  const int duplicate[] = {0, 3, 3};
  EXPECT_EQ(codec->Decode(in.data(), 8, duplicate, outp.data(), wanted, 1), 1);
  const int good[] = {0, 3, 4};
  const int bad_wanted[] = {3};
  EXPECT_EQ(codec->Decode(in.data(), 8, good, outp.data(), bad_wanted, 1), 1);
  EXPECT_EQ(codec->Decode(in.data(), 8, good, outp.data(), wanted, 1), 0);
}

TEST(ReedSolomon, KEqualsNWritesNothing) {
  auto codec = CReedSolomonCodec::Create(4, 4);
  ASSERT_TRUE(codec);
  Buffers src(4, std::vector<uint8_t>(10, 7));
  auto in = Pointers(src);
  uint8_t sentinel = 0xEE;
  uint8_t* repairs[] = {&sentinel};
  codec->Encode(in.data(), 10, repairs);
  EXPECT_EQ(sentinel, 0xEE);
}

// Any k of the n packets give the sources back: seeded random shapes up to
// the code's limits, with random lengths (zero-padded) and random losses.
TEST(ReedSolomon, AnyKOfNRecoverTheSourcesInTwoThousandRandomTrials) {
  std::mt19937 rng(20261209);
  for (int trial = 0; trial < 2000; ++trial) {
    const int n = std::uniform_int_distribution<int>(1, 256)(rng);
    const int k = std::uniform_int_distribution<int>(1, n)(rng);
    const int max_length = trial % 10 == 0 ? 1200 : 40;
    auto codec = GetReedSolomonCodec(k, n);
    ASSERT_TRUE(codec) << k << "," << n;
    Buffers src(static_cast<size_t>(k));
    std::vector<int> lengths(static_cast<size_t>(k));
    const bool equal = trial % 2 == 0;
    const int common = std::uniform_int_distribution<int>(1, max_length)(rng);
    int longest = 0;
    for (int i = 0; i < k; ++i) {
      lengths[i] = equal ? common : std::uniform_int_distribution<int>(0, max_length)(rng);
      longest = std::max(longest, lengths[i]);
      src[i].resize(static_cast<size_t>(lengths[i]));
      for (auto& byte : src[i]) byte = static_cast<uint8_t>(rng());
    }
    Buffers repair(static_cast<size_t>(n - k), std::vector<uint8_t>(static_cast<size_t>(longest)));
    auto in = Pointers(src);
    auto rp = Pointers(repair);
    codec->Encode(in.data(), lengths.data(), rp.data());

    // Choose k of n at random; every fifth trial uses as many repair rows as possible.
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    if (trial % 5 == 0) {
      std::reverse(order.begin(), order.end());
    } else {
      std::shuffle(order.begin(), order.end(), rng);
    }
    order.resize(static_cast<size_t>(k));
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<const uint8_t*> received;
    std::vector<int> received_lengths;
    std::vector<int> wanted;
    std::vector<bool> have(static_cast<size_t>(k), false);
    for (int index : order) {
      if (index < k) {
        received.push_back(src[index].data());
        received_lengths.push_back(lengths[index]);
        have[index] = true;
      } else {
        received.push_back(repair[index - k].data());
        received_lengths.push_back(longest);
      }
    }
    for (int i = 0; i < k; ++i) {
      if (!have[i]) wanted.push_back(i);
    }
    Buffers out(wanted.size(), std::vector<uint8_t>(static_cast<size_t>(longest), 0xCC));
    auto op = Pointers(out);
    ASSERT_EQ(codec->Decode(received.data(), received_lengths.data(), order.data(), op.data(),
                            wanted.data(), static_cast<int>(wanted.size())),
              0)
        << "trial " << trial << " k=" << k << " n=" << n;
    for (size_t w = 0; w < wanted.size(); ++w) {
      std::vector<uint8_t> expected = src[wanted[w]];
      expected.resize(static_cast<size_t>(longest), 0);
      ASSERT_EQ(out[w], expected) << "trial " << trial << " k=" << k << " n=" << n;
    }
  }
}

TEST(GfKernels, EveryKernelGivesTheScalarBytes) {
  std::mt19937 rng(7);
  const GfDotProductFn scalar = GfDotProductKernel(GfKernel::kScalar);
  for (GfKernel kind : {GfKernel::kSsse3, GfKernel::kAvx2}) {
    const GfDotProductFn fn = GfDotProductKernel(kind);
    if (fn == nullptr) continue;  // this processor lacks it
    for (int rows = 1; rows <= kGfMaxDotRows; ++rows) {
      for (size_t length : {0u, 1u, 15u, 16u, 31u, 33u, 100u, 1200u}) {
        const int sources = 5;
        std::vector<uint8_t> coefficients(static_cast<size_t>(rows * sources));
        for (auto& c : coefficients) c = static_cast<uint8_t>(rng());
        coefficients[0] = 0;
        std::vector<uint8_t> tables(coefficients.size() * kGfNibbleTableBytes);
        BuildGfNibbleTables(coefficients.data(), static_cast<int>(coefficients.size()),
                            tables.data());
        Buffers src(sources, std::vector<uint8_t>(length));
        for (auto& s : src)
          for (auto& b : s) b = static_cast<uint8_t>(rng());
        Buffers a(static_cast<size_t>(rows), std::vector<uint8_t>(length, 1));
        Buffers b(static_cast<size_t>(rows), std::vector<uint8_t>(length, 2));
        auto in = Pointers(src);
        auto pa = Pointers(a);
        auto pb = Pointers(b);
        scalar(coefficients.data(), tables.data(), sources, rows, in.data(), pa.data(), length);
        fn(coefficients.data(), tables.data(), sources, rows, in.data(), pb.data(), length);
        EXPECT_EQ(a, b) << static_cast<int>(kind) << " rows " << rows << " length " << length;
      }
    }
  }
}

TEST(ReedSolomonCache, SharesCodecsAndFollowsTheSessionCount) {
  ReedSolomonSessionStarted();
  auto first = GetReedSolomonCodec(20, 28);
  EXPECT_EQ(first, GetReedSolomonCodec(20, 28));
  EXPECT_GE(ReedSolomonCacheSizeForTesting(), 1u);
  ReedSolomonSessionEnded();
  EXPECT_EQ(ReedSolomonCacheSizeForTesting(), 0u);
  EXPECT_EQ(first->k_for_testing(), 20);  // still held by its user
}

TEST(ReedSolomonCache, ConcurrentUseFromEightThreads) {
  ReedSolomonSessionStarted();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        const int k = 1 + (i * 7 + t) % 30;
        auto codec = GetReedSolomonCodec(k, k + 1 + i % 10);
        ASSERT_TRUE(codec) << "thread " << t << " step " << i << ": " << k << " of " << k + 1 + i % 10;
        if (i % 50 == 0) {
          ReedSolomonSessionStarted();
          ReedSolomonSessionEnded();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  ReedSolomonSessionEnded();
  EXPECT_EQ(ReedSolomonCacheSizeForTesting(), 0u);
}

}  // namespace

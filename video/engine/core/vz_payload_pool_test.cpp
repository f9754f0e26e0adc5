#include "video/engine/core/vz_payload_pool.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PayloadPoolTest, BlocksComeBackOnTheirLastReleaseAndAreReused) {
  CVzPayloadPool pool;
  CVzPayloadBlock* a = pool.Get(1200);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->length(), 1200);
  std::memset(a->data(), 7, 1200);
  a->AddRef();
  EXPECT_EQ(a->Release(), 1);
  EXPECT_EQ(pool.FreeCountForTesting(), 0);
  EXPECT_EQ(a->Release(), 0);
  EXPECT_EQ(pool.FreeCountForTesting(), 1);
  EXPECT_EQ(a->length(), 0) << "a pooled block is emptied";
  CVzPayloadBlock* b = pool.Get(800);
  EXPECT_EQ(b, a) << "the pooled block is taken first";
  EXPECT_EQ(b->length(), 800);
  CVzPayloadBlock* c = pool.Get(1500);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c, b);
  b->Release();
  c->Release();
  EXPECT_EQ(pool.FreeCountForTesting(), 2);
}

TEST(PayloadPoolTest, ANegativeLengthIsRefusedAndTheBlockKept) {
  CVzPayloadPool pool;
  EXPECT_EQ(pool.Get(-1), nullptr);
  EXPECT_EQ(pool.FreeCountForTesting(), 1) << "the block made for the refused call waits in the pool";
}

}  // namespace

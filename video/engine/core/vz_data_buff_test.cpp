#include "video/engine/core/vz_data_buff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct RecordingSender : IVzPacketSender {
  void SendPacket(uint32_t tick, const uint8_t* data, int32_t length) override {
    sent.push_back({tick, data[0], length});
  }
  struct Sent {
    uint32_t tick;
    uint8_t first_byte;
    int32_t length;
    bool operator==(const Sent&) const = default;
  };
  std::vector<Sent> sent;
};

constexpr int32_t kBlock = 1536;

void PushPacket(CVzDataBuff& q, uint16_t length, uint16_t priority, uint8_t tag) {
  uint8_t* block = q.GetBlock(kBlock);
  ASSERT_NE(block, nullptr) << "packet " << int{tag};
  std::memset(block, tag, length);
  q.Push(length, priority, block, 0, kBlock);
}

TEST(DataBuffTest, BudgetIsSpentInOrderAndTheOverrunIsCarried) {
  RecordingSender sender;
  CVzDataBuff q(&sender, kBlock, 4);
  PushPacket(q, 600, 0, 1);
  PushPacket(q, 600, 0, 2);
  PushPacket(q, 600, 0, 3);
  int32_t carry = -1;
  EXPECT_EQ(q.DeliveryPackets(&carry, 1000, 77, false), 1200);
  EXPECT_EQ(carry, 200);
  EXPECT_EQ(sender.sent, (std::vector<RecordingSender::Sent>{{77, 1, 600}, {77, 2, 600}}));
  EXPECT_EQ(q.size(), 1u);
  EXPECT_EQ(q.DeliveryPackets(&carry, 1000, 78, false), 600);
  EXPECT_EQ(carry, 0) << "the queue ran empty";
  EXPECT_EQ(q.recycled(), 4u) << "every block came back";
}

TEST(DataBuffTest, ZeroBudgetSendsExactlyOnePacket) {
  RecordingSender sender;
  CVzDataBuff q(&sender, kBlock, 2);
  PushPacket(q, 100, 0, 1);
  PushPacket(q, 100, 0, 2);
  int32_t carry = 0;
  EXPECT_EQ(q.DeliveryPackets(&carry, 0, 1, false), 100);
  EXPECT_EQ(carry, 100);
  EXPECT_EQ(sender.sent.size(), 1u);
}

TEST(DataBuffTest, ARecordWithoutDataIsDroppedInsteadOfBlockingTheQueue) {
  RecordingSender sender;
  CVzDataBuff q(&sender, kBlock, 2);
  q.Push(100, 0, nullptr, 0, kBlock);
  PushPacket(q, 100, 0, 9);
  int32_t carry = 0;
  EXPECT_EQ(q.DeliveryPackets(&carry, 1000, 1, false), 100);
  EXPECT_EQ(q.size(), 0u);
  ASSERT_EQ(sender.sent.size(), 1u);
  EXPECT_EQ(sender.sent[0].first_byte, 9);
}

TEST(DataBuffTest, DropLowestPriorityRemovesOnlyTheLargestValue) {
  CVzDataBuff q(nullptr, kBlock, 0);
  PushPacket(q, 10, 1, 0);
  PushPacket(q, 10, 3, 0);
  PushPacket(q, 10, 2, 0);
  PushPacket(q, 10, 3, 0);
  int32_t top = 0;
  ASSERT_TRUE(q.GetMaxPriority(&top));
  EXPECT_EQ(top, 3);
  q.DropLowestPriority();
  EXPECT_EQ(q.size(), 2u);
  ASSERT_TRUE(q.GetMaxPriority(&top));
  EXPECT_EQ(top, 2);
  EXPECT_EQ(q.recycled(), 2u);
}

TEST(DataBuffTest, AllZeroPrioritiesAreDroppedOnlyAtFiveTimesTheMaximum) {
  CVzDataBuff q(nullptr, kBlock, 0);
  q.UpdateMaxBuffSize(2);
  for (int i = 0; i < 9; ++i) PushPacket(q, 10, 0, 0);
  q.DropLowestPriority();
  EXPECT_EQ(q.size(), 9u);
  PushPacket(q, 10, 0, 0);
  q.DropLowestPriority();
  EXPECT_EQ(q.size(), 0u);
  EXPECT_EQ(CVzDataBuff(nullptr, kBlock, 0).max_buff_size(), 200);
}

TEST(DataBuffTest, OnlyBlocksOfTheBlockSizeAreRecycled) {
  CVzDataBuff q(nullptr, kBlock, 1);
  uint8_t* pooled = q.GetBlock(kBlock);
  EXPECT_EQ(q.recycled(), 0u);
  uint8_t* odd = q.GetBlock(100);
  q.Recycle(odd, 100);
  EXPECT_EQ(q.recycled(), 0u);
  q.Recycle(pooled, kBlock);
  EXPECT_EQ(q.recycled(), 1u);
  EXPECT_EQ(q.GetBlock(0), nullptr);
}

}  // namespace

#include "video/engine/core/vz_data_buff.h"

#include <algorithm>
#include <new>

#include "common/trace_client.h"

CVzDataBuff::CVzDataBuff(IVzPacketSender* sender, int32_t block_size, int32_t preallocated)
    : sender_(sender), block_size_(block_size) {
  recycler_.reserve(static_cast<size_t>(std::max(preallocated, 0)));
  for (int32_t i = 0; i < preallocated; ++i) {
    auto* block = new (std::nothrow) uint8_t[static_cast<size_t>(block_size_)];
    if (block == nullptr) break;
    recycler_.push_back(block);
  }
}

CVzDataBuff::~CVzDataBuff() {
  Clear();
  for (uint8_t* block : recycler_) delete[] block;
}

uint8_t* CVzDataBuff::GetBlock(int32_t length) {
  if (length <= 0) return nullptr;
  if (length == block_size_ && !recycler_.empty()) {
    uint8_t* block = recycler_.back();
    recycler_.pop_back();
    return block;
  }
  return new (std::nothrow) uint8_t[static_cast<size_t>(length)];
}

void CVzDataBuff::Recycle(uint8_t* block, int32_t length) {
  if (block == nullptr) return;
  if (length == block_size_) {
    recycler_.push_back(block);
  } else {
    delete[] block;
  }
}

void CVzDataBuff::Push(uint16_t length, uint16_t priority, uint8_t* data, uint32_t time_stamp,
                       int32_t block_length) {
  packets_.push_back({length, priority, time_stamp, data, block_length});
}

int32_t CVzDataBuff::DeliveryPackets(int32_t* carry, int32_t budget, uint32_t tick_now, bool log) {
  int32_t sent = 0;
  while (!packets_.empty()) {
    const Packet p = packets_.front();
    packets_.pop_front();
    if (p.data == nullptr) {
      // Left in place it would stop every later tick at the same record.
      VZ_LOG_ERROR("queued packet without data dropped");
      continue;
    }
    if (sender_) sender_->SendPacket(tick_now, p.data, p.length);
    Recycle(p.data, p.block_length);
    sent += p.length;
    if (log) VZ_LOG("bCon=%d dwLenSent=%d dwLenExtSend=%d dwTickNow=%d", 1, sent, budget, tick_now);
    if (p.length > budget) {
      if (carry) *carry = p.length - budget;
      return sent;
    }
    budget -= p.length;
  }
  if (log) VZ_LOG("dwLenSent=%d", sent);
  if (carry) *carry = 0;
  return sent;
}

void CVzDataBuff::DropLowestPriority() {
  int32_t top = 0;
  if (!GetMaxPriority(&top)) return;
  if (top == 0 && static_cast<int64_t>(packets_.size()) < 5LL * max_buff_size_) return;
  auto keep = std::stable_partition(packets_.begin(), packets_.end(),
                                    [top](const Packet& p) { return p.priority != top; });
  for (auto it = keep; it != packets_.end(); ++it) Recycle(it->data, it->block_length);
  packets_.erase(keep, packets_.end());
}

bool CVzDataBuff::GetMaxPriority(int32_t* priority) const {
  if (packets_.empty()) return false;
  uint16_t top = 0;
  for (const Packet& p : packets_) top = std::max(top, p.priority);
  if (priority) *priority = top;
  return true;
}

void CVzDataBuff::Clear() {
  for (const Packet& p : packets_) Recycle(p.data, p.block_length);
  packets_.clear();
}

#pragma once
// The paced sender's packet queue: packets wait here until the send
// controller's tick hands them to its sender within a byte budget. Data
// blocks of the block size are recycled. No lock of its own: the send
// controller serialises every call.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Where DeliveryPackets hands each packet.
class IVzPacketSender {
 public:
  virtual void SendPacket(uint32_t tick_now, const uint8_t* data, int32_t length) = 0;

 protected:
  virtual ~IVzPacketSender() = default;
};

class CVzDataBuff {
 public:
  static constexpr int32_t kDefaultMaxBuffSize = 200;  // packets

  // The send controller's queue is (sender, 1,536, 800).
  CVzDataBuff(IVzPacketSender* sender, int32_t block_size, int32_t preallocated);
  ~CVzDataBuff();  // frees every block, queued or recycled
  CVzDataBuff(const CVzDataBuff&) = delete;
  CVzDataBuff& operator=(const CVzDataBuff&) = delete;

  // A data block for `length` bytes: a recycled one when the length is the
  // block size and one is free, else a new one; null without memory.
  uint8_t* GetBlock(int32_t length);
  // Blocks of the block size go back to the recycler, others are freed.
  void Recycle(uint8_t* block, int32_t length);
  // Queues a packet of `length` bytes; the queue owns `data`, a block that
  // GetBlock(block_length) gave, and recycles it by that length.
  void Push(uint16_t length, uint16_t priority, uint8_t* data, uint32_t time_stamp, int32_t block_length);

  // Hands queued packets to the sender in order while the budget lasts; the
  // packet that overruns it goes too, and *carry receives by how much it
  // overran (0 when the queue ran empty). Returns the bytes handed over. A
  // record without data is dropped with a log line and the walk goes on.
  int32_t DeliveryPackets(int32_t* carry, int32_t budget, uint32_t tick_now, bool log);

  // Removes every packet of the largest priority value when it is above 0;
  // when all are 0, removes all only once 5 x the maximum size is queued.
  void DropLowestPriority();
  // The largest priority queued; false when the queue is empty.
  bool GetMaxPriority(int32_t* priority) const;
  void Clear();
  void UpdateMaxBuffSize(int32_t packets) { max_buff_size_ = packets; }
  int32_t max_buff_size() const { return max_buff_size_; }
  size_t size() const { return packets_.size(); }
  size_t recycled() const { return recycler_.size(); }

 private:
  struct Packet {
    uint16_t length;
    uint16_t priority;
    uint32_t time_stamp;
    uint8_t* data;
    int32_t block_length;
  };

  IVzPacketSender* const sender_;
  const int32_t block_size_;
  std::deque<Packet> packets_;
  std::vector<uint8_t*> recycler_;
  int32_t max_buff_size_ = kDefaultMaxBuffSize;
};

// The channel's writes from the owner's thread and its reuse of written
// frames' memory, over a socket pair.
#include "weblink/pipe/pipe_stream_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"

namespace {

class NoFrames : public PipeStreamChannel::Delegate {
 public:
  void OnFrame(const PipeFrameView&) override {}
};

// Reads from `peer` until `size` bytes came or 20 s passed.
std::string ReadBytes(vz::LocalSocket& peer, size_t size) {
  std::string bytes;
  const uint64_t deadline = vz::MonotonicMs() + 20000;
  char chunk[65536];
  while (bytes.size() < size && vz::MonotonicMs() < deadline) {
    const vz::IoResult result = peer.Read(chunk, std::min(sizeof chunk, size - bytes.size()));
    if (result.status == vz::IoStatus::kOk) {
      bytes.append(chunk, result.bytes);
      continue;
    }
    if (result.status != vz::IoStatus::kWouldBlock) break;
    vz::PollItem item;
    item.fd = peer.Fd();
    item.wanted = vz::kPollReadable;
    vz::PollDescriptors(&item, 1, 100);
  }
  return bytes;
}

std::string Frame(char fill, size_t payload) { return BuildPipeFrame(PIPE_KIND_JSON_TEXT, std::string(payload, fill)); }

TEST(PipeStreamChannelTest, WritesAtOnceWhenNothingWaitsQueuesTheRestAndKeepsTheOrder) {
  CriticalSectionLock lock;
  PipeStreamChannel channel(lock);
  int error = 0;
  ASSERT_TRUE(channel.CreateWaker(&error));
  vz::LocalSocket peer;
  ASSERT_TRUE(vz::CreateLocalSocketPair(&channel.Socket(), &peer));
  ASSERT_TRUE(channel.Socket().SetSendBufferSize(4096));

  // Nothing queued and room in the socket: written from this thread.
  const std::string a = Frame('a', 100);
  EXPECT_EQ(channel.WriteOrQueue(a), a.size());
  EXPECT_EQ(ReadBytes(peer, a.size()), a);

  // Larger than the socket takes: the rest waits for the I/O thread, and a
  // frame after it must not overtake it.
  const std::string b = Frame('b', 512 * 1024);
  const size_t at_once = channel.WriteOrQueue(b);
  EXPECT_LT(at_once, b.size());
  const std::string c = Frame('c', 300);
  EXPECT_EQ(channel.WriteOrQueue(c), 0u);

  std::atomic<bool> stop{false};
  NoFrames delegate;
  std::thread io([&] { channel.Run(stop, delegate); });
  const std::string got = ReadBytes(peer, b.size() + c.size());
  stop = true;
  channel.Waker()->Signal();
  io.join();
  EXPECT_TRUE(got == b + c) << "bytes out of order or lost: " << got.size() << " of " << b.size() + c.size();

  // The written frames' memory comes back for the next frame.
  const std::string spare = channel.TakeSpare();
  EXPECT_TRUE(spare.empty());
  EXPECT_GE(spare.capacity(), c.size());
}

TEST(PipeStreamChannelTest, FramesLargerThanOneReadArriveWholeAndInTurn) {
  CriticalSectionLock lock;
  PipeStreamChannel channel(lock);
  int error = 0;
  ASSERT_TRUE(channel.CreateWaker(&error));
  vz::LocalSocket peer;
  ASSERT_TRUE(vz::CreateLocalSocketPair(&channel.Socket(), &peer));
  class Count : public PipeStreamChannel::Delegate {
   public:
    void OnFrame(const PipeFrameView& frame) override {
      if (frame.payload.size() == 300 * 1024 && frame.payload.find_first_not_of('z') == std::string_view::npos)
        whole.fetch_add(1);
    }
    std::atomic<int> whole{0};
  } delegate;
  std::atomic<bool> stop{false};
  std::thread io([&] { channel.Run(stop, delegate); });
  // Two frames of many reads each, back to back.
  const std::string two = Frame('z', 300 * 1024) + Frame('z', 300 * 1024);
  std::string_view rest(two);
  const uint64_t deadline = vz::MonotonicMs() + 20000;
  while ((!rest.empty() || delegate.whole.load() < 2) && vz::MonotonicMs() < deadline) {
    if (rest.empty()) {
      std::this_thread::yield();
      continue;
    }
    const vz::IoResult result = peer.Write(rest.data(), rest.size());
    if (result.status == vz::IoStatus::kOk) rest.remove_prefix(result.bytes);
    vz::PollItem item;
    item.fd = peer.Fd();
    item.wanted = vz::kPollWritable;
    if (result.status == vz::IoStatus::kWouldBlock) vz::PollDescriptors(&item, 1, 100);
  }
  stop = true;
  channel.Waker()->Signal();
  io.join();
  EXPECT_EQ(delegate.whole.load(), 2);
}

}  // namespace

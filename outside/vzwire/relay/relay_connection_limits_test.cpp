// What one connection can tie up of the relay beyond what it counts,
// through a vzrelay process over its real socket: a frame that arrives
// slower than the floor rate, and the kernel's send queue of a member that
// never reads.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/relay_process_testlib.h"

namespace {

using vzrelay::Frame;
using vzrelay::FrameKind;
using namespace vzrelay_test;  // the raw member, the relay process and the messages they send

// The floor rate alone closes a frame that arrives too slowly: the silence
// deadline is far off here (600 s), so only the floor rate can close a 4 MiB
// frame trickled at 128 KiB a second, when its allowance (a second, and a
// second a MiB) ends. A frame of the same size at 4 MiB a second passes.
TEST(RelayConnectionLimitsTest, AFrameSlowerThanTheFloorRateIsClosedLongBeforeTheSilenceDeadline) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  RawMember alice, bob, trickler;
  ASSERT_TRUE(alice.Join(relay.Port(), PlainJoin("alice", kVideo, "v-1")));
  ASSERT_TRUE(bob.Join(relay.Port(), PlainJoin("bob", kVideo, "v-1")));
  ASSERT_TRUE(trickler.Join(relay.Port(), PlainJoin("trickler", kVideo, "v-1")));
  constexpr size_t kFrameBytes = 4u << 20, kChunk = 32u << 10;
  const std::vector<uint8_t> frame = vzrelay::MakeFrame(FrameKind::kDataBinary,
                                                        std::vector<uint8_t>(kFrameBytes, 0x42).data(), kFrameBytes);

  // bob's at 4 MiB a second: 256 KiB every 60 ms.
  const uint64_t bob_began = vz::MonotonicMs();
  for (size_t done = 0; done < frame.size(); done += 8 * kChunk) {
    const size_t end = std::min(frame.size(), done + 8 * kChunk);
    ASSERT_TRUE(bob.client.WriteAll(std::vector<uint8_t>(frame.begin() + done, frame.begin() + end)));
    vz::SleepMs(60);
  }
  Frame passed;
  ASSERT_TRUE(alice.NextOfKind(FrameKind::kDataBinary, &passed)) << "a frame above the floor rate was refused";
  EXPECT_EQ(passed.payload.size(), kFrameBytes);
  const uint64_t bob_took = vz::MonotonicMs() - bob_began;

  // The trickler's at 128 KiB a second: 32 KiB every 250 ms, until it is
  // closed (it would take 32 s to finish).
  const uint64_t began = vz::MonotonicMs();
  bool closed = false;
  for (size_t done = 0; !closed && done < frame.size() && vz::MonotonicMs() < began + 60000; done += kChunk) {
    const size_t end = std::min(frame.size(), done + kChunk);
    trickler.client.WriteFor(std::vector<uint8_t>(frame.begin() + done, frame.begin() + end), 100);
    Frame unused;
    const uint64_t next = vz::MonotonicMs() + 250;
    while (!closed && vz::MonotonicMs() < next) trickler.client.Next(&unused, &closed, 50);
  }
  const uint64_t took = vz::MonotonicMs() - began;
  std::printf("a 4 MiB frame at 128 KiB a second beside a silence deadline of 600 s: %s after %llu ms; one at 4 MiB a "
              "second passed in %llu ms\n",
              closed ? "closed" : "still open", static_cast<unsigned long long>(took),
              static_cast<unsigned long long>(bob_took));
  EXPECT_TRUE(closed) << "only the silence deadline would close a frame slower than the floor rate";
  EXPECT_GE(took, 5000u) << "closed before its allowance of 1 s and 1 s a MiB";
  ASSERT_TRUE(alice.Synced());
  ASSERT_TRUE(bob.Synced());
  EXPECT_TRUE(relay.Stop());
}

// The local port of a connected socket.
uint16_t LocalPort(vz::LocalSocket& socket) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (::getsockname(socket.Fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

// The bytes the kernel keeps in the send queue of the loopback TCP socket
// from port `local` to port `remote` (/proc/net/tcp); 0 when there is none.
size_t KernelSendQueue(uint16_t local, uint16_t remote) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the heading
  while (std::getline(table, line)) {
    unsigned slot = 0, local_ip = 0, local_port = 0, remote_ip = 0, remote_port = 0, state = 0;
    unsigned long send_queue = 0, receive_queue = 0;
    if (std::sscanf(line.c_str(), " %u: %x:%x %x:%x %x %lx:%lx", &slot, &local_ip, &local_port, &remote_ip,
                    &remote_port, &state, &send_queue, &receive_queue) == 8 &&
        local_port == local && remote_port == remote) {
      return send_queue;
    }
  }
  return 0;
}

// A member that never reads: what the kernel keeps queued for it on the
// relay's side (its connection's send queue, which the relay's backlog
// limit does not count) was up to 4 MiB; it is bounded by the small send
// buffer the relay gives each member's connection.
TEST(RelayConnectionLimitsTest, AMemberThatNeverReadsTiesUpLittleOfTheRelaysKernelSendQueue) {
  RelayProcess relay;
  ASSERT_TRUE(relay.Start({}));
  RawMember alice, idle;
  ASSERT_TRUE(alice.Join(relay.Port(), PlainJoin("alice", kVideo, "v-1")));
  ASSERT_TRUE(idle.Join(relay.Port(), PlainJoin("idle", kVideo, "v-1")));
  const uint16_t idle_port = LocalPort(idle.client.Socket());
  ASSERT_NE(idle_port, 0);
  for (int i = 0; i < 256; ++i) {  // 16 MiB, well below the backlog limit
    ASSERT_TRUE(alice.client.Send(FrameKind::kDataBinary, std::vector<uint8_t>(64u << 10, 'd'))) << "frame " << i;
  }
  ASSERT_TRUE(alice.Synced());
  // The relay writes what the kernel takes: the queue grows, then stays.
  size_t largest = 0, last = 0;
  uint64_t steady_since = vz::MonotonicMs();
  const uint64_t deadline = steady_since + 30000;
  while (vz::MonotonicMs() < steady_since + 1000 && vz::MonotonicMs() < deadline) {
    const size_t queued = KernelSendQueue(relay.Port(), idle_port);
    if (queued != last) steady_since = vz::MonotonicMs();
    last = queued;
    largest = std::max(largest, queued);
    vz::SleepMs(20);
  }
  std::printf("kernel send queue of the relay's connection to a member that never reads, 16 MiB sent: %zu KiB\n",
              largest >> 10);
  EXPECT_GT(largest, 0u) << "no queue found for port " << idle_port;
  EXPECT_LE(largest, 1u << 20);
  ASSERT_TRUE(alice.Synced());
  EXPECT_TRUE(relay.Stop());
}

}  // namespace

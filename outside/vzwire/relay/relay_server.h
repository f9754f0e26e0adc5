#pragma once
// vzrelay's server: one thread that accepts transports on a loopback TCP
// port, cuts their frames, answers pings and hands everything else to the
// meeting hub, and writes each member's queue as fast as the member reads.
// A member whose queue passes the backlog limit is dropped (logged); the
// others go on. A sharing presenter is not read while an attendee has too
// much queued (SenderHold: back-pressure, nothing dropped, within holding
// times); any other member is not read while a member that takes what it
// is sent has too much of its frames queued (StreamSenders: the member
// whose frames the others cannot take is held, not the others dropped).
// Media never count toward either. A payload relayed to many members is
// queued once for all.
//
// A connection must join within the join deadline, sending little before
// it, and a joined member that sends no whole frame (not even its pings)
// for the silence deadline is closed; a frame that arrives slower than a
// floor rate closes its connection, and frames in progress are bounded per
// meeting and in all. No meeting can take the connections of the others:
// joined connections count per meeting (a join past the meeting's cap is
// refused), unjoined ones have a share of their own, and connections
// beyond the total are closed at once. What waits to be read is read
// before newcomers are accepted, and each newcomer as it comes: past the
// unjoined share, the oldest connection that has sent nothing closes. A
// member that falls behind (SenderHold) is reported to the hub, and again
// when it caught up. Media can be degraded on purpose (FaultOptions); a cut
// counts from the join of the member it is for (any member's, without a
// cut roster).
//
// Threads: Run blocks the calling thread until Stop (from any thread or a
// signal handler through the waker).
#include <cstdint>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/media_faults.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/sender_hold.h"
#include "platform/local_socket_poll.h"
#include "platform/loopback_tcp.h"

namespace vzrelay {

struct RelayOptions {
  uint16_t port = 0;  // 0: a free port
  HubOptions hub;
  FaultOptions faults;
  // A member with more than this queued is dropped; at least the largest
  // frame (kMaxDataPayload and its header).
  size_t backlog_limit = 32u << 20;
  // When a paced sender (a sharing presenter) is not read.
  HoldOptions hold;
  // The kernel's send buffer of each member's connection (SO_SNDBUF): what
  // the kernel keeps of what was written to a member that does not read,
  // which the backlog limit does not count (the kernel's own grows to 4 MiB).
  int member_send_buffer = 256 << 10;
  uint64_t fault_seed = 1;
  // Joined connections of one meeting (join request's meeting id); a join
  // beyond them is refused (kRefusedMeetingFull).
  size_t max_connections = 256;
  // Unjoined connections at a time (0: a quarter of max_connections); a
  // newcomer beyond them closes the oldest.
  size_t max_unjoined = 0;
  // Connections in all (0: four times max_connections); beyond them a
  // newcomer is closed at once (logged).
  size_t max_total_connections = 0;
  // A connection that has not joined this long after it came is closed.
  uint32_t join_deadline_ms = 10000;
  // A joined member from which nothing came this long is closed (the
  // transport pings every second and gives up on a server silent for 5 s).
  uint32_t silence_deadline_ms = 5000;
  // Bytes taken from a connection before its join: a join and little more.
  size_t unjoined_buffer_limit = 64u << 10;
  // Frames in progress (the room a connection's reader holds for a frame
  // not yet whole, and keeps a second after a large one for the next)
  // beyond the first kFreePartial bytes of each connection, in one meeting
  // and in all: a read that would pass them takes back kept room first,
  // then closes the connection whose frame in progress is the oldest (an
  // honest frame is whole within moments; one that lingers is a member
  // pinning memory).
  size_t max_partial_per_meeting = 64u << 20;
  size_t max_partial_total = 256u << 20;
  // A frame in progress must be whole within frame_grace_ms and a
  // millisecond for every frame_floor_bytes_per_ms of its size (not
  // counting the time its connection is not read); else the connection is
  // closed.
  uint32_t frame_grace_ms = 1000;
  uint32_t frame_floor_bytes_per_ms = 1024;  // 1 MiB a second
};

// The bytes of a frame in progress every connection may hold whatever the
// others hold: a read's worth, so small frames always arrive.
constexpr size_t kFreePartial = 64u << 10;

class RelayServer {
 public:
  explicit RelayServer(RelayOptions options);
  ~RelayServer();
  RelayServer(const RelayServer&) = delete;
  RelayServer& operator=(const RelayServer&) = delete;

  // Binds the port. False (logged) when it cannot.
  bool Start();
  // Serves only adopted connections (the in-process loopback).
  bool StartWithoutListener();
  // Any thread: serves a connected socket as if it had been accepted.
  void Adopt(vz::LocalSocket socket);
  // Any thread: runs `task` on the serving thread and waits for it (at once
  // when called there). False when the server is not running.
  bool RunOnServerThread(const std::function<void(RelayServer&)>& task);
  // On the serving thread: cuts every connection (their transports reconnect).
  void CutConnections();
  uint16_t Port() const { return port_; }
  // Serves until Stop.
  void Run();
  // Any thread; async-signal-safe.
  void Stop();

  MeetingHub& Hub() { return hub_; }

 private:
  class Connection;
  // Accepts what waits (a batch a turn), keeping the unjoined share.
  void Accept();
  // Serves a new connection, reading its join when it is there already.
  Connection& AddConnection(vz::LocalSocket socket);
  void RunTasks();
  void ServeReads(Connection& connection);
  // After a join frame: marks the connection joined when the hub took it.
  void Joined(Connection& connection);
  void CloseLateJoiners(uint64_t now_ms);
  // Closes joined members that sent no whole frame for the silence
  // deadline, and connections whose frame in progress is late.
  void CloseSilentMembers(uint64_t now_ms);
  void ReadFrames(Connection& connection);
  // Makes room for one more chunk of the connection's frame in progress
  // within the bounds, closing the oldest frames in progress as needed.
  // False when the connection itself was the oldest, and closed.
  bool MakeRoomToRead(Connection& connection);
  // When the connection's frame in progress is late (UINT64_MAX: none).
  uint64_t FrameDeadline(const Connection& connection) const;
  // Closes a connection (the caller logs why) and forgets its frame in
  // progress.
  void CloseConnection(Connection& connection);
  // Brings the counts of frames in progress up to the connection's.
  void CountPartial(Connection& connection);
  // Whether a join into `meeting` fits its cap; else refuses it (logged).
  bool MeetingHasRoom(Connection& connection, const Frame& join);
  void CutEverything(uint64_t now_ms);
  int NextTimeoutMs(uint64_t now_ms) const;
  // Sets each connection's `held` for this turn from the members' queues.
  void DecideHolds(uint64_t now_ms);
  // Whether a sender that is not paced is held this turn, when members that
  // take what they are sent have `too_much` of its frames queued.
  bool HeldForOthers(Connection& connection, bool too_much, uint64_t now_ms);

  RelayOptions options_;
  MeetingHub hub_;
  SenderHold hold_;
  vz::LoopbackTcpListener listener_;
  vz::LocalSocketWaker waker_;
  uint16_t port_ = 0;
  std::vector<std::unique_ptr<Connection>> connections_;
  std::atomic<bool> stopping_{false};  // lock-free, so Stop stays async-signal-safe
  uint64_t cut_from_ms_ = 0;  // the join a cut counts from; 0 until then
  uint64_t refused_connections_ = 0;
  uint64_t evicted_unjoined_ = 0;
  uint64_t refused_joins_ = 0;
  uint64_t evicted_partial_ = 0;
  uint64_t sender_holds_ = 0;
  // The member whose frame the hub is handling (0: none): what the others
  // are sent meanwhile counts as its.
  MemberId handling_ = 0;
  // Bytes of frames in progress beyond kFreePartial, by meeting ("" before
  // the join) and in all.
  std::map<std::string, size_t> partial_by_meeting_;
  size_t partial_total_ = 0;
  uint64_t refuse_until_ms_ = 0;
  bool cut_done_ = false;
  uint64_t next_seed_ = 0;

  // Handed over from other threads, taken by the serving thread.
  struct Task {
    std::function<void(RelayServer&)> run;
    bool done = false;
  };
  std::mutex handover_mutex_;
  std::condition_variable handover_done_;
  std::vector<vz::LocalSocket> adopted_;
  std::vector<Task*> tasks_;
  std::thread::id serving_thread_;
  bool running_ = false;
};

}  // namespace vzrelay

#pragma once
// The in-process meeting server of libvzwire.so, for tests of the sessions
// that use the transport. A transport joins it instead of vzrelay when the
// session record's ServerAddr is "loopback" (the port is then not used).
// It is the same server as vzrelay, run on a thread of its own inside the
// process: joins are answered with an SSRC, everything a member sends is
// relayed to the other members of its session, and the sharing and video
// servers answer as vzrelay does (so a sharing session's binary payloads
// must be sharing messages, others are dropped; a video session's commands
// must be signalling messages, and RTP reaches only the members that
// subscribed to its sender; RTP and RTCP in a sharing session, and text in
// a video session, which no member reads, are dropped). Sessions live until their last
// member leaves.
//
// Reach it through the library's export "VzWireLoopback" (or by linking
// libvzwire.so). Every call runs on the server's thread and returns when
// done; none may be made from a transport's sink callback.
#include <cstddef>
#include <cstdint>

class IVzWireLoopback {
 public:
  // The token every later join of `meet_id` must carry (raw, or for sharing
  // "VDS <meet id>:<token>"). Without one, a session's first member sets it.
  virtual void SetMeetingToken(const char* meet_id, const char* token) = 0;
  // The calls below name a session by its type and id: each meeting has
  // sessions of its own, and they act on the sessions of that type and id
  // of every meeting (a test's members are of one meeting).
  // Members joined to the session now (0 when there is no such session).
  virtual int32_t MemberCount(uint8_t session_type, const char* session_id) = 0;
  // Drops every transport's connection: each reports OnSessionReconnecting,
  // connects again and confirms its join anew.
  virtual void CutConnections() = 0;
  // Ends the session: each member gets OnLeaveSessionConfirm(2, reason).
  virtual void EndSession(uint8_t session_type, const char* session_id, uint32_t reason) = 0;
  // Delivers a binary payload to every member of the session, as the
  // server (OnReceiveDataBinary).
  virtual void SendToSession(uint8_t session_type, const char* session_id, const uint8_t* data,
                             uint32_t size) = 0;
  // Ends every session and forgets the tokens.
  virtual void Reset() = 0;

 protected:
  ~IVzWireLoopback() = default;
};

extern "C" IVzWireLoopback* VzWireLoopback();

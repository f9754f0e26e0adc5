#pragma once
// What the video session tells its owner (the conference client): the
// transport's join, leave and reconnection, received RTP and RTCP, and the
// video server's signalling, already parsed.
//
// Threads: every call comes on a transport thread, never on the thread that
// called the session, and never while the session holds a lock (it holds
// none). OnSessionLeave also comes synchronously from LeaveSession and from
// the session's destructor (see IVZVideoSession), so it must be safe to
// receive more than once and after the engine is gone.
#include <cstdint>
#include <string>

#include "contracts/av_roster_change.h"

// A participant as the video server last described it (one entry of an
// AV_ROSTER_CHANGE). The size type the server may add is not kept.
struct ServerRoster {
  std::string rosterId;
  uint32_t status = 0;     // "sourceStatus": 1 sends video
  uint32_t spotlight = 0;
  uint32_t active = 0;
  uint32_t ssrc = 0;       // 0: the server did not say
};

class IVZVideoSessionSink {
 public:
  // 0: bResult 1 and the SSRC the server assigned to me (again after a
  // reconnection, usually the same value).
  virtual void OnSessionJoin(int32_t bResult, uint32_t ssrc) = 0;
  // 1: the session ended: code 0 for my own leave, else the transport's
  // reason and its argument (to be reported as error code and code type).
  virtual void OnSessionLeave(int32_t code, int32_t codetype) = 0;
  // 2: the connection was lost; OnSessionJoin follows when it is back.
  virtual void OnReconnecting() = 0;
  // 3, 4: one RTP or RTCP packet, valid during the call only. Never empty.
  virtual void OnReceiveRtpData(const uint8_t* data, uint32_t len) = 0;
  virtual void OnReceiveRtcpData(const uint8_t* data, uint32_t len) = 0;
  // 5: kServerRoster* and `count` (> 0) entries, valid during the call only.
  virtual void OnRosterChanged(uint32_t rosterType, const ServerRoster* rosters, uint32_t count) = 0;
  // 6, 7: the participant started or stopped sending video.
  virtual void OnStartBroadcastNotify(const std::string& rosterId) = 0;
  virtual void OnStopBroadcastNotify(const std::string& rosterId) = 0;
  // 8, 9: `rosterId` subscribed to (unsubscribed from) my video at a size
  // type (0, 1, 2; other values as sent; never 0xFFFFFFFF for a subscribe).
  virtual void OnVideoSubscribedNotify(const std::string& rosterId, int32_t sizeType) = 0;
  virtual void OnVideoUnsubscribedNotify(const std::string& rosterId, int32_t sizeType) = 0;
  // 10, 11: the spotlight is on `rosterId` / is cleared.
  virtual void OnSetSpotlightNotify(const std::string& rosterId) = 0;
  virtual void OnUnsetSpotlightNotify() = 0;
  // 12.
  virtual void OnActiveSpeakerNotify(const std::string& rosterId) = 0;

 protected:
  ~IVZVideoSessionSink() = default;
};

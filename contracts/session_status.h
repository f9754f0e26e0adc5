#pragma once
// The status of a session (sharing, audio and video alike), as each engine
// reports it to the meeting controller and the controller reports it on to
// the web page. One set of values for every side: the web page reads them as
// they are.
#include <cstdint>

enum SessionStatus : int32_t {
  kSessionIdle = 0,
  kSessionConnecting = 1,  // connecting or reconnecting
  kSessionJoined = 2,      // joined (audio, video) or started (sharing)
  kSessionEnded = 4,       // stopped, left or failed
};

#pragma once
// The conference client's record of one participant: the meeting client's
// roster record, what the video server said of it, my subscription to its
// video and the renderers that show it. Copied whole into the messages the
// controller posts to its owner thread (the channel pointer is then only a
// value to compare, never used).
#include <cstdint>
#include <map>
#include <string>

#include "contracts/session_records.h"

class IClientListenChannel;
struct ServerRoster;

// Size types of subscriptions and layers.
inline constexpr int32_t kVideoSizeNone = -1;
inline constexpr int32_t kVideoSize160x90 = 0;
inline constexpr int32_t kVideoSize320x180 = 1;
inline constexpr int32_t kVideoSize640x360 = 2;

struct VideoRosterInfo {
  RosterRecord head{};
  uint32_t ssrc = 0;
  int32_t videoStatus = 0;  // 1: sends video
  int32_t wantedSize = kVideoSizeNone;
  // Others: I subscribe to this participant. Mine: somebody subscribes to me.
  int32_t isSubscribed = 0;
  IClientListenChannel* listenChannel = nullptr;
  std::string rosterId;
  int32_t spotlight = 0;
  int32_t active = 0;
  std::map<uintptr_t, int32_t> renderers;  // renderer handle -> size type

  // Back to a fresh record; the ssrc is kept.
  void Reset();
  // Copies the meeting client's record and takes the narrow roster id from it.
  void SetAppRoster(const RosterRecord& record);
  // Status, spotlight and active; the ssrc only when the server gave one
  // (it then goes to the listen channel too).
  void ApplyServerRoster(const ServerRoster& roster);
  // The largest size among the renderers; -1 without any.
  int32_t LargestRendererSize() const;
};

// The narrow (UTF-8) form of a record's wide roster id.
std::string NarrowRosterId(const char16_t* wide, size_t capacity);

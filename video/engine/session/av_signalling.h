#pragma once
// The video signalling messages (AvData of contracts/proto/avdef.proto) as
// the client writes and reads them: the requests it sends, serialized, and
// the dispatch of a received message to IVZVideoSessionSink by its type.
// Pure functions over bytes; the session puts them in command records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "video/engine/session/vz_video_session_sink.h"

// One entry of a subscription list: a participant and the size type wanted
// from it (-1 travels as 0xFFFFFFFF, "none").
struct VideoSubscribeEntry {
  std::string rosterId;
  int32_t wantSize = -1;
};
using VideoSubscribeList = std::vector<VideoSubscribeEntry>;

// The client version every request carries.
constexpr uint32_t kAvClientVersion = 4;
// A size type of "none" on the wire.
constexpr uint32_t kAvNoVideoType = 0xFFFFFFFFu;

// Requests, serialized (type, client_version 4, then the fields named).
std::string AvStartVideoRequest(const std::string& myRosterId, int32_t sizeType);  // 7, status 1
std::string AvStopVideoRequest(const std::string& myRosterId);                     // 9, status 0
std::string AvUpdateVideoSizeRequest(const std::string& myRosterId, int32_t sizeType);  // 26
std::string AvSubscribeVideoRequest(const std::string& myRosterId, const VideoSubscribeList& list);    // 11
std::string AvUnsubscribeVideoRequest(const std::string& myRosterId, const VideoSubscribeList& list);  // 13
std::string AvSetSpotlightRequest(const std::string& rosterId);  // 19
std::string AvUnsetSpotlightRequest();                           // 21

enum class AvDispatch {
  kDispatched,   // at least one sink call
  kNoCallback,   // a handled type whose content asked for none
  kParseError,   // not an AvData ("protobuf parse error")
  kUnsupported,  // a type the client does not handle ("not support type=%d")
};

// Parses one message and calls the sink for it, on the calling thread.
// Every failure is logged. A message over 64 MiB is refused unparsed.
AvDispatch DispatchAvMessage(const uint8_t* data, size_t size, IVZVideoSessionSink* sink);

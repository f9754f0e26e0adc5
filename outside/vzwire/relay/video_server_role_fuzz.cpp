// Fuzz target: the video server role over what members send it. Three
// members join one video session; the input is cut into frames, each
// (one byte of sender and kind, two of length, the payload) handed to the
// hub as that member's command, RTCP or RTP record.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "platform/big_endian.h"

namespace {

// Reads every frame it is given, so a bad length shows under the sanitizers.
class TouchingLink : public vzrelay::IMemberLink {
 public:
  bool Deliver(vzrelay::FrameKind, const uint8_t* payload, size_t size) override {
    for (size_t i = 0; i < size; ++i) sum += payload[i];
    return true;
  }
  size_t Backlog() const override { return 0; }
  void Close(const char*) override {}
  unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    vz::BindTracerForTest(nullptr);  // no log writer: nothing is written anywhere
    return true;
  }();
  (void)quiet;
  vzrelay::MeetingHub hub(vzrelay::HubOptions{});
  vzrelay::InstallRelayRoles(hub);
  TouchingLink links[3];
  vzrelay::MemberId ids[3];
  for (int i = 0; i < 3; ++i) {
    ids[i] = hub.Connect(&links[i]);
    vzrelay::JoinRequest join;
    join.session_type = kTransportSessionVideo;
    join.session_id = "fuzz";
    join.token = "t";
    join.roster_id = std::string(1, static_cast<char>('a' + i));
    hub.OnFrame(ids[i], {vzrelay::FrameKind::kJoin, vzrelay::EncodeJoinRequest(join)});
  }
  static const vzrelay::FrameKind kinds[] = {vzrelay::FrameKind::kCommand, vzrelay::FrameKind::kRtcp,
                                              vzrelay::FrameKind::kRtp, vzrelay::FrameKind::kLeave};
  size_t at = 0;
  while (at + 3 <= size) {
    const uint8_t head = data[at];
    const size_t length = std::min<size_t>(vz::Load16(data + at + 1), size - at - 3);
    vzrelay::Frame frame;
    frame.kind = kinds[(head >> 2) % 4];
    if (frame.kind != vzrelay::FrameKind::kLeave) frame.payload.assign(data + at + 3, data + at + 3 + length);
    hub.OnFrame(ids[head % 3], frame);
    at += 3 + (frame.kind == vzrelay::FrameKind::kLeave ? 0 : length);
  }
  for (int i = 0; i < 3; ++i) hub.Disconnect(ids[i]);
  return 0;
}

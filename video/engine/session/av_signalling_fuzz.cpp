// Received signalling: any bytes a transport hands the video session's
// command, RTP and RTCP paths. The first byte picks the path; the rest is
// the stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/trace_client_test_hooks.h"
#include "video/engine/session/fake_video_transport_testlib.h"
#include "video/engine/session/vz_video_session.h"

namespace {

// A sink that reads everything it is handed, so a bad pointer or length
// shows under the sanitizers.
class TouchingSink : public IVZVideoSessionSink {
 public:
  void OnSessionJoin(int32_t, uint32_t) override {}
  void OnSessionLeave(int32_t, int32_t) override {}
  void OnReconnecting() override {}
  void OnReceiveRtpData(const uint8_t* data, uint32_t len) override { Touch(data, len); }
  void OnReceiveRtcpData(const uint8_t* data, uint32_t len) override { Touch(data, len); }
  void OnRosterChanged(uint32_t, const ServerRoster* rosters, uint32_t count) override {
    for (uint32_t i = 0; i < count; ++i) Touch(rosters[i].rosterId);
  }
  void OnStartBroadcastNotify(const std::string& id) override { Touch(id); }
  void OnStopBroadcastNotify(const std::string& id) override { Touch(id); }
  void OnVideoSubscribedNotify(const std::string& id, int32_t) override { Touch(id); }
  void OnVideoUnsubscribedNotify(const std::string& id, int32_t) override { Touch(id); }
  void OnSetSpotlightNotify(const std::string& id) override { Touch(id); }
  void OnUnsetSpotlightNotify() override {}
  void OnActiveSpeakerNotify(const std::string& id) override { Touch(id); }
  unsigned sum = 0;

 private:
  void Touch(const uint8_t* data, uint32_t len) {
    for (uint32_t i = 0; i < len; ++i) sum += data[i];
  }
  void Touch(const std::string& text) { Touch(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size())); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static video_session_test::FakeVideoTransport transport;
  static TouchingSink sink;
  static CVZVideoSession* session = [] {
    vz::BindTracerForTest(nullptr);  // no log writer: nothing is written anywhere
    video_session_test::FakeVideoTransport::Next() = &transport;
    return new CVZVideoSession(&sink, video_session_test::FakeVideoTransport::Loader());
  }();
  const std::string stream(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: transport.ReceiveCommandStream(stream); break;
    case 1: transport.ReceiveRtpStream(stream); break;
    default: transport.ReceiveRtcpStream(stream); break;
  }
  (void)session;
  return 0;
}

// Received RTP through the conference client to the sender's listen channel
// (a counting stand-in) with 2, 25 and 100 participants, beside the floor:
// the same SSRC found in a std::map under a std::mutex.
#include <benchmark/benchmark.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/run_loop.h"
#include "video/engine/client/fake_video_conference_testlib.h"
#include "video/engine/client/video_client_controller.h"
#include "platform/big_endian.h"

namespace {

class NoSink : public IVideoClientSink {
 public:
  void OnJoinVideoConference(int32_t) override {}
  void OnLeftVideoConference(int32_t, int32_t) override {}
  void OnVideoConfReconnecting() override {}
  void OnUserStateUpdated(const std::string&) override {}
  void OnUserEnter(const std::string&, int32_t) override {}
  void OnUserLeft(const std::string&) override {}
  void OnActiveSpeaker(const std::string&) override {}
  void OnSetSpotlightRoster(const std::string&) override {}
  void OnVCNetworkIndication(int32_t) override {}
  void OnVCStatusNotification(int32_t) override {}
  void OnVCErrorNotification(int32_t, int32_t) override {}
  void OnVCSendingProcess(int32_t) override {}
  void OnVCConnectCamera(IVideoCapDevice*, int32_t) override {}
  void OnVCMyStatusChanged(int32_t) override {}
  void GetChiefSender() override {}
  void OnRenderBlocked(const std::string&, int32_t) override {}
  void OnVideoSizeChanged(const std::string&, int32_t, int32_t) override {}
};

void BM_ClientReceiveDispatch(benchmark::State& state) {
  const int users = static_cast<int>(state.range(0));
  ScopedFakeConference fakes;
  NoSink sink;
  CVideoClientController client(&sink);
  AVSessionConfig join = MakeJoin("me");
  client.JoinVideoConference(&join, nullptr);
  client.OnSessionJoin(1, 1);  // on the owner thread: at once
  std::vector<std::vector<uint8_t>> packets;
  for (int i = 0; i < users; ++i) {
    const std::string id = "user" + std::to_string(i);
    RosterRecord record = MakeRoster(id.c_str());
    client.AppRosterEnter(&record, 0);
    ServerRoster roster{id, 1, 0, 0, static_cast<uint32_t>(1000 + i)};
    client.OnServerRosterEnter(roster);
    client.RequestSourceVideo(id, 1, 0);
    packets.push_back(MakeRtp(static_cast<uint32_t>(1000 + i), 1200));
  }
  size_t next = 0;
  for (auto _ : state) {
    const auto& p = packets[next];
    client.OnReceiveRtpData(p.data(), static_cast<uint32_t>(p.size()));
    next = next + 1 == packets.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ClientReceiveDispatch)->Arg(2)->Arg(25)->Arg(100);

// The floor: the SSRC read and looked up in an ordered map under a mutex,
// the packet handed to the same stand-in channel.
void BM_MapDispatchFloor(benchmark::State& state) {
  const int users = static_cast<int>(state.range(0));
  std::mutex lock;
  std::map<uint32_t, FakeListenChannel*> channels;
  std::vector<std::unique_ptr<FakeListenChannel>> owned;
  std::vector<std::vector<uint8_t>> packets;
  for (int i = 0; i < users; ++i) {
    owned.push_back(std::make_unique<FakeListenChannel>(1000 + i));
    channels[static_cast<uint32_t>(1000 + i)] = owned.back().get();
    packets.push_back(MakeRtp(static_cast<uint32_t>(1000 + i), 1200));
  }
  size_t next = 0;
  for (auto _ : state) {
    const auto& p = packets[next];
    const uint32_t ssrc = vz::Load32(p.data() + 8);
    std::lock_guard<std::mutex> hold(lock);
    auto found = channels.find(ssrc);
    if (found != channels.end()) found->second->InputPacket(p.data(), static_cast<int32_t>(p.size()), 0, 0);
    next = next + 1 == packets.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapDispatchFloor)->Arg(2)->Arg(25)->Arg(100);

}  // namespace

BENCHMARK_MAIN();

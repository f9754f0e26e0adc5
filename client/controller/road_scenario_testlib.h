#pragma once
// The fixture of the controller's road scenarios: the program's controller
// on the fake engine libraries and the fake web link (all in one journal),
// a proxy module with a list of the test's, a main frame that journals what
// it hears ("frame ..."), and the UI thread's run loop on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "client/controller/app_win_components_controller.h"
#include "client/controller/fake_engines_testlib.h"
#include "client/controller/fake_module_loader_testlib.h"
#include "common/string_helpers.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace vz {

// Hands out its entries in order, then null for ever (as the proxy module).
class ListedProxies : public IProxyProvider {
 public:
  void Add(const char16_t* host, int32_t port) {
    NetworkProxyEntry& entry = table_.Entries[table_.Count++];
    std::memcpy(entry.Host, host, (std::char_traits<char16_t>::length(host) + 1) * sizeof(char16_t));
    entry.Port = port;
    entry.HttpProxy = 1;
  }
  const NetworkProxyEntry* VZGetNetworkProxy() override {
    return next_ < table_.Count ? &table_.Entries[next_++] : nullptr;
  }
  const NetworkProxyTable* GetNetworkProxyTable() const override { return &table_; }
  bool LoadProxyCredentials(NetworkProxyEntry*) override { return false; }
  void SaveProxyCredentials(const NetworkProxyEntry*) override {}

 private:
  NetworkProxyTable table_{};
  int32_t next_ = 0;
};

class JournalingFrame : public AppWinComponentsControllerDelegate {
 public:
  explicit JournalingFrame(FakeEngineHub& hub) : hub_(hub) {}
  void OnAppUpdateListenerStatus(int32_t status, int32_t code) override { Add("listener", status, code); }
  void OnAppUpdateDSSessionStatus(int32_t status) override { Add("ds", status); }
  void OnAppUpdateDSSessionError(int32_t error, int32_t code_type) override { Add("ds error", error, code_type); }
  void OnAppUpdateACSessionStatus(int32_t status, int32_t muted) override { Add("ac", status, muted); }
  void OnAppUpdateACSessionError(int32_t error, int32_t code_type) override { Add("ac error", error, code_type); }
  void OnAppUpdateAVSessionStatus(int32_t status, int32_t broadcasted) override { Add("av", status, broadcasted); }
  void OnAppUpdateAVSessionError(int32_t error, int32_t code_type) override { Add("av error", error, code_type); }
  void OnAppRequestStopSharing() override { hub_.Add("frame stop sharing"); }
  void OnAppRequestLeaveAudio() override { hub_.Add("frame leave audio"); }

 private:
  void Add(const char* what, int32_t a) { hub_.Add("frame " + std::string(what) + "(" + std::to_string(a) + ")"); }
  void Add(const char* what, int32_t a, int32_t b) {
    hub_.Add("frame " + std::string(what) + "(" + std::to_string(a) + "," + std::to_string(b) + ")");
  }
  FakeEngineHub& hub_;
};

// The program's controller, journaling the roster notices too ("roster
// joined R1", "roster left R1", "roster updated R1").
class JournalingController : public CAppWinComponentsController {
 public:
  JournalingController(const ControllerPorts& ports, FakeEngineHub& hub)
      : CAppWinComponentsController(ports), hub_(hub) {}
  void NotifyRosterStatusChanged(int32_t kind, RosterRecord* roster) override {
    static const char* const kKinds[] = {"?", "joined", "left", "updated"};
    hub_.Add(std::string("roster ") + kKinds[kind >= 1 && kind <= 3 ? kind : 0] + " " + WideToNarrow(roster->RosterId) +
             " audio " + std::to_string(roster->AudioStatus));
    CAppWinComponentsController::NotifyRosterStatusChanged(kind, roster);
  }

 private:
  FakeEngineHub& hub_;
};

class RoadScenario : public ::testing::Test {
 protected:
  RoadScenario() : loop_(clock_), factory_(loader_), frame_(hub_) {
    hub_.AddAllLibraries(loader_);
    ControllerPorts ports;
    ports.engines = &factory_;
    ports.proxies = &proxies_;
    controller_ = std::make_unique<JournalingController>(ports, hub_);
    controller_->SetDelegate(&frame_);
  }
  ~RoadScenario() override {
    controller_.reset();
    loop_.RunUntilIdle();
  }

  // The link listens for meeting "M1" as roster "R1", and the pipe connects
  // (the first proxy, if any, becomes the current one).
  void Connect() {
    AppPeerConfig config{};
    Copy(config.MeetId, u"M1");
    Copy(config.RosterId, u"R1");
    Copy(config.PipeName, u"pipe");
    config.ContainerWindow = 77;
    ASSERT_EQ(controller_->StartAppPeerListen(&config), 1);
    controller_->OnAppSocketListener(2, 0);
    hub_.Take();
  }
  // A participant as the web page announces it.
  static RosterRecord Roster(const std::u16string& id, int32_t audio_status = 0, int32_t invisible = 0,
                             int32_t presenter = 0) {
    RosterRecord record{};
    std::memcpy(record.RosterId, id.data(), std::min(id.size(), size_t{128}) * sizeof(char16_t));
    record.AudioStatus = audio_status;
    record.IsInvisible = invisible;
    record.IsPresenter = presenter;
    return record;
  }
  void AddRoster(const std::u16string& id, int32_t audio_status = 0, int32_t invisible = 0, int32_t presenter = 0) {
    RosterRecord record = Roster(id, audio_status, invisible, presenter);
    controller_->OnAppCmdUserJoined(&record);
  }
  template <size_t N>
  static void Copy(char16_t (&field)[N], const std::u16string& text) {
    std::memset(field, 0, sizeof(field));
    std::memcpy(field, text.data(), std::min(text.size(), N - 1) * sizeof(char16_t));
  }
  // The web page's requests of each road.
  static DSSessionConfig SharingRequest(const std::u16string& ds_id = u"DS1", int32_t presenter = 1) {
    DSSessionConfig request{};
    Copy(request.MeetId, u"M1");
    Copy(request.RosterId, u"R1");
    Copy(request.DSId, ds_id);
    Copy(request.ServerAddr, u"share.example");
    Copy(request.Token, u"secret-token");
    request.IsPresenter = presenter;
    return request;
  }
  static ACSessionConfig AudioRequest() {
    ACSessionConfig request{};
    Copy(request.MeetId, u"M1");
    Copy(request.RosterId, u"R1");
    Copy(request.ServerAddr, u"audio.example");
    Copy(request.Token, u"secret-token");
    return request;
  }
  static AVSessionConfig VideoRequest(int32_t broadcast = 1) {
    AVSessionConfig request{};
    Copy(request.MeetId, u"M1");
    Copy(request.RosterId, u"R1");
    Copy(request.ServerAddr, u"video.example");
    Copy(request.Token, u"secret-token");
    request.Broadcast = broadcast;
    return request;
  }
  // Lets the posted releases run.
  void RunPosted() { loop_.RunUntilIdle(); }

  FakeClock clock_;
  vz::RunLoop loop_;
  FakeEngineHub hub_;
  FakeModuleLoader loader_;
  EngineFactory factory_;
  ListedProxies proxies_;
  JournalingFrame frame_;
  std::unique_ptr<JournalingController> controller_;
};

using Journal = std::vector<std::string>;

}  // namespace vz

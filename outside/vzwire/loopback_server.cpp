#include "outside/vzwire/loopback_server.h"

#include <mutex>
#include <string>
#include <thread>

#include "common/trace_client.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "outside/vzwire/relay/relay_server.h"
#include "platform/clock.h"

namespace vzwire {
namespace {

class LoopbackServer : public IVzWireLoopback {
 public:
  bool Running() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (serving_) return true;
    if (server_ == nullptr) {
      auto* server = new vzrelay::RelayServer(vzrelay::RelayOptions{});
      vzrelay::InstallRelayRoles(server->Hub());
      if (!server->StartWithoutListener()) {
        delete server;
        return false;
      }
      std::thread([server] { server->Run(); }).detach();
      server_ = server;
    }
    // Wait until it serves, so the first task is not refused.
    const uint64_t deadline = vz::MonotonicMs() + 5000;
    while (!server_->RunOnServerThread([](vzrelay::RelayServer&) {})) {
      if (vz::MonotonicMs() > deadline) {
        VZ_LOG_ERROR("the in-process server did not start serving");
        return false;  // the next call waits for the same server again
      }
      std::this_thread::yield();
    }
    serving_ = true;
    return true;
  }

  bool Connect(vz::LocalSocket* socket) {
    if (!Running()) return false;
    vz::LocalSocket theirs;
    if (!vz::CreateLocalSocketPair(socket, &theirs)) {
      VZ_LOG_ERROR("no socket pair for the loopback server");
      return false;
    }
    server_->Adopt(std::move(theirs));
    return true;
  }

  void SetMeetingToken(const char* meet_id, const char* token) override {
    const std::string id = meet_id ? meet_id : "", value = token ? token : "";
    Run([&](vzrelay::RelayServer& server) { server.Hub().Options().meeting_tokens[id] = value; });
  }

  int32_t MemberCount(uint8_t session_type, const char* session_id) override {
    int32_t count = 0;
    const std::string id = session_id ? session_id : "";
    Run([&](vzrelay::RelayServer& server) {
      for (const vzrelay::Session* session : server.Hub().SessionsNamed(session_type, id)) {
        count += static_cast<int32_t>(session->members.size());
      }
    });
    return count;
  }

  void CutConnections() override {
    Run([](vzrelay::RelayServer& server) { server.CutConnections(); });
  }

  void EndSession(uint8_t session_type, const char* session_id, uint32_t reason) override {
    const std::string id = session_id ? session_id : "";
    Run([&](vzrelay::RelayServer& server) {
      for (vzrelay::Session* session : server.Hub().SessionsNamed(session_type, id)) {
        server.Hub().EndSession(*session, reason, 0);
      }
    });
  }

  void SendToSession(uint8_t session_type, const char* session_id, const uint8_t* data,
                     uint32_t size) override {
    const std::string id = session_id ? session_id : "";
    Run([&](vzrelay::RelayServer& server) {
      for (vzrelay::Session* session : server.Hub().SessionsNamed(session_type, id)) {
        server.Hub().SendToOthers(*session, nullptr, vzrelay::FrameKind::kDataBinary, data, size);
      }
    });
  }

  void Reset() override {
    Run([](vzrelay::RelayServer& server) {
      server.Hub().EndAllSessions(0, 0);
      server.Hub().Options().meeting_tokens.clear();
    });
  }

 private:
  void Run(const std::function<void(vzrelay::RelayServer&)>& task) {
    if (Running()) server_->RunOnServerThread(task);
  }

  std::mutex mutex_;
  vzrelay::RelayServer* server_ = nullptr;  // kept for the process's life
  bool serving_ = false;
};

LoopbackServer& Instance() {
  static LoopbackServer* instance = new LoopbackServer();
  return *instance;
}

}  // namespace

bool ConnectLoopbackServer(vz::LocalSocket* socket) { return Instance().Connect(socket); }

IVzWireLoopback* LoopbackServerControl() { return &Instance(); }

}  // namespace vzwire

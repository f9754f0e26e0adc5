#pragma once
// Test support: a vzrelay process on a free loopback port, started for a
// test and stopped (or killed) by it.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "contracts/member_token.h"
#include "outside/vzwire/relay/raw_frame_client_testlib.h"
#include "platform/file_system.h"
#include "platform/piped_child_testlib.h"
#include "platform/scoped_test_folder_testlib.h"

namespace vzrelay_test {

// False in the sanitized builds, whose shadow memory takes hundreds of MiB
// and whose checks slow the relay several times: figures of memory and speed
// are asked of the plain build only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kUnsanitized = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kUnsanitized = false;
#else
constexpr bool kUnsanitized = true;
#endif
#else
constexpr bool kUnsanitized = true;
#endif

class RelayProcess {
 public:
  // Starts vzrelay with `args`; port 0 takes a free one. Members played by
  // a test need not ping: unless `args` set it, the silence deadline is
  // far longer than a test at any load.
  bool Start(const std::vector<std::string>& args, uint16_t port = 0) {
    std::vector<std::string> argv = {"vzrelay", "--port", std::to_string(port)};
    if (std::find(args.begin(), args.end(), "--silence-deadline") == args.end()) {
      argv.insert(argv.end(), {"--silence-deadline", "600"});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = std::make_unique<vz::PipedChild>();
    if (!child_->Start(VZ_RELAY_BINARY, argv, {})) return false;
    std::string line;
    char c = 0;
    while (line.size() < 200 && child_->ReadExactly(&c, 1, 10000) && c != '\n') line.push_back(c);
    const std::string prefix = "vzrelay listening on 127.0.0.1:";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    port_ = static_cast<uint16_t>(std::stoi(line.substr(prefix.size())));
    return true;
  }
  uint16_t Port() const { return port_; }
  int Pid() const { return child_ ? child_->Pid() : -1; }
  void Kill() {
    if (!child_) return;
    ::kill(child_->Pid(), SIGKILL);
    int code = 0;
    child_->Wait(10000, &code);
    child_.reset();
  }
  // SIGTERM; true when it ended on its own with code 0.
  bool Stop() {
    if (!child_) return true;
    ::kill(child_->Pid(), SIGTERM);
    int code = -1;
    const bool ended = child_->Wait(10000, &code);
    child_.reset();
    return ended && code == 0;
  }
  ~RelayProcess() { Kill(); }

 private:
  std::unique_ptr<vz::PipedChild> child_;
  uint16_t port_ = 0;
};

// The meeting secret of a test's relay.
constexpr char kSecret[] = "a meeting secret of the test's own";

// A member's token under kSecret.
inline std::string Token(const std::string& roster, MemberRole role, const std::string& meeting = "meet-1") {
  return MakeMemberToken(kSecret, meeting, roster, role);
}

// vzrelay with kSecret in a file of the test's own folder (owner-only, as
// the relay asks).
struct SecretRelay {
  vz::ScopedTestFolder folder;
  RelayProcess relay;
  std::string secret_file;
  bool Start(std::vector<std::string> args = {}) {
    secret_file = folder.path() + "/secret";
    if (!vz::WriteFileAtomic(secret_file, std::string(kSecret) + "\n", 0600)) return false;
    args.insert(args.begin(), {"--secret-file", secret_file});
    return relay.Start(args);
  }
  uint16_t Port() const { return relay.Port(); }
};

// KiB of a process's memory by its /proc status field ("VmRSS", "VmHWM");
// 0 when the process or the field is not there.
inline size_t ProcessKib(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size() + 1, field + ":") == 0) return std::stoul(line.substr(field.size() + 1));
  }
  return 0;
}

}  // namespace vzrelay_test

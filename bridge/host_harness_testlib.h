#pragma once
// Test support: the real vzbridge program driven over its standard input and
// output as a browser drives it, in a sandbox of its own (runtime, data,
// config and home folders under one temporary folder, the fake client
// installed in the per-user data folder).
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scoped_test_folder_testlib.h"
#include "common/native_message_framing.h"
#include "platform/piped_child_testlib.h"

// The "type" of a message text; "" when it is not JSON or has none.
std::string MessageType(const std::string& message);

class HostSandbox {
 public:
  static constexpr const char* kFolder = "VelzarMeet";
  static constexpr const char* kName = "FakeVelzarHub";

  HostSandbox();
  const std::string& Root() const { return root_.path(); }
  // The environment entries that point the host's folders into the sandbox.
  std::vector<std::string> Environment() const;
  std::string DataFolder() const { return root_.path() + "/data/velzar"; }
  std::string ClientPath() const { return DataFolder() + "/" + kFolder + "/" + kName; }
  // Where the fake client writes the arguments it was started with.
  std::string ArgvFile() const { return root_.path() + "/argv.txt"; }
  // Copies the fake client into the data folder with a version file.
  bool InstallClient(const std::string& version) const;
  // The arguments the fake client recorded (empty while it has not started).
  std::vector<std::string> RecordedArgv() const;
  // "application_pkg" scrambled twice, for the given package and version.
  static std::string PackageText(const std::string& package, const std::string& version);
  // A start request.
  std::string StartRequest(const std::string& add_on_version, const std::string& required_version,
                           const std::string& domain = "http://127.0.0.1:9",
                           const std::string& package = "/dl/VelzarSetup.run") const;

 private:
  vz::ScopedTestFolder root_;
};

class HostHarness {
 public:
  bool Start(const std::string& program, const std::vector<std::string>& environment,
             const std::vector<std::string>& arguments = {});
  int Pid() const { return child_.Pid(); }

  // One native message.
  bool Send(std::string_view text);
  bool SendRaw(std::string_view bytes) { return child_.WriteAll(bytes, 5000); }
  void CloseInput() { child_.CloseInput(); }

  // The next message, whatever it is (false also for a header that
  // announces more than 64 MiB, or none).
  bool Read(std::string* message, int timeout_ms = 5000, bool* ended = nullptr);
  // The next message that is not a host log line; log lines read on the way
  // are kept in `logs`.
  bool ReadNonLog(std::string* message, int timeout_ms = 5000);
  // ReadNonLog for benchmarks: the message is a view into the harness's own
  // room, valid until the next read, so nothing is copied out. The room is
  // 64-byte aligned with the text 4 bytes in, where a message written whole
  // into an empty pipe has it, so that reading the output of any relay
  // costs the same (some processors copy between addresses that are
  // misaligned to each other several times slower).
  bool ReadNonLogView(std::string_view* message, int timeout_ms = 5000);
  // Reads until a message of `type`; what comes before it is kept in `logs`
  // or `skipped`.
  bool ReadUntilType(const std::string& type, std::string* message, int timeout_ms = 5000);
  // Drops messages until the output ends.
  bool WaitOutputEnd(int timeout_ms) { return child_.WaitOutputEnd(timeout_ms); }
  bool WaitExit(int timeout_ms, int* exit_code) { return child_.Wait(timeout_ms, exit_code); }

  std::vector<std::string> logs;
  std::vector<std::string> skipped;

 private:
  vz::PipedChild child_;
  NativeMessageBuffer buffer_;
  std::unique_ptr<char, void (*)(void*)> room_{nullptr, std::free};
  size_t room_size_ = 0;
};

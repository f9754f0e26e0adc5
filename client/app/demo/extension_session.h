#pragma once
// The browser extension's side of a native-messaging host: starts the host
// with its standard input and output as pipes, writes messages to it and
// reads its messages (common/native_message_framing.h).
// Every message either way is printed, as the demonstration shows them.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/native_message_framing.h"
#include "platform/piped_child_testlib.h"

class ExtensionSession {
 public:
  explicit ExtensionSession(std::FILE* out) : out_(out) {}
  // `name` stands for the extension in the transcript; without `show_logs`
  // the programs' log lines (MEET_APP_LOG) are counted, not printed.
  ExtensionSession(std::FILE* out, std::string name, bool show_logs)
      : out_(out), name_(std::move(name)), show_logs_(show_logs) {}

  // Starts the host with this environment added.
  bool Start(const std::string& host_path, const std::vector<std::string>& environment);
  int HostPid() const { return host_.Pid(); }

  bool Send(std::string_view message);
  // The next message, within the time-out; false on time-out or when the
  // host's output ended (`ended` then says so).
  bool Receive(std::string* message, int timeout_ms, bool* ended);
  bool WaitHostEnd(int timeout_ms, int* exit_code) { return host_.Wait(timeout_ms, exit_code); }
  int hidden_logs() const { return hidden_logs_; }

 private:
  std::FILE* out_;
  std::string name_ = "extension";
  bool show_logs_ = true;
  int hidden_logs_ = 0;
  vz::PipedChild host_;
  NativeMessageBuffer buffer_;
};

// The "type" of a message, "" when it has none.
std::string MessageType(const std::string& message);

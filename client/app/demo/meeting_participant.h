#pragma once
// One participant of the local meeting demonstration: the browser
// extension's side of its own vzbridge (which starts its own VelzarHub), in
// a sandbox of its own. A reader thread takes every message off the pipe as
// it comes, so neither program ever waits on a full pipe; the caller waits
// for messages of a type. Every message is printed (ExtensionSession),
// log lines only counted.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client/app/demo/extension_session.h"

class MeetingParticipant {
 public:
  // `name` names it in the transcript; `sandbox` is made (emptied first).
  MeetingParticipant(std::string name, std::string sandbox);
  // Ends both programs if they still run, and the reader.
  ~MeetingParticipant();

  bool PrepareSandbox();
  const std::string& sandbox() const { return sandbox_; }
  // Starts vzbridge with the sandbox's folders and `extra` environment.
  bool Start(const std::string& bridge, const std::vector<std::string>& extra);
  void Send(const std::string& message);
  // Waits for a message of this type; false on time-out or when the
  // programs ended first.
  bool WaitFor(const std::string& type, int timeout_ms);
  // False once vzbridge's output ended (both programs gone or going).
  bool Alive();
  // Whether a message of this type arrived at any time so far.
  bool SawForTesting(const std::string& type);
  // From now on notes when each message of `type` arrives (vz::MonotonicMs,
  // as the reader takes it off the pipe): one type at a time, for timing
  // the page's pings. Arrivals() gives the times noted so far.
  void TimeArrivals(const std::string& type);
  std::vector<uint64_t> Arrivals();
  // After the stop request: vzbridge's exit code 0 and VelzarHub gone.
  bool WaitEnd(int timeout_ms, std::string* why);
  // Ends both programs at once (a failed run).
  void Kill();

  int bridge_pid() const { return bridge_pid_; }
  int hub_pid() const { return hub_pid_; }
  // The programs' own log lines ("MEET_APP_LOG") that came up the pipe and
  // were counted rather than printed.
  int hidden_log_messages() const { return session_.hidden_logs(); }
  std::string HubLog() const;
  std::string BridgeLog() const;

 private:
  void ReadAll();

  std::string name_;
  std::string sandbox_;
  ExtensionSession session_;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<std::string> types_;     // not yet waited for
  std::vector<std::string> seen_;     // every type so far
  std::string timed_type_;
  std::vector<uint64_t> arrivals_;    // of timed_type_
  bool ended_ = false;
  int bridge_pid_ = -1;
  std::atomic<int> hub_pid_{-1};  // noted by the reader, read by the caller
};

// The web page's stop request to every participant, then each one's end
// (WaitEnd, within `timeout_ms` each). False with `why` and the first that
// did not end well in `failed`.
bool StopParticipants(const std::vector<MeetingParticipant*>& participants, int timeout_ms,
                      MeetingParticipant** failed, std::string* why);

#include "client/app/demo/meeting_participant.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/process_stat.h"

MeetingParticipant::MeetingParticipant(std::string name, std::string sandbox)
    : name_(std::move(name)), sandbox_(std::move(sandbox)), session_(stdout, name_ + " extension", false) {}

MeetingParticipant::~MeetingParticipant() {
  Kill();
  if (reader_.joinable()) reader_.join();
}

bool MeetingParticipant::PrepareSandbox() {
  std::error_code error;
  std::filesystem::remove_all(sandbox_, error);
  for (const char* sub : {"run", "config", "data", "home"}) {
    std::filesystem::create_directories(sandbox_ + "/" + sub, error);
    if (error) return false;
    std::filesystem::permissions(sandbox_ + "/" + sub, std::filesystem::perms::owner_all, error);
  }
  return true;
}

bool MeetingParticipant::Start(const std::string& bridge, const std::vector<std::string>& extra) {
  std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + sandbox_ + "/run",
                                          "XDG_CONFIG_HOME=" + sandbox_ + "/config",
                                          "XDG_DATA_HOME=" + sandbox_ + "/data", "HOME=" + sandbox_ + "/home"};
  environment.insert(environment.end(), extra.begin(), extra.end());
  if (!session_.Start(bridge, environment)) return false;
  bridge_pid_ = session_.HostPid();
  reader_ = std::thread([this] { ReadAll(); });
  return true;
}

void MeetingParticipant::ReadAll() {
  static const std::regex started("start application success, pid \\[(\\d+)\\]");
  for (;;) {
    std::string message;
    bool ended = false;
    if (!session_.Receive(&message, 1000, &ended)) {
      if (!ended) continue;
      std::lock_guard<std::mutex> hold(lock_);
      ended_ = true;
      arrived_.notify_all();
      return;
    }
    std::smatch match;
    std::lock_guard<std::mutex> hold(lock_);
    if (hub_pid_ <= 0 && std::regex_search(message, match, started)) hub_pid_ = std::atoi(match[1].str().c_str());
    const std::string type = MessageType(message);
    if (type.empty() || type == "MEET_APP_LOG") continue;
    if (type == timed_type_) arrivals_.push_back(vz::MonotonicMs());
    types_.push_back(type);
    seen_.push_back(type);
    arrived_.notify_all();
  }
}

void MeetingParticipant::Send(const std::string& message) {
  if (!session_.Send(message)) std::printf("(%s: could not write the message to vzbridge)\n", name_.c_str());
}

bool MeetingParticipant::WaitFor(const std::string& type, int timeout_ms) {
  std::unique_lock<std::mutex> hold(lock_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    while (!types_.empty()) {
      const std::string next = types_.front();
      types_.pop_front();
      if (next == type) return true;
    }
    if (ended_) return false;
    if (arrived_.wait_until(hold, deadline) == std::cv_status::timeout && types_.empty()) return false;
  }
}

bool MeetingParticipant::Alive() {
  std::lock_guard<std::mutex> hold(lock_);
  return !ended_;
}

bool MeetingParticipant::SawForTesting(const std::string& type) {
  std::lock_guard<std::mutex> hold(lock_);
  return std::find(seen_.begin(), seen_.end(), type) != seen_.end();
}

void MeetingParticipant::TimeArrivals(const std::string& type) {
  std::lock_guard<std::mutex> hold(lock_);
  timed_type_ = type;
  arrivals_.clear();
}

std::vector<uint64_t> MeetingParticipant::Arrivals() {
  std::lock_guard<std::mutex> hold(lock_);
  return arrivals_;
}

bool MeetingParticipant::WaitEnd(int timeout_ms, std::string* why) {
  int exit_code = -1;
  if (!session_.WaitHostEnd(timeout_ms, &exit_code)) {
    *why = name_ + "'s vzbridge did not end after the stop request";
    return false;
  }
  if (exit_code != 0) {
    *why = name_ + "'s vzbridge ended with exit code " + std::to_string(exit_code);
    return false;
  }
  // VelzarHub is vzbridge's child, not ours: it has ended once it is gone
  // or is a zombie waiting for whoever inherited it.
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  vz::ProcessStat stat;
  const int hub = hub_pid_;
  while (hub > 0 && vz::ReadProcessStat(hub, &stat) && stat.state != 'Z' && stat.state != 'X') {
    if (vz::MonotonicMs() >= deadline) {
      *why = name_ + "'s VelzarHub (process " + std::to_string(hub) + ") did not end after the stop";
      return false;
    }
    vz::SleepMs(20);
  }
  return true;
}

void MeetingParticipant::Kill() {
  vz::ProcessStat stat;
  const int hub = hub_pid_;
  if (hub > 0 && vz::ReadProcessStat(hub, &stat) && stat.state != 'Z') vz::KillProcess(hub);
  if (bridge_pid_ > 0 && vz::ReadProcessStat(bridge_pid_, &stat) && stat.state != 'Z') vz::KillProcess(bridge_pid_);
}

std::string MeetingParticipant::HubLog() const {
  return sandbox_ + "/run/velzar/vzmeet-app." + std::to_string(hub_pid_.load()) + ".log";
}

std::string MeetingParticipant::BridgeLog() const {
  return sandbox_ + "/run/velzar/vzmeet-app." + std::to_string(bridge_pid_) + ".log";
}

bool StopParticipants(const std::vector<MeetingParticipant*>& participants, int timeout_ms,
                      MeetingParticipant** failed, std::string* why) {
  for (MeetingParticipant* participant : participants) participant->Send("{\"type\":\"MEET_APP_REQUEST_STOP\"}");
  for (MeetingParticipant* participant : participants) {
    if (!participant->WaitEnd(timeout_ms, why)) {
      *failed = participant;
      return false;
    }
  }
  return true;
}

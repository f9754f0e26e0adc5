#pragma once
// Test doubles of the launcher's ports: a version table, a process runner
// with a scripted process table and installer run time on a fake clock, a
// downloader with scripted progress, and a sink that records every call.
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "bridge/launcher_ports.h"
#include "bridge/launcher_sink.h"
#include "platform/clock.h"
#include "platform/downloader.h"

class FakeVersionSource : public IFileVersionSource {
 public:
  std::string FileVersion(const std::string& program_path) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lookups.push_back(program_path);
    auto found = versions_.find(program_path);
    return found == versions_.end() ? std::string() : found->second;
  }
  void Set(const std::string& path, const std::string& version) {
    std::lock_guard<std::mutex> lock(mutex_);
    versions_[path] = version;
  }
  std::vector<std::string> lookups;

 private:
  std::mutex mutex_;
  std::map<std::string, std::string> versions_;
};

class FakeProcessRunner : public IProcessRunner {
 public:
  struct Started {
    std::string path;
    std::vector<std::string> argv;
  };
  explicit FakeProcessRunner(const vz::Clock& clock) : clock_(clock) {}

  int Start(const std::string& path, const std::vector<std::string>& argv, int* error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    started.push_back({path, argv});
    if (throw_on_start) throw std::bad_alloc();
    auto failing = start_errors.find(path);
    if (failing != start_errors.end()) {
      *error = failing->second;
      return -1;
    }
    *error = 0;
    const int pid = next_pid_++;
    ends_at_ms_[pid] = clock_.NowMs() + run_time_ms;
    return pid;
  }
  bool WaitEnded(int pid, int) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++waits;
    return clock_.NowMs() >= ends_at_ms_[pid];
  }
  std::vector<vz::ProcessEntry> OwnProcesses() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return table;
  }
  void Terminate(int pid) override {
    std::lock_guard<std::mutex> lock(mutex_);
    terminated.push_back(pid);
  }

  // Scripted.
  std::map<std::string, int> start_errors;  // path -> errno-like code
  bool throw_on_start = false;              // memory runs out in Start
  uint64_t run_time_ms = 0;                 // how long each started program runs
  std::vector<vz::ProcessEntry> table;
  // Recorded.
  std::vector<Started> started;
  std::vector<int> terminated;
  int waits = 0;

 private:
  const vz::Clock& clock_;
  std::mutex mutex_;
  std::map<int, uint64_t> ends_at_ms_;
  int next_pid_ = 1000;
};

// Reports the scripted progress steps, then writes `content` to the file and
// returns `result`. With `block_until_cancelled` it reports progress until
// the sink answers false.
class FakeDownloader : public vz::Downloader {
 public:
  vz::DownloadResult DownloadToFile(const std::string& url, const std::string& path, unsigned,
                                    vz::DownloadProgressSink* sink) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      urls.push_back(url);
      paths.push_back(path);
    }
    if (throw_bad_alloc) throw std::bad_alloc();
    vz::DownloadResult result;
    for (const auto& [received, total] : progress) {
      if (!sink->OnDownloadProgress(received, total)) {
        result.code = vz::kDownloadCancelled;
        return result;
      }
    }
    if (block_until_cancelled) {
      while (sink->OnDownloadProgress(1, 100)) {
        started.store(true);  // after a progress call has come back
        vz::SleepMs(1);
      }
      cancelled.store(true);
      result.code = vz::kDownloadCancelled;
      return result;
    }
    if (result_code == vz::kDownloadOk) std::ofstream(path, std::ios::binary) << content;
    result.code = result_code;
    result.detail = result_code == vz::kDownloadOk ? 200 : 404;
    return result;
  }

  std::vector<std::pair<uint64_t, uint64_t>> progress;
  int result_code = vz::kDownloadOk;
  std::string content = "#!package";
  bool block_until_cancelled = false;
  bool throw_bad_alloc = false;  // memory runs out on the download thread
  std::atomic<bool> started{false};
  std::atomic<bool> cancelled{false};
  std::vector<std::string> urls, paths;

 private:
  std::mutex mutex_;
};

class RecordingLauncherSink : public IVelzarLauncherProviderSink {
 public:
  void OnStartApplicationResult(int result) override {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    results.push_back(result);
    if (on_result) on_result(result);
  }
  void onUpgradeProgress(int percent) override {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    progress.push_back(percent);
  }
  void onSystemErrorCode(int code) override {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    system_errors.push_back(code);
  }
  void onLog(const char* tag, const char* format, ...) override {
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::lock_guard<std::recursive_mutex> lock(mutex);
    logs.push_back(std::string(tag) + "|" + text);
  }
  bool Logged(const std::string& needle) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    for (const std::string& line : logs) {
      if (line.find(needle) != std::string::npos) return true;
    }
    return false;
  }
  size_t Calls() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return results.size() + progress.size() + system_errors.size() + logs.size();
  }

  std::recursive_mutex mutex;
  std::vector<int> results, progress, system_errors;
  std::vector<std::string> logs;
  std::function<void(int)> on_result;  // runs under the lock, on the caller's thread
};

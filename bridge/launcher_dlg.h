#pragma once
// The client launcher: finds the installed VelzarHub, compares its version
// with the required one, and either starts it with the meeting's command line
// or downloads the upgrade package, runs it, waits for it and then starts
// VelzarHub. Its steps are driven by one-shot timers on the run loop of the
// host's launcher thread; a download thread fetches the package.
//
// Lives on the launcher thread (the owner of `loop`). OnStop is called from
// the host's main thread; after it no sink call follows, and the download
// thread has been joined. Nothing is ever killed: the download stops through
// the cancel flag that the progress callback reads. The destructor does not
// touch the loop (its thread may have ended); destroy the launcher after
// OnStop, or before its loop runs again.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bridge/launcher_ports.h"
#include "bridge/launcher_sink.h"
#include "platform/downloader.h"
#include "platform/run_loop.h"

struct LauncherPorts {
  LauncherPaths paths;
  IFileVersionSource* versions = nullptr;
  IProcessRunner* processes = nullptr;
  vz::Downloader* downloader = nullptr;
};

// What one start of VelzarHub needs, from the extension's start request and
// the host's pipe.
struct LaunchRequest {
  std::u16string domain;    // the download address is the domain and the package
  std::u16string package;   // "application_pkg": the package's path on the web host
  std::u16string version;   // "application_ver": the required version, "a.b.c.d"
  std::u16string folder;    // "application_folder": below the per-user data folder
  std::u16string name;      // "application_name": the program's file name
  std::u16string language;  // may be empty
  std::u16string pipe_name;
  std::u16string meet_id;
  std::u16string roster_id;
};

class CLauncherDlg : public vz::DownloadProgressSink {
 public:
  // The timers of the steps.
  enum TimerId : uintptr_t {
    kTimerStartDownload = 1,
    kTimerLaunchInstaller = 2,
    kTimerUpgradeFailed = 3,
    kTimerInstallerStarted = 4,
    kTimerCheckInstaller = 5,
    kTimerWatchInstallation = 257,  // set by the host; repeats
  };

  CLauncherDlg(IVelzarLauncherProviderSink* sink, int upgrade_disabled, const LauncherPorts& ports,
               vz::RunLoop& loop);
  virtual ~CLauncherDlg();
  CLauncherDlg(const CLauncherDlg&) = delete;
  CLauncherDlg& operator=(const CLauncherDlg&) = delete;

  // The entry, once, on the launcher thread (refused with a log line on any
  // other). Returns 1 when the client was started or the upgrade began, else
  // 0 (the result is reported either way; a step that fails by an exception,
  // such as memory running out, reports result 1).
  int StartVelzarApplication(const LaunchRequest& request);
  // Host's main thread: stops every step; no sink call follows.
  void OnStop();
  // Launcher thread (refused with a log line on any other): (re)starts one
  // of the timers above.
  void SetTimer(uintptr_t id, uint32_t interval_ms);

  // The download's progress (download thread): the first 80 % of the bar.
  bool OnDownloadProgress(uint64_t received, uint64_t total) override;

  // VelzarHub's command line: "\"<path>\" /P:<pid> /W:<w> " [" /LAN:<language>"]
  // " /PN:<pipe> /MEET:<meeting> /ROSTER:<roster>".
  static std::string BuildCommandLine(const std::string& program_path, int process_id, int w_value,
                                      const std::string& language, const std::string& pipe_name,
                                      const std::string& meet_id, const std::string& roster_id);
  // The installer's arguments after its path: "/s", "/r" and "/f1" with the
  // quoted path of the response file.
  static std::vector<std::string> InstallerArguments(const std::string& temp_folder);

  // Ends every process of this user whose executable's base name equals the
  // base name of `text` exactly. An empty text does nothing.
  void KillProcessByName(const std::string& text);

  // The installed client's path; "" when it cannot be formed. With a folder
  // it lies below the per-user data folder, without one beside vzbridge.
  std::string getVelzarApplicationFile(const std::string* folder, const std::string& name);
  // The installed client's version, "" when it is missing.
  std::string getApplicationVersion(const std::string& folder, const std::string& name);

 private:
  int StartChecked(const LaunchRequest& request);
  void OnTimer(uintptr_t id);
  void RunTimer(uintptr_t id);
  // Runs one step; an exception it throws is logged and reported as result
  // `failure` instead of ending the thread.
  template <typename Step>
  bool Guarded(const char* step, int failure, Step&& run);
  bool OnLauncherThread(const char* operation) const;
  void CreateUpgradeDialog();
  void DestroyUpgradeDialog();
  void StartDownloadThread();
  void DownloadThreadRun(std::string url, std::string file);
  vz::DownloadResult DownloadAndLog(const std::string& url, const std::string& file);
  void OnDownloadComplete(int result, int detail);
  int LaunchInstaller();
  void CheckInstallerDone();
  void CheckApplicationInstalled_Timer();
  int StartApplication_i();
  // Runs StartApplication_i and reports 0 or 1; a failure that already went
  // out as a system error is not reported again.
  void StartAndReport();
  void ReportProgress(int percent);
  void ReportResult(int result);
  // `error` is an errno value; the host gets its Windows code.
  void ReportSystemError(int error);
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  bool Stopped() const { return stopped_.load(std::memory_order_acquire); }
  std::string PackageFile();

  IVelzarLauncherProviderSink* sink_;
  const int upgrade_disabled_;
  const LauncherPorts ports_;
  vz::RunLoop& loop_;

  // Launcher thread only.
  std::string folder_, name_, version_, language_, pipe_name_, meet_id_, roster_id_;
  int w_value_ = 0;
  std::string download_url_;
  int installer_pid_ = -1;
  int started_pid_ = -1;  // the client started last
  bool system_error_reported_ = false;

  // Shared with the download thread and the host's thread.
  std::atomic<bool> stopped_{false};
  std::atomic<bool> cancel_{false};
  std::mutex progress_mutex_;
  int last_percent_ = -1;
  std::mutex state_mutex_;  // the package file and the download thread
  std::string package_file_;
  std::thread download_thread_;
};

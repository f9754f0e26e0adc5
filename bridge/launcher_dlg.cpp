#include "bridge/launcher_dlg.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "bridge/command_line_split.h"
#include "bridge/log_masking.h"
#include "bridge/system_error_code.h"
#include "common/trace_client.h"
#include "platform/file_system.h"
#include "platform/text.h"

using vzbridge::MaskedAddressForLog;

namespace {

constexpr size_t kMaxDownloadAddress = 2048;
constexpr size_t kMaxPath = 4095;

std::string Narrow(std::u16string_view text) { return vz::Utf16ToUtf8(text); }

// A plain file name: not empty, no separator, not "." or "..".
bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// A folder below another: relative, with no "." or ".." part.
bool IsRelativeFolder(const std::string& folder) {
  if (folder.empty() || folder.front() == '/') return false;
  size_t at = 0;
  while (at <= folder.size()) {
    const size_t end = std::min(folder.find('/', at), folder.size());
    const std::string_view part(folder.data() + at, end - at);
    if (part == "." || part == "..") return false;
    at = end + 1;
  }
  return true;
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args) {
    if (!joined.empty()) joined += ' ';
    joined += arg;
  }
  return joined;
}

}  // namespace

CLauncherDlg::CLauncherDlg(IVelzarLauncherProviderSink* sink, int upgrade_disabled, const LauncherPorts& ports,
                           vz::RunLoop& loop)
    : sink_(sink), upgrade_disabled_(upgrade_disabled), ports_(ports), loop_(loop) {
  VZ_LOG_OBJ("upgrade disabled [%d]", upgrade_disabled);
}

CLauncherDlg::~CLauncherDlg() {
  VZ_LOG_OBJ("end");
  stopped_.store(true, std::memory_order_release);
  cancel_.store(true, std::memory_order_release);
  std::thread download;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    download = std::move(download_thread_);
  }
  if (download.joinable()) download.join();
  // The loop is not touched: the launcher thread and its loop may be gone.
  sink_ = nullptr;
}

std::string CLauncherDlg::BuildCommandLine(const std::string& program_path, int process_id, int w_value,
                                           const std::string& language, const std::string& pipe_name,
                                           const std::string& meet_id, const std::string& roster_id) {
  std::string line = "\"" + program_path + "\" /P:" + std::to_string(process_id) + " /W:" + std::to_string(w_value) + " ";
  if (!language.empty()) line += " /LAN:" + language;
  line += " /PN:" + pipe_name;
  line += " /MEET:" + meet_id;
  line += " /ROSTER:" + roster_id;
  return line;
}

std::vector<std::string> CLauncherDlg::InstallerArguments(const std::string& temp_folder) {
  return {"/s", "/r", "/f1\"" + vz::JoinPath(temp_folder, "Setup.iss") + "\""};
}

bool CLauncherDlg::OnLauncherThread(const char* operation) const {
  if (loop_.BelongsToCurrentThread()) return true;
  VZ_LOG_ERROR("%s called off the launcher's thread: refused", operation);
  return false;
}

template <typename Step>
bool CLauncherDlg::Guarded(const char* step, int failure, Step&& run) {
  try {
    run();
    return true;
  } catch (const std::exception& error) {
    VZ_LOG_ERROR("%s failed: %s", step, error.what());
    Log("%s failed: %s", step, error.what());
  } catch (...) {
    VZ_LOG_ERROR("%s failed", step);
    Log("%s failed", step);
  }
  // The steps that were due are dropped with the failed one; the result may set new ones.
  loop_.KillTimers(this);
  ReportResult(failure);
  return false;
}

int CLauncherDlg::StartVelzarApplication(const LaunchRequest& request) {
  if (!OnLauncherThread("StartVelzarApplication")) return 0;
  int result = 0;
  Guarded("StartVelzarApplication", 1, [&] { result = StartChecked(request); });
  return result;
}

int CLauncherDlg::StartChecked(const LaunchRequest& request) {
  const std::u16string_view domain = request.domain, package = request.package, version = request.version,
                            folder = request.folder, name = request.name, language = request.language,
                            pipe_name = request.pipe_name, meet_id = request.meet_id, roster_id = request.roster_id;
  const std::string domain8 = Narrow(domain), package8 = Narrow(package);
  VZ_LOG_OBJ("domain[%s], pkg[%s], ver[%s], folder[%s] name[%s] lang [%s]", MaskedAddressForLog(domain8).c_str(),
             MaskedAddressForLog(package8).c_str(),
             Narrow(version).c_str(), Narrow(folder).c_str(), Narrow(name).c_str(), Narrow(language).c_str());
  started_pid_ = -1;
  {
    std::lock_guard<std::mutex> lock(progress_mutex_);
    last_percent_ = -1;
  }
  Log("start Application: [0x%016llX]", vz::LogAddress(this));

  if (domain.empty() || package.empty() || folder.empty() || name.empty() || meet_id.empty() || roster_id.empty()) {
    VZ_LOG_ERROR("StartVelzarApplication failed, with wrong parameters.");
    Log("StartVelzarApplication failed, with wrong parameters.");
    ReportResult(1);  // the host would otherwise wait for a client that never comes
    return 0;
  }
  folder_ = Narrow(folder);
  name_ = Narrow(name);
  version_ = Narrow(version);
  language_ = Narrow(language);
  pipe_name_ = Narrow(pipe_name);
  meet_id_ = Narrow(meet_id);
  roster_id_ = Narrow(roster_id);
  w_value_ = 0;

  const std::string installed = upgrade_disabled_ ? version_ : getApplicationVersion(folder_, name_);
  if (installed == version_) {
    if (!StartApplication_i()) {
      Log("start application with failed.");
      if (!system_error_reported_) ReportResult(1);
      return 0;
    }
    ReportResult(0);
    return 1;
  }

  download_url_ = domain8 + package8;
  const size_t slash = package8.rfind('/');
  const std::string file_name = slash == std::string::npos ? package8 : package8.substr(slash + 1);
  std::string refusal;
  if (package8.find('.') == std::string::npos) {
    refusal = "the package names no file";
  } else if (download_url_.size() > kMaxDownloadAddress) {
    refusal = "the download address is too long";
  } else if (file_name.empty() || file_name.find_first_of("\\:") != std::string::npos ||
             file_name.find("..") != std::string::npos) {
    refusal = "the package file name is not a plain file name";
  } else if (ports_.paths.temp_folder.empty()) {
    refusal = "there is no temporary folder";
  } else if (ports_.paths.temp_folder.size() + 1 + file_name.size() > kMaxPath) {
    refusal = "the package path is too long";
  }
  if (!refusal.empty()) {
    VZ_LOG_ERROR("package [%s] refused: %s", MaskedAddressForLog(package8).c_str(), refusal.c_str());
    Log("StartVelzarApplication can't upgrade from package [%s]: %s.", MaskedAddressForLog(package8).c_str(),
        refusal.c_str());
    ReportResult(2);  // the required client cannot be put in place
    return 0;
  }
  const std::string package_file = vz::JoinPath(ports_.paths.temp_folder, file_name);
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    package_file_ = package_file;
  }
  if (vz::FileExists(package_file)) vz::RemoveFile(package_file);
  VZ_LOG_OBJ("URL [%s] file [%s]", MaskedAddressForLog(download_url_).c_str(), package_file.c_str());
  Log("StartVelzarApplication different version, upgrade automatically.");
  CreateUpgradeDialog();
  return 1;
}

void CLauncherDlg::CreateUpgradeDialog() {
  // The dialog is never shown; what is left of it is its first timer.
  SetTimer(kTimerStartDownload, 1000);
}

void CLauncherDlg::DestroyUpgradeDialog() {
  // Destroying the window ends every timer it carried.
  if (loop_.BelongsToCurrentThread()) loop_.KillTimers(this);
}

void CLauncherDlg::SetTimer(uintptr_t id, uint32_t interval_ms) {
  if (Stopped() || !OnLauncherThread("SetTimer")) return;
  if (!loop_.StartTimer(this, id, interval_ms, [this, id] { OnTimer(id); })) {
    VZ_LOG_ERROR("cannot set timer %u", static_cast<unsigned>(id));
  }
}

void CLauncherDlg::OnTimer(uintptr_t id) {
  if (Stopped()) {
    loop_.KillTimers(this);
    return;
  }
  if (id != kTimerWatchInstallation) loop_.KillTimer(this, id);
  // A step that fails by an exception (memory running out) ends the
  // upgrade as one that could not put the client in place.
  Guarded("the launcher's step", 2, [&] { RunTimer(id); });
}

void CLauncherDlg::RunTimer(uintptr_t id) {
  switch (id) {
    case kTimerStartDownload:
      StartDownloadThread();
      break;
    case kTimerLaunchInstaller:
      ReportProgress(98);
      if (LaunchInstaller()) {
        SetTimer(kTimerInstallerStarted, 1000);
      } else {
        SetTimer(kTimerUpgradeFailed, 1000);
      }
      break;
    case kTimerUpgradeFailed:
      ReportProgress(100);
      ReportResult(2);
      break;
    case kTimerInstallerStarted:
      VZ_LOG_OBJ("Look perfect!");
      break;
    case kTimerCheckInstaller:
      CheckInstallerDone();
      break;
    case kTimerWatchInstallation:
      CheckApplicationInstalled_Timer();
      break;
    default:
      break;
  }
}

void CLauncherDlg::StartDownloadThread() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (Stopped()) return;
  try {
    download_thread_ = std::thread(&CLauncherDlg::DownloadThreadRun, this, download_url_, package_file_);
  } catch (const std::system_error& error) {
    VZ_LOG_ERROR("->CreateDownloadThread failed 0x%016llX error=%d", vz::LogAddress(this), error.code().value());
    // Without a download the upgrade has failed; say so rather than wait forever.
    SetTimer(kTimerUpgradeFailed, 1000);
  }
}

void CLauncherDlg::DownloadThreadRun(std::string url, std::string file) {
  // The thread's entry: nothing thrown here (memory running out) ends the
  // process; it is a failed download.
  int code = vz::kDownloadFileError;
  int detail = ENOMEM;
  try {
    const vz::DownloadResult result = DownloadAndLog(url, file);
    code = result.code;
    detail = result.detail;
  } catch (const std::exception& error) {
    VZ_LOG_ERROR("the download failed: %s", error.what());
  } catch (...) {
    VZ_LOG_ERROR("the download failed");
  }
  try {
    if (!loop_.Post([this, code, detail] {
          Guarded("the download's end", 2, [&] { OnDownloadComplete(code, detail); });
        })) {
      VZ_LOG_OBJ("the launcher's loop has ended; the download's result is dropped");
    }
  } catch (...) {
    VZ_LOG_ERROR("the download's result cannot reach the launcher");
  }
}

vz::DownloadResult CLauncherDlg::DownloadAndLog(const std::string& url, const std::string& file) {
  const std::string logged_url = MaskedAddressForLog(url);
  VZ_LOG_OBJ("m_szDownloadPkgURL=%s m_szDownloadPkgFile=%s", logged_url.c_str(), file.c_str());
  vz::DownloadResult result;
  try {
    result = ports_.downloader->DownloadToFile(url, file, 0700, this);
  } catch (const std::exception& error) {
    // Memory ran out (or a port threw): a failed download.
    result.code = vz::kDownloadFileError;
    result.detail = ENOMEM;
    result.message = error.what();
  }
  VZ_LOG_OBJ("download [%s] finished with result [0x%08x] (%d) %s", logged_url.c_str(),
             static_cast<unsigned>(result.code), result.detail, result.message.c_str());
  Log("download [%s] finished with result [0x%08x] (%d)", logged_url.c_str(), static_cast<unsigned>(result.code),
      result.detail);
  if (result.code != vz::kDownloadOk) {
    Log("download result 1 is a cancel, 2 a transfer failure (the number is a libcurl error, see libcurl-errors(3)), "
        "3 an HTTP error status, 4 a file error (errno): %s",
        result.message.c_str());
  }
  return result;
}

bool CLauncherDlg::OnDownloadProgress(uint64_t received, uint64_t total) {
  if (cancel_.load(std::memory_order_acquire)) {
    VZ_LOG_OBJ("Download is cancelled!");
    return false;
  }
  int percent = 0;
  if (total != 0) {
    const double value = static_cast<double>(received) * 80.0 / static_cast<double>(total);
    percent = value >= 80.0 ? 80 : static_cast<int>(value);  // a server that sends more than it announced
  }
  ReportProgress(percent);
  return true;
}

void CLauncherDlg::OnDownloadComplete(int result, int detail) {
  if (Stopped()) return;
  VZ_LOG_OBJ("Download file completed. lparam=%d", result);
  VZ_LOG_OBJ("download complete result [0x%08x][%s]", static_cast<unsigned>(result), result ? "Failed" : "SUCCESS");
  Log("download complete result [0x%08x][%s] [0x%08X]", static_cast<unsigned>(result), result ? "Failed" : "SUCCESS",
      static_cast<unsigned>(detail));
  if (result == 0 && vz::FileExists(PackageFile())) {
    ReportProgress(80);
    SetTimer(kTimerLaunchInstaller, 1000);
  } else {
    SetTimer(kTimerUpgradeFailed, 1000);
  }
}

int CLauncherDlg::LaunchInstaller() {
  const std::string package_file = PackageFile();
  VZ_LOG_OBJ("package [%s]", package_file.c_str());
  Log("download complete, launch installer [0x%016llX]", vz::LogAddress(this));
  KillProcessByName(vz::BaseName(package_file));
  KillProcessByName(name_);

  const std::vector<std::string> args = InstallerArguments(ports_.paths.temp_folder);
  VZ_LOG_OBJ("cmd line [%s]", JoinArguments(args).c_str());
  std::vector<std::string> argv = {package_file};
  argv.insert(argv.end(), args.begin(), args.end());
  int error = 0;
  const int pid = ports_.processes->Start(package_file, argv, &error);
  if (pid > 0) {
    installer_pid_ = pid;
    SetTimer(kTimerCheckInstaller, 1000);
    return 1;
  }
  VZ_LOG_ERROR("can't start launch command, code [%d] (errno %d).", WindowsErrorFromErrno(error), error);
  vz::RemoveFile(package_file);
  Log("install application with failed. error code [%d]", WindowsErrorFromErrno(error));
  ReportSystemError(error);
  return 0;
}

void CLauncherDlg::CheckInstallerDone() {
  if (!ports_.processes->WaitEnded(installer_pid_, 100)) {
    SetTimer(kTimerCheckInstaller, 1000);
    VZ_LOG_OBJ("WAIT_TIMEOUT,WAIT ANOTHER ONE SECOND");
    return;
  }
  installer_pid_ = -1;
  vz::RemoveFile(PackageFile());
  ReportProgress(100);
  DestroyUpgradeDialog();
  Log("install complete.");
  StartAndReport();
}

void CLauncherDlg::CheckApplicationInstalled_Timer() {
  if (getApplicationVersion(folder_, name_) == version_) {
    loop_.KillTimer(this, kTimerWatchInstallation);
    StartAndReport();
    return;
  }
  VZ_LOG_OBJ("Application not exist, still watching need upgrade manually");
  Log("application not install in folder [%s], still need waiting for install/upgrade manually.", folder_.c_str());
}

void CLauncherDlg::StartAndReport() {
  if (StartApplication_i()) {
    ReportResult(0);
  } else if (!system_error_reported_) {
    ReportResult(1);
  }
}

int CLauncherDlg::StartApplication_i() {
  VZ_LOG_OBJ("begin");
  Log("start application begin.");
  const std::string path = getVelzarApplicationFile(upgrade_disabled_ ? nullptr : &folder_, name_);
  if (path.empty()) return 0;
  const std::string command_line = BuildCommandLine(path, ports_.paths.own_process_id, w_value_, language_,
                                                    pipe_name_, meet_id_, roster_id_);
  VZ_LOG_OBJ("cmdline[%s]", command_line.c_str());
  int error = 0;
  const int pid = ports_.processes->Start(path, SplitCommandLine(command_line), &error);
  if (pid > 0) {
    started_pid_ = pid;
    Log("start application success, pid [%d].", pid);
    return 1;
  }
  const int code = WindowsErrorFromErrno(error);
  VZ_LOG_ERROR("can't start application, error code [%d] (errno %d).", code, error);
  Log("can't start application, error [%d]:[%s].", code, code == kWindowsErrorCancelled ? "User don't allow" : "Unknow");
  started_pid_ = -1;
  ReportSystemError(error);
  return 0;
}

void CLauncherDlg::OnStop() {
  VZ_LOG_OBJ("begin");
  stopped_.store(true, std::memory_order_release);
  cancel_.store(true, std::memory_order_release);
  std::thread download;
  std::string package_file;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    download = std::move(download_thread_);
    package_file = package_file_;
  }
  if (download.joinable()) download.join();
  KillProcessByName(package_file);  // ends a running installer
  VZ_LOG_OBJ("Done.");
}

void CLauncherDlg::KillProcessByName(const std::string& text) {
  if (text.empty()) return;
  VZ_LOG_OBJ("procName=%s", text.c_str());
  const std::string wanted = vz::BaseName(text);
  if (wanted.empty()) return;
  for (const vz::ProcessEntry& entry : ports_.processes->OwnProcesses()) {
    if (entry.executable_name != wanted) continue;
    VZ_LOG_OBJ("Found Process ID=%d, exeFile=%s", entry.pid, entry.executable_name.c_str());
    ports_.processes->Terminate(entry.pid);
  }
  VZ_LOG_OBJ("Kill [%s] done", wanted.c_str());
}

std::string CLauncherDlg::getVelzarApplicationFile(const std::string* folder, const std::string& name) {
  VZ_LOG_OBJ("upgrade disabled [%d]", folder == nullptr ? 1 : 0);
  if (!IsPlainFileName(name)) {
    VZ_LOG_ERROR("application name [%s] is not a plain file name", name.c_str());
    return std::string();
  }
  std::string path;
  if (folder != nullptr) {
    if (ports_.paths.data_folder.empty()) return std::string();
    if (!IsRelativeFolder(*folder)) {
      VZ_LOG_ERROR("application folder [%s] is not a folder below the data folder", folder->c_str());
      return std::string();
    }
    path = vz::JoinPath(vz::JoinPath(ports_.paths.data_folder, *folder), name);
  } else {
    if (ports_.paths.own_folder.empty()) return std::string();
    path = vz::JoinPath(ports_.paths.own_folder, name);
  }
  if (path.size() > kMaxPath) {
    VZ_LOG_ERROR("application path is too long");
    return std::string();
  }
  return path;
}

std::string CLauncherDlg::getApplicationVersion(const std::string& folder, const std::string& name) {
  const std::string path = getVelzarApplicationFile(&folder, name);
  const std::string version = path.empty() ? std::string() : ports_.versions->FileVersion(path);
  VZ_LOG_OBJ("Application file=%s, Version=%s", path.c_str(), version.c_str());
  return version;
}

std::string CLauncherDlg::PackageFile() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return package_file_;
}

void CLauncherDlg::ReportProgress(int percent) {
  bool report = false;
  {
    std::lock_guard<std::mutex> lock(progress_mutex_);
    if (percent != last_percent_ &&
        (last_percent_ == -1 || percent == 100 || std::abs(percent - last_percent_) > 2)) {
      last_percent_ = percent;
      report = true;
    }
  }
  if (report && !Stopped() && sink_) sink_->onUpgradeProgress(percent);
}

void CLauncherDlg::ReportResult(int result) {
  if (!Stopped() && sink_) sink_->OnStartApplicationResult(result);
}

void CLauncherDlg::ReportSystemError(int error) {
  system_error_reported_ = true;
  if (!Stopped() && sink_) sink_->onSystemErrorCode(WindowsErrorFromErrno(error));
}

void CLauncherDlg::Log(const char* format, ...) {
  if (Stopped() || !sink_) return;
  char text[4096];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  sink_->onLog("PlugIn", "%s", text);
}

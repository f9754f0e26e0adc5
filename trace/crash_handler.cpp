#include "trace/crash_handler.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/elf_modules.h"
#include "platform/fatal_signal_settings.h"
#include "platform/fatal_signal_safe_io.h"
#include "platform/fatal_signal_system.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "trace/civil_time.h"
#include "trace/crash_report.h"
#include "trace/signal_safe_format.h"
#include "trace/trace_logger.h"

namespace vz {

const char kReportSwitchKey[] = "Software\\Velzar\\vzreport";
const char kReportSwitchName[] = "Enable";
const char16_t kCrashReportAddress[] = u"https://www.velzar.invalid/crashreport";

namespace {

constexpr size_t kAddressSize = 256;
constexpr size_t kFolderSize = 1024;

// Written at install, read by the handler.
struct HandlerState {
  std::atomic<TraceLogger*> logger{nullptr};
  LocalTime start_time{};
  int conference_id = 0;
  char16_t report_address[kAddressSize] = {};
  CrashSystemFacts facts;
  char temp_folder[kFolderSize] = {};
  char cache_folder[kFolderSize] = {};
  char settings_file[kFolderSize] = {};  // where the switch is read at the crash
};
HandlerState g_state;

class LogReportSink final : public CrashReportSink {
 public:
  explicit LogReportSink(TraceLogger* logger) : logger_(logger) {}
  void WriteReportLine(const char* line, size_t length) override { logger_->WriteRaw(line, length); }

 private:
  TraceLogger* logger_;
};

void CopyFolder(char (&out)[kFolderSize], const std::string& folder) {
  std::strncpy(out, folder.c_str(), kFolderSize - 1);
  out[kFolderSize - 1] = '\0';
}

// The cache folder, where the temporary folder cannot be written.
std::string CacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache != nullptr && cache[0] == '/') return cache;
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] != '\0' ? std::string(home) + "/.cache" : std::string();
}

void SayFault(const char* section) {
  WriteStderrSafely("Exception encountered in ");
  WriteStderrSafely(section);
  WriteStderrSafely("\n");
}

struct FolderCheck {
  bool writable = false;
};

void CheckFolders(void* arg) {
  auto* check = static_cast<FolderCheck*>(arg);
  check->writable = (g_state.temp_folder[0] != '\0' && IsFolderWritableSafely(g_state.temp_folder)) ||
                    (g_state.cache_folder[0] != '\0' && IsFolderWritableSafely(g_state.cache_folder));
}

struct Dump {
  const FatalSignalInfo* info;
  TraceLogger* logger;
};

void DumpLog(void* arg) {
  const Dump& dump = *static_cast<Dump*>(arg);
  const int64_t now_ms = UnixTimeMsSafely();
  CrashReportInput input;
  input.signal = dump.info;
  input.start_time = g_state.start_time;
  input.exception_time = CivilTimeFromUnixMs(now_ms);
  input.facts = &g_state.facts;
  LogReportSink sink(dump.logger);
  WriteCrashReport(input, &sink);
  dump.logger->FinishCrashLog(CivilTimeFromUnixMs(now_ms + g_state.facts.utc_offset_seconds * 1000));
}

// The switch as the settings file holds it now, read without the store.
bool ReportEnabledAtCrash() {
  uint32_t value = 1;
  return !(ReadSettingsDwordSafely(g_state.settings_file, kReportSwitchKey, kReportSwitchName, &value) && value == 0);
}

}  // namespace

int Exception_IsReportEnabled() {
  uint32_t value = 1;
  if (UserSettings().ReadDword(kReportSwitchKey, kReportSwitchName, &value) && value == 0) return 0;
  return 1;
}

int Exception_Install(TraceLogger* logger, int conference_id, int /*session_id*/, const char16_t* /*text*/,
                      const char16_t* report_address) {
  g_state.start_time = NowLocal();
  if (report_address == nullptr) return 0;
  g_state.conference_id = conference_id;
  CopyUtf16(g_state.report_address, kAddressSize, report_address);
  GatherCrashSystemFacts(&g_state.facts);
  CopyFolder(g_state.temp_folder, logger != nullptr ? logger->folder() : std::string());
  CopyFolder(g_state.cache_folder, CacheFolder());
  CopyFolder(g_state.settings_file, UserSettingsFilePath());
  RefreshElfModuleSnapshot();
  g_state.logger.store(logger);
  if (!InstallFatalSignalHandler(Exception_UnhandledFilter, kCrashExitCode)) {
    WriteStderrSafely("vztrace: the crash handler could not be installed\n");
  }
  return 1;
}

void Exception_Uninstall() {
  UninstallFatalSignalHandler();
  g_state.logger.store(nullptr);
}

FatalSignalVerdict Exception_UnhandledFilter(const FatalSignalInfo& info) {
  if (info.is_stack_overflow || !ReportEnabledAtCrash()) return FatalSignalVerdict::kPassOn;
  FolderCheck check;
  if (!RunGuardedSection(CheckFolders, &check)) SayFault("Exception_IsFolderWritable");
  TraceLogger* logger = g_state.logger.load();
  if (check.writable && logger != nullptr) {
    Dump dump{&info, logger};
    // A fault outside the report's own sections leaves the log unmoved.
    if (!RunGuardedSection(DumpLog, &dump)) SayFault("Exception_DumpLog");
  }
  // The switch may have been turned off while the report was written.
  if (!ReportEnabledAtCrash()) return FatalSignalVerdict::kPassOn;
  // The process ends with an exit code, not by its signal: one line says so
  // where whoever started it looks (a terminal, a test runner's output).
  char line[kFolderSize + 96];
  SafeFormat(line, sizeof line, "vztrace: signal %d ended the process; its crash report is in the log of %s\n",
             info.signal_number, g_state.temp_folder);
  WriteStderrSafely(line);
  return FatalSignalVerdict::kExit;
}

}  // namespace vz

#include "trace/linked_tracer.h"

#include <atomic>
#include <cstdlib>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/user_folders.h"
#include "trace/crash_handler.h"
#include "trace/log_cleanup.h"
#include "trace/trace_logger.h"
#include "trace/va_list_check.h"

namespace vz {

const char kLinkedAppName[] = "app.host";

namespace {

// Never freed, as in the library: late lines find a closed logger.
std::atomic<TraceLogger*> g_linked_logger{nullptr};
std::atomic<bool> g_started{false};

}  // namespace

bool StartLinkedTracer() {
  if (g_started.exchange(true)) return false;
  const std::string folder = RuntimeFolder();
  const int64_t now = UnixTimeSeconds();
  DeleteOldLogs(folder, "vzmeet-app", now);
  DeleteOldLogs(folder, "velzar-app", now);
  TraceLogger::Options options;
  options.folder = folder;
  options.process_id = ProcessId();
  options.fixed_app_name = kLinkedAppName;
  auto* logger = new TraceLogger(options);
  // No conference id, session id or text; the same report address.
  Exception_Install(logger, 0, 0, u"", kCrashReportAddress);
  g_linked_logger.store(logger);
  // As the library writes its end marker when it is unloaded.
  std::atexit(StopLinkedTracer);
  return true;
}

void StopLinkedTracer() {
  if (TraceLogger* logger = g_linked_logger.load()) logger->Close();
}

void LinkedTracerLogA(const char* /*tag*/, const char* format, va_list args) {
  if (format == nullptr || IsNullArgumentList(args)) return;
  if (TraceLogger* logger = g_linked_logger.load()) logger->LogA(format, args);
}

void LinkedTracerLogW(const char16_t* /*tag*/, const char16_t* format, va_list args) {
  if (format == nullptr || IsNullArgumentList(args)) return;
  if (TraceLogger* logger = g_linked_logger.load()) logger->LogW(format, args);
}

void LinkedTracerSetAppInfo(const char* app_name, const char* version) {
  if (TraceLogger* logger = g_linked_logger.load()) logger->SetAppInfo(app_name, version);
}

void LinkedTracerSetMeetInfo(const char* meet_id, const char* roster_id) {
  if (TraceLogger* logger = g_linked_logger.load()) logger->SetMeetInfo(meet_id, roster_id);
}

}  // namespace vz

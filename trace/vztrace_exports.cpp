// libvztrace.so: the log writer's seven exports (ordinals 1 to 7 of the
// loader's table), the logger built when the library is loaded and closed when
// it is unloaded, and the crash handler installed with it.
#include <atomic>
#include <cstdarg>

#include "common/tracer_collect_sink.h"
#include "common/vz_binary_data.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/user_folders.h"
#include "trace/collect_sink_slot.h"
#include "trace/crash_file_take.h"
#include "trace/crash_handler.h"
#include "trace/log_cleanup.h"
#include "trace/trace_logger.h"
#include "trace/va_list_check.h"

#define VZ_TRACE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Never freed: a late line from another library's static destructor finds a
// closed logger, not a destroyed one.
std::atomic<vz::TraceLogger*> g_logger{nullptr};
vz::CollectSinkSlot* g_sink_slot = nullptr;

__attribute__((constructor)) void LoadTraceLogger() {
  g_sink_slot = new vz::CollectSinkSlot();
  const std::string folder = vz::RuntimeFolder();
  const int64_t now = vz::UnixTimeSeconds();
  vz::DeleteOldLogs(folder, "vzmeet-app", now);
  vz::DeleteOldLogs(folder, "velzar-app", now);
  vz::TraceLogger::Options options;
  options.folder = folder;
  options.process_id = vz::ProcessId();
  auto* logger = new vz::TraceLogger(options);
  vz::Exception_Install(logger, 0, 999999999, u"", vz::kCrashReportAddress);
  // Published last: lines logged while loading (the platform's own) are dropped.
  g_logger.store(logger);
}

__attribute__((destructor)) void UnloadTraceLogger() {
  // The handler's code goes away with the library.
  vz::Exception_Uninstall();
  if (vz::TraceLogger* logger = g_logger.load()) logger->Close();
}

}  // namespace

VZ_TRACE_EXPORT void TracerLogA(const char* /*tag*/, const char* format, va_list args) {
  if (format == nullptr || vz::IsNullArgumentList(args)) return;
  if (vz::TraceLogger* logger = g_logger.load()) logger->LogA(format, args);
}

VZ_TRACE_EXPORT void TracerLogW(const char16_t* /*tag*/, const char16_t* format, va_list args) {
  if (format == nullptr || vz::IsNullArgumentList(args)) return;
  if (vz::TraceLogger* logger = g_logger.load()) logger->LogW(format, args);
}

VZ_TRACE_EXPORT void TracerSetAppInfo(const char* app_name, const char* version) {
  if (vz::TraceLogger* logger = g_logger.load()) logger->SetAppInfo(app_name, version);
}

VZ_TRACE_EXPORT CVZBinaryData* TracerGetCrashReport() {
  vz::TraceLogger* logger = g_logger.load();
  if (logger == nullptr) return nullptr;
  return vz::TakePendingCrashFile(logger->folder(), logger->AppName());
}

VZ_TRACE_EXPORT ITracerCollectSink* TracerSetCollectSink(ITracerCollectSink* sink) {
  if (g_sink_slot != nullptr) g_sink_slot->Set(sink);
  return sink;
}

VZ_TRACE_EXPORT void TracerCollectA(const char* /*tag*/, const char* format, va_list args) {
  if (format == nullptr || vz::IsNullArgumentList(args)) return;
  vz::TraceLogger* logger = g_logger.load();
  if (logger == nullptr || g_sink_slot == nullptr || !g_sink_slot->HasSink()) return;
  char line[vz::kTraceBufferSize];
  logger->FormatCollectLine(line, sizeof(line), format, args);
  g_sink_slot->Deliver(line);
}

VZ_TRACE_EXPORT void TracerSetMeetInfo(const char* meet_id, const char* roster_id) {
  if (vz::TraceLogger* logger = g_logger.load()) logger->SetMeetInfo(meet_id, roster_id);
}

// The link instance as the tracer's collect sink: once the pipe is connected,
// the pending crash report goes out first, then every collect line.
#include <cstring>

#include "common/trace_client.h"
#include "common/vz_binary_data.h"
#include "weblink/link/vz_link_inst_controller.h"
#include "weblink/pipe/pipe_frame.h"

namespace {

constexpr int kTracerGetCrashReport = 4;
constexpr int kTracerSetCollectSink = 5;

vz::TracerSetCollectSinkFn SetCollectSinkEntry() {
  return reinterpret_cast<vz::TracerSetCollectSinkFn>(vz::TracerOrdinal(kTracerSetCollectSink));
}

// The report's text: its bytes up to the first NUL, never past its length.
std::string_view ReportText(const CVZBinaryData& report) {
  const auto* bytes = reinterpret_cast<const char*>(report.data());
  if (bytes == nullptr) return {};
  const void* nul = std::memchr(bytes, '\0', report.length());
  const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : report.length();
  return std::string_view(bytes, length);
}

}  // namespace

void CVzLinkInstController::InitTracerCollect() {
  VZ_LOG("");
  const auto get_report = reinterpret_cast<vz::TracerGetCrashReportFn>(vz::TracerOrdinal(kTracerGetCrashReport));
  if (get_report != nullptr) {
    if (CVZBinaryData* report = get_report()) {
      QueueFrame(ReportText(*report), PIPE_KIND_CRASH_REPORT);
      report->Release();
    }
  }
  if (const vz::TracerSetCollectSinkFn set_sink = SetCollectSinkEntry()) {
    set_sink(static_cast<ITracerCollectSink*>(this));
    collect_registered_.store(true);
  }
}

void CVzLinkInstController::WithdrawTracerCollect() {
  if (!collect_registered_.exchange(false)) return;
  // The tracer returns only when no OnCollectLog of ours still runs elsewhere.
  if (const vz::TracerSetCollectSinkFn set_sink = SetCollectSinkEntry()) set_sink(nullptr);
}

void CVzLinkInstController::OnCollectLog(const char* line) {
  if (line == nullptr || *line == '\0') return;
  QueueFrame(line, PIPE_KIND_TRACE_LOG);
}

// The tracer client. The log writer is bound while the program (or the
// library this is linked into) is loaded, by a namespace-scope object kept in
// the same file as TraceA, so every user of TraceA also links the binding.
// The entry pointers are read without a lock (atomics) on any thread.
#include "common/trace_client.h"

#include <atomic>
#include <cstdio>

#include "common/trace_client_test_hooks.h"
#include "platform/module_loader.h"
#include "platform/platform_log.h"

// Weak: only a program with a linked-in log writer defines it.
extern "C" const bool vz_tracer_linked_in __attribute__((weak));

namespace {

constinit std::atomic<vz::TracerLogAFn> g_log_a{nullptr};
constinit std::atomic<vz::TracerLogWFn> g_log_w{nullptr};
constinit std::atomic<vz::TracerCollectAFn> g_collect_a{nullptr};
// The loaded log writer, forgotten at exit. It is never unloaded: other static
// destructors and threads may still log while the process ends, so its handle
// stays held in g_kept_module.
constinit std::atomic<vz::ModuleHandle> g_module{nullptr};
constinit vz::ModuleHandle g_kept_module = nullptr;
// While a test binding is active, g_test_entries replaces the module (null:
// nothing bound).
constinit std::atomic<bool> g_test_bound{false};
constinit std::atomic<const vz::TracerEntries*> g_test_entries{nullptr};
constinit std::atomic<bool> g_sink_installed{false};

// Set while this thread is inside the log writer: a platform failure reported
// from in there goes to stderr rather than back into the writer.
thread_local bool t_in_writer = false;

class InWriter {
 public:
  InWriter() : outer_(t_in_writer) { t_in_writer = true; }
  ~InWriter() { t_in_writer = outer_; }
  InWriter(const InWriter&) = delete;
  InWriter& operator=(const InWriter&) = delete;

 private:
  bool outer_;
};

void ForwardPlatformLine(const char* line) {
  if (t_in_writer || !g_log_a.load(std::memory_order_acquire)) {
    std::fprintf(stderr, "%s\n", line);
    return;
  }
  TraceA("%s", line);
}

void BindEntries(vz::TracerLogAFn log_a, vz::TracerLogWFn log_w, vz::TracerCollectAFn collect_a) {
  g_log_a.store(log_a, std::memory_order_release);
  g_log_w.store(log_w, std::memory_order_release);
  g_collect_a.store(collect_a, std::memory_order_release);
  const bool want_sink = log_a != nullptr;
  if (g_sink_installed.exchange(want_sink) != want_sink) {
    vz::SetPlatformLogSink(want_sink ? ForwardPlatformLine : nullptr);
  }
}

template <typename Fn>
Fn ModuleEntry(vz::ModuleHandle module, int ordinal) {
  return reinterpret_cast<Fn>(vz::GetModuleOrdinal(module, ordinal));
}

void BindModule() {
  vz::ModuleHandle module = g_module.load(std::memory_order_acquire);
  if (!module) {
    BindEntries(nullptr, nullptr, nullptr);
    return;
  }
  BindEntries(ModuleEntry<vz::TracerLogAFn>(module, 1), ModuleEntry<vz::TracerLogWFn>(module, 2),
              ModuleEntry<vz::TracerCollectAFn>(module, 6));
}

void LoadTracer() {
  if (&vz_tracer_linked_in != nullptr && vz_tracer_linked_in) return;  // the program has its own writer
  vz::ModuleHandle module = vz::LoadModule("vztrace").module;
  if (!module) return;  // No log writer: every call stays a no-op.
  g_kept_module = module;
  g_module.store(module, std::memory_order_release);
  if (!g_test_bound.load()) BindModule();
}

void UnloadTracer() {
  g_test_bound.store(false);
  g_test_entries.store(nullptr);
  BindEntries(nullptr, nullptr, nullptr);
  g_module.store(nullptr, std::memory_order_release);
}

struct TracerBinding {
  TracerBinding() { LoadTracer(); }
  ~TracerBinding() { UnloadTracer(); }
};
TracerBinding g_tracer_binding;

void* TestEntry(const vz::TracerEntries& entries, int ordinal) {
  switch (ordinal) {
    case 1: return reinterpret_cast<void*>(entries.log_a);
    case 2: return reinterpret_cast<void*>(entries.log_w);
    case 3: return reinterpret_cast<void*>(entries.set_app_info);
    case 4: return reinterpret_cast<void*>(entries.get_crash_report);
    case 5: return reinterpret_cast<void*>(entries.set_collect_sink);
    case 6: return reinterpret_cast<void*>(entries.collect_a);
    case 7: return reinterpret_cast<void*>(entries.set_meet_info);
    default: return nullptr;
  }
}

}  // namespace

void TraceA(const char* format, ...) {
  const vz::TracerLogAFn log = g_log_a.load(std::memory_order_acquire);
  if (!log || !format) return;
  InWriter in_writer;
  va_list args;
  va_start(args, format);
  log("", format, args);
  va_end(args);
}

void TraceW(const char16_t* format, ...) {
  const vz::TracerLogWFn log = g_log_w.load(std::memory_order_acquire);
  if (!log || !format) return;
  InWriter in_writer;
  va_list args;
  va_start(args, format);
  log(u"", format, args);
  va_end(args);
}

void TraceCollectA(const char* format, ...) {
  const vz::TracerCollectAFn collect = g_collect_a.load(std::memory_order_acquire);
  if (!collect || !format) return;
  InWriter in_writer;
  va_list args;
  va_start(args, format);
  collect("", format, args);
  va_end(args);
}

void TraceSetAppInfo(const char* app_name, const char* version) {
  const auto set = reinterpret_cast<vz::TracerSetAppInfoFn>(vz::TracerOrdinal(3));
  if (!set) return;
  InWriter in_writer;
  set(app_name, version);
}

void TraceSetMeetInfo(const char* meet_id, const char* roster_id) {
  const auto set = reinterpret_cast<vz::TracerSetMeetInfoFn>(vz::TracerOrdinal(7));
  if (!set) return;
  InWriter in_writer;
  set(meet_id, roster_id);
}

bool IsTracerLoaded() {
  return g_log_a.load(std::memory_order_acquire) || g_log_w.load(std::memory_order_acquire) ||
         g_collect_a.load(std::memory_order_acquire);
}

namespace vz {

void* TracerOrdinal(int ordinal) {
  if (g_test_bound.load()) {
    const TracerEntries* entries = g_test_entries.load();
    return entries ? TestEntry(*entries, ordinal) : nullptr;
  }
  ModuleHandle module = g_module.load(std::memory_order_acquire);
  return module ? GetModuleOrdinal(module, ordinal) : nullptr;
}

void BindTracerForTest(const TracerEntries* entries) {
  g_test_entries.store(entries);
  g_test_bound.store(true);
  if (entries) {
    BindEntries(entries->log_a, entries->log_w, entries->collect_a);
  } else {
    BindEntries(nullptr, nullptr, nullptr);
  }
}

void BindLinkedTracer(TracerLogAFn log_a, TracerLogWFn log_w, TracerSetAppInfoFn set_app_info,
                      TracerSetMeetInfoFn set_meet_info) {
  static TracerEntries entries;
  entries.log_a = log_a;
  entries.log_w = log_w;
  entries.set_app_info = set_app_info;
  entries.set_meet_info = set_meet_info;
  BindTracerForTest(&entries);
}

void RestoreTracerForTest() {
  g_test_bound.store(false);
  g_test_entries.store(nullptr);
  BindModule();
}

}  // namespace vz

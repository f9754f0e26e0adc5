// Lines per second through the log writer, from one thread and from eight
// (every line is one write under the logger lock, as the writer promises).
#include <benchmark/benchmark.h>

#include <cstdarg>
#include <filesystem>
#include <memory>
#include <string>

#include "trace/trace_logger.h"

namespace {

std::unique_ptr<vz::TraceLogger> g_logger;
std::string g_folder;

void Log(vz::TraceLogger& logger, const char* format, ...) {
  va_list args;
  va_start(args, format);
  logger.LogA(format, args);
  va_end(args);
}

void BM_LogLine(benchmark::State& state) {
  if (state.thread_index() == 0) {
    g_folder = (std::filesystem::temp_directory_path() / "vztrace-bench").string();
    std::filesystem::create_directories(g_folder);
    vz::TraceLogger::Options options;
    options.folder = g_folder;
    options.process_id = 1;
    g_logger = std::make_unique<vz::TraceLogger>(options);
  }
  int n = 0;
  for (auto _ : state) {
    Log(*g_logger, "%s [line# %d] : >%s %d", "CAppComponentsController::StartDS", 1234, "a typical log line", n++);
  }
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) {
    g_logger.reset();
    std::filesystem::remove_all(g_folder);
  }
}
BENCHMARK(BM_LogLine)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

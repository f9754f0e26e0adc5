#include "client/controller/recording_tracer_testlib.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "platform/text.h"
#include "platform/wide_format.h"

namespace vz {
namespace {

std::atomic<RecordingTracer*> g_recorder{nullptr};

std::string FormatNarrow(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::string line(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(line.data(), line.size(), format, args);
  line.resize(static_cast<size_t>(length));
  return line;
}

}  // namespace

RecordingTracer::RecordingTracer() {
  entries_.log_a = &LogA;
  entries_.log_w = &LogW;
  entries_.collect_a = &CollectA;
  g_recorder.store(this);
  BindTracerForTest(&entries_);
}

RecordingTracer::~RecordingTracer() {
  RestoreTracerForTest();
  g_recorder.store(nullptr);
}

void RecordingTracer::LogA(const char*, const char* format, va_list args) {
  if (RecordingTracer* self = g_recorder.load()) self->Add(&self->lines_, FormatNarrow(format, args));
}

void RecordingTracer::LogW(const char16_t*, const char16_t* format, va_list args) {
  if (RecordingTracer* self = g_recorder.load()) self->Add(&self->lines_, Utf16ToUtf8(FormatWideStringV(format, args)));
}

void RecordingTracer::CollectA(const char*, const char* format, va_list args) {
  if (RecordingTracer* self = g_recorder.load()) self->Add(&self->collect_lines_, FormatNarrow(format, args));
}

void RecordingTracer::Add(std::vector<std::string>* to, std::string line) {
  std::lock_guard<std::mutex> lock(mutex_);
  to->push_back(std::move(line));
}

std::vector<std::string> RecordingTracer::lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<std::string> RecordingTracer::collect_lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return collect_lines_;
}

int RecordingTracer::CountLines(const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const std::string& line : lines_) count += line.find(text) != std::string::npos ? 1 : 0;
  return count;
}

void RecordingTracer::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  collect_lines_.clear();
}

}  // namespace vz

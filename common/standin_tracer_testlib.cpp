// A stand-in log writer: the seven exports of the real one, recording every
// call as a text line that the test reads back through StandinTracerRecord.
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/text.h"
#include "platform/wide_format.h"

class CVZBinaryData;
class ITracerCollectSink;

namespace {

std::mutex g_mutex;
std::string g_record;

void Record(const std::string& line) {
  std::lock_guard<std::mutex> hold(g_mutex);
  g_record += line;
  g_record += '\n';
}

std::string Narrow(const char* format, va_list args) {
  char buffer[4096];
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  return buffer;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void TracerLogA(const char* tag, const char* format, va_list args) {
  Record(std::string("A|") + tag + "|" + Narrow(format, args));
}

__attribute__((visibility("default"))) void TracerLogW(const char16_t* tag, const char16_t* format, va_list args) {
  Record("W|" + vz::Utf16ToUtf8(tag) + "|" + vz::Utf16ToUtf8(vz::FormatWideStringV(format, args)));
}

__attribute__((visibility("default"))) void TracerSetAppInfo(const char* name, const char* version) {
  Record(std::string("3|") + name + "|" + version);
}

__attribute__((visibility("default"))) CVZBinaryData* TracerGetCrashReport() { return nullptr; }

__attribute__((visibility("default"))) ITracerCollectSink* TracerSetCollectSink(ITracerCollectSink* sink) {
  return sink;
}

__attribute__((visibility("default"))) void TracerCollectA(const char* tag, const char* format, va_list args) {
  Record(std::string("C|") + tag + "|" + Narrow(format, args));
}

__attribute__((visibility("default"))) void TracerSetMeetInfo(const char* meet_id, const char* roster_id) {
  Record(std::string("7|") + meet_id + "|" + roster_id);
}

// Returns what was recorded since the last call and forgets it.
__attribute__((visibility("default"))) void StandinTracerTake(char* out, size_t capacity) {
  std::lock_guard<std::mutex> hold(g_mutex);
  std::snprintf(out, capacity, "%s", g_record.c_str());
  g_record.clear();
}

}  // extern "C"

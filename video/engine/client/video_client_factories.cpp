#include <atomic>

#include "video/engine/client/video_client_seams.h"

namespace {

IVZVideoSession* MakeSession(IVZVideoSessionSink* sink) { return CreateVZVideoSession(sink).release(); }

// The library's own makers: the real session; the engine is installed by
// the library once it has one.
const VideoClientFactories kBuiltIn = {&MakeSession, nullptr};
std::atomic<const VideoClientFactories*> g_table{&kBuiltIn};

}  // namespace

const VideoClientFactories* SetVideoClientFactories(const VideoClientFactories* table) {
  const VideoClientFactories* previous = g_table.exchange(table != nullptr ? table : &kBuiltIn);
  return previous == &kBuiltIn ? nullptr : previous;
}

const VideoClientFactories& CurrentVideoClientFactories() { return *g_table.load(); }

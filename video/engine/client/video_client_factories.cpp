#include <atomic>

#include "video/engine/client/video_client_seams.h"
#include "video/engine/client/vse_client_engine.h"

namespace {

IVZVideoSession* MakeSession(IVZVideoSessionSink* sink) { return CreateVZVideoSession(sink).release(); }

// The library's own makers: the session over the transport library and the
// media engine.
const VideoClientFactories kBuiltIn = {&MakeSession, &CreateVseClientEngine};
std::atomic<const VideoClientFactories*> g_table{&kBuiltIn};

}  // namespace

const VideoClientFactories* SetVideoClientFactories(const VideoClientFactories* table) {
  const VideoClientFactories* previous = g_table.exchange(table != nullptr ? table : &kBuiltIn);
  return previous == &kBuiltIn ? nullptr : previous;
}

const VideoClientFactories& CurrentVideoClientFactories() { return *g_table.load(); }

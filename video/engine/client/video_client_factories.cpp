#include <atomic>

#include "video/engine/client/video_client_seams.h"

namespace {

// The library's own makers: none yet for the session and the engine, so a
// join reports that it cannot start until they are installed.
const VideoClientFactories kBuiltIn = {nullptr, nullptr};
std::atomic<const VideoClientFactories*> g_table{&kBuiltIn};

}  // namespace

const VideoClientFactories* SetVideoClientFactories(const VideoClientFactories* table) {
  const VideoClientFactories* previous = g_table.exchange(table != nullptr ? table : &kBuiltIn);
  return previous == &kBuiltIn ? nullptr : previous;
}

const VideoClientFactories& CurrentVideoClientFactories() { return *g_table.load(); }

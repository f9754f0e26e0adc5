#include "trace/collect_sink_slot.h"

#include "common/tracer_collect_sink.h"

namespace vz {
namespace {

// Calls in progress on this thread, over every slot (a sink that collects
// from inside OnCollectLog nests them).
thread_local int t_running_here = 0;

}  // namespace

void CollectSinkSlot::Set(ITracerCollectSink* sink) {
  std::unique_lock<std::mutex> hold(mutex_);
  sink_ = sink;
  has_sink_.store(sink != nullptr, std::memory_order_release);
  const int mine = t_running_here;
  idle_.wait(hold, [&] { return running_ <= mine; });
}

void CollectSinkSlot::Deliver(const char* line) {
  ITracerCollectSink* sink;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    sink = sink_;
    if (sink == nullptr) return;
    ++running_;
  }
  ++t_running_here;
  sink->OnCollectLog(line);
  --t_running_here;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    --running_;
  }
  idle_.notify_all();
}

}  // namespace vz

#pragma once
// The one collect sink of the log writer. A line is handed to the sink on
// the caller's thread; withdrawing or replacing the sink waits until no call
// to the old one is still running on another thread, so its owner may free
// it as soon as the withdrawal returns.
#include <atomic>
#include <condition_variable>
#include <mutex>

class ITracerCollectSink;

namespace vz {

class CollectSinkSlot {
 public:
  // Stores `sink` (null withdraws it). A sink may withdraw itself from inside
  // OnCollectLog: only calls on other threads are waited for.
  void Set(ITracerCollectSink* sink);
  bool HasSink() const { return has_sink_.load(std::memory_order_acquire); }
  // Calls OnCollectLog(line), or nothing without a sink.
  void Deliver(const char* line);

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  ITracerCollectSink* sink_ = nullptr;
  int running_ = 0;  // calls of OnCollectLog in progress, all threads
  std::atomic<bool> has_sink_{false};
};

}  // namespace vz

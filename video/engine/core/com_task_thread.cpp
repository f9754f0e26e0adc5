#include "video/engine/core/com_task_thread.h"

#include <atomic>
#include <future>
#include <new>
#include <vector>

#include "common/trace_client.h"

namespace VZSE_ {
namespace {
std::atomic<int> g_running_threads{0};
}  // namespace

int BaseThread::RunningCountForTesting() { return g_running_threads.load(); }

BaseThread::~BaseThread() {
  if (thread_.joinable()) {
    VZ_LOG_ERROR("m_Tid=%llu not joined by its owner", static_cast<unsigned long long>(thread_id_));
    if (IsCurrentThread()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

VseResult BaseThread::Create(void* argument, int type) {
  if (type != 1 && type != 2) return static_cast<VseResult>(-1);
  if (thread_.joinable()) {
    VZ_LOG_ERROR("thread already created");
    return VSE_E_FAIL;
  }
  argument_ = argument;
  type_ = type;
  std::promise<void> started;
  std::future<void> started_future = started.get_future();
  ++g_running_threads;
  try {
    thread_ = std::thread([this, &started] {
      std_id_ = std::this_thread::get_id();
      thread_id_ = static_cast<uint64_t>(std::hash<std::thread::id>{}(std_id_));
      OnThreadInit();
      started.set_value();
      OnThreadRun();
      if (delete_when_run_ends_) {
        // Disposed from inside itself: nobody will join it.
        thread_.detach();
        delete this;
      }
      --g_running_threads;
    });
  } catch (const std::system_error&) {
    --g_running_threads;
    VZ_LOG_ERROR("thread could not be started");
    return VSE_E_FAIL;
  }
  started_future.wait();
  return VSE_S_OK;
}

VseResult BaseThread::Join() {
  if (!thread_.joinable() || IsCurrentThread()) return VSE_E_FAIL;
  thread_.join();
  return VSE_S_OK;
}

ComTaskThread::ComTaskThread(EngineClock& clock) : clock_(clock) {}

ComTaskThread::~ComTaskThread() {
  // A thread still running here would read members being destroyed.
  if (!queue_.IsStopped()) Stop();
  Join();
}

VseResult ComTaskThread::Stop() {
  VZ_LOG("m_Tid=%llu m_stopp=%d", static_cast<unsigned long long>(thread_id()), stop_flag_.load() ? 1 : 0);
  auto* stop = new (std::nothrow) StopThreadEvent(this);
  if (stop == nullptr) return static_cast<VseResult>(-1);
  if (queue_.PostLastEvent(stop) != VSE_S_OK) VZ_LOG("ComTaskThread::Stop, PostEvent Failed");
  VZ_LOG("m_Tid=%llu is stopped", static_cast<unsigned long long>(thread_id()));
  return VSE_S_OK;
}

void ComTaskThread::Dispose(std::unique_ptr<ComTaskThread> thread) {
  if (!thread) return;
  if (!thread->IsCurrentThread()) {
    if (!thread->queue_.IsStopped()) thread->Stop();
    thread->Join();
    thread.reset();
    return;
  }
  VZ_LOG("m_Tid=%llu released on itself; it ends after its loop",
         static_cast<unsigned long long>(thread->thread_id()));
  thread->DeleteWhenRunEnds();
  if (!thread->queue_.IsStopped()) thread->Stop();
  thread.release();  // the thread deletes itself
}

void ComTaskThread::SetStopFlag() {
  VZ_LOG("m_bStopFlag=%d", 1);
  stop_flag_ = true;
}

void ComTaskThread::OnThreadInit() {
  if (timers_) VZ_LOG_ERROR("!m_pTimerQueue");
  timers_ = std::make_unique<TimerQueueOrderedList>(clock_);
  stop_flag_ = false;
}

void ComTaskThread::OnThreadRun() {
  std::vector<Event*> events;
  events.reserve(kEventsPerRound);
  while (!stop_flag_) {
    TimeValue next = TimeValue::Infinite();
    if (timers_) timers_->CheckExpire(&next);
    events.clear();
    queue_.WaitAndPop(&events, kEventsPerRound, next);
    for (Event* e : events) {
      e->OnEventFire();
      e->OnDestroy();
    }
  }
  queue_.DestroyAll();
  VZ_LOG("ComTaskThread::OnThreadRun, End.");
}

}  // namespace VZSE_

// Blocking sends between threads.
//
// The sender queues a request that lives on its own stack and sleeps on its
// thread's SendWaiter. A loop whose owner is asleep in a send signals that
// waiter when a send arrives for it, so the owner runs it and sleeps again:
// two loops sending to each other both get through. Lock order: a loop's
// mutex, then a waiter's mutex; never the other way round.
#include "platform/run_loop.h"

namespace vz {

RunLoop::SendWaiter& RunLoop::ThisThreadWaiter() {
  thread_local SendWaiter waiter;
  return waiter;
}

void RunLoop::SignalSendsArrived(SendWaiter* waiter) {
  std::lock_guard<std::mutex> lock(waiter->mutex);
  waiter->sends_arrived = true;
  waiter->cv.notify_all();
}

void RunLoop::CompleteSend(SendRequest* request, bool ran) {
  SendWaiter* waiter = request->waiter;
  std::lock_guard<std::mutex> lock(waiter->mutex);
  request->ran = ran;
  request->done = true;  // from here the sender may return and free `request`
  waiter->cv.notify_all();
}

bool RunLoop::Send(UniqueTask task) {
  if (BelongsToCurrentThread()) {
    if (IsStopped()) return false;
    task();
    return true;
  }
  SendWaiter& waiter = ThisThreadWaiter();
  SendRequest request{std::move(task), &waiter};
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_.load(std::memory_order_relaxed)) return false;
    sends_.push_back(&request);
    if (waiting_owner_) SignalSendsArrived(waiting_owner_);
    wake = sleeping_ && !wake_written_;
    if (wake) wake_written_ = true;
  }
  if (wake) Wake();

  // The calling thread's own loop (if it has one) keeps taking sends.
  RunLoop* own = Current();
  SendWaiter* previous = nullptr;
  if (own) own->EnterSendWait(&waiter, &previous);
  {
    std::unique_lock<std::mutex> lock(waiter.mutex);
    while (!request.done) {
      if (own && waiter.sends_arrived) {
        waiter.sends_arrived = false;
        lock.unlock();
        own->RunSends();
        lock.lock();
        continue;
      }
      waiter.cv.wait(lock);
    }
  }
  if (own) own->LeaveSendWait(previous);
  return request.ran;
}

void RunLoop::EnterSendWait(SendWaiter* waiter, SendWaiter** previous) {
  std::lock_guard<std::mutex> lock(mutex_);
  *previous = waiting_owner_;
  waiting_owner_ = waiter;
  std::lock_guard<std::mutex> waiter_lock(waiter->mutex);
  waiter->sends_arrived = !sends_.empty();
}

void RunLoop::LeaveSendWait(SendWaiter* previous) {
  std::lock_guard<std::mutex> lock(mutex_);
  waiting_owner_ = previous;
}

bool RunLoop::RunOneSend() {
  SendRequest* request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sends_.empty()) return false;
    request = sends_.front();
    sends_.pop_front();
  }
  request->task();
  request->task.Reset();  // what the task owns is freed on this thread, as for posts
  CompleteSend(request, true);
  return true;
}

size_t RunLoop::RunSends() {
  size_t ran = 0;
  while (!IsStopped() && RunOneSend()) ++ran;
  return ran;
}

size_t RunLoop::RunPendingSends() {
  if (!CheckOwner("RunPendingSends")) return 0;
  return RunSends();
}

}  // namespace vz

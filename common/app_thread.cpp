#include "common/app_thread.h"

#include <deque>
#include <mutex>
#include <utility>

#include "common/trace_client.h"
#include "platform/run_loop.h"

// Every posted message queues one delivery task on the run loop; a delivery
// handles whatever is at the front of the mailbox, so the mailbox's order is
// the order of handling. Each Start begins a new generation: deliveries and
// timers of an earlier one find nothing to do.
struct CAppThread::Mailbox {
  struct Message {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
    PayloadFree free_payload;
  };

  std::mutex mutex;
  CAppThread* owner = nullptr;  // null while not started: the window handle
  vz::RunLoop* loop = nullptr;
  uint64_t generation = 0;
  std::deque<Message> queue;
};

CAppThread::CAppThread() : mailbox_(std::make_shared<Mailbox>()) {}

CAppThread::~CAppThread() {
  if (IsStarted()) CAppThread::Stop();
}

bool CAppThread::Start(void* /*module_instance*/) {
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  std::lock_guard<std::mutex> lock(mailbox_->mutex);
  if (mailbox_->owner) {
    VZ_LOG_WARN("already started");
    return true;
  }
  if (loop.IsStopped()) {
    VZ_LOG_ERROR("the thread's run loop is stopped");
    return false;
  }
  mailbox_->owner = this;
  mailbox_->loop = &loop;
  ++mailbox_->generation;
  return true;
}

int CAppThread::Stop() {
  VZ_LOG_OBJ("Stop begin");
  std::deque<Mailbox::Message> dropped;
  vz::RunLoop* loop = nullptr;
  {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    if (mailbox_->owner) {
      mailbox_->owner = nullptr;
      loop = mailbox_->loop;
      dropped.swap(mailbox_->queue);
    }
  }
  // Freed outside the lock: a record's release may post to us (refused).
  for (const Mailbox::Message& message : dropped) {
    VZ_LOG_OBJ("Peek message ...");
    if (message.free_payload) message.free_payload(message.wParam, message.lParam);
  }
  if (loop) {
    if (loop->BelongsToCurrentThread()) {
      loop->KillTimers(mailbox_.get());
    } else {
      // Timers can only be killed on their thread; each ends itself there
      // the next time it fires.
      VZ_LOG_WARN("Stop called off the starting thread");
    }
  }
  VZ_LOG_OBJ("Stop END");
  return 1;
}

bool CAppThread::IsStarted() const {
  std::lock_guard<std::mutex> lock(mailbox_->mutex);
  return mailbox_->owner != nullptr;
}

int CAppThread::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return PostMessage(msg, wParam, lParam, nullptr);
}

int CAppThread::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, PayloadFree free_payload) {
  bool loop_stopped = false;
  {
    // Checking "started" and queueing under one lock: a post cannot slip in
    // after Stop has emptied the queue.
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    if (mailbox_->owner) {
      const uint64_t generation = mailbox_->generation;
      if (mailbox_->loop->Post([mailbox = mailbox_, generation] { DeliverOne(mailbox, generation); })) {
        mailbox_->queue.push_back(Mailbox::Message{msg, wParam, lParam, free_payload});
        return 1;
      }
      loop_stopped = true;
    }
  }
  if (loop_stopped) VZ_LOG_ERROR("the run loop is stopped; message %u dropped", msg);
  if (free_payload) free_payload(wParam, lParam);
  return 0;
}

void CAppThread::DeliverOne(const std::shared_ptr<Mailbox>& mailbox, uint64_t generation) {
  Mailbox::Message message;
  CAppThread* owner;
  {
    std::lock_guard<std::mutex> lock(mailbox->mutex);
    if (!mailbox->owner || mailbox->generation != generation || mailbox->queue.empty()) return;
    message = mailbox->queue.front();
    mailbox->queue.pop_front();
    owner = mailbox->owner;
  }
  // Nothing of the object is touched after this: the handler may release it.
  owner->OnMessage(message.msg, message.wParam, message.lParam);
}

bool CAppThread::SetTimer(uintptr_t timer_id, uint32_t interval_ms) {
  vz::RunLoop* loop;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    if (!mailbox_->owner) {
      VZ_LOG_ERROR("not started; timer %llu refused", static_cast<unsigned long long>(timer_id));
      return false;
    }
    loop = mailbox_->loop;
    generation = mailbox_->generation;
  }
  if (!loop->BelongsToCurrentThread()) {
    VZ_LOG_ERROR("called off the starting thread; timer %llu refused", static_cast<unsigned long long>(timer_id));
    return false;
  }
  return loop->StartTimer(mailbox_.get(), timer_id, interval_ms,
                          [mailbox = mailbox_, generation, loop, timer_id] {
                            FireTimer(mailbox, generation, loop, timer_id);
                          });
}

bool CAppThread::KillTimer(uintptr_t timer_id) {
  vz::RunLoop* loop;
  {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    if (!mailbox_->owner) return false;
    loop = mailbox_->loop;
  }
  if (!loop->BelongsToCurrentThread()) {
    VZ_LOG_ERROR("called off the starting thread; timer %llu not killed", static_cast<unsigned long long>(timer_id));
    return false;
  }
  return loop->KillTimer(mailbox_.get(), timer_id);
}

void CAppThread::FireTimer(const std::shared_ptr<Mailbox>& mailbox, uint64_t generation,
                           vz::RunLoop* loop, uintptr_t timer_id) {
  CAppThread* owner;
  {
    std::lock_guard<std::mutex> lock(mailbox->mutex);
    owner = mailbox->generation == generation ? mailbox->owner : nullptr;
  }
  if (!owner) {
    // Left over from a Stop made off this thread.
    loop->KillTimer(mailbox.get(), timer_id);
    return;
  }
  owner->OnTimer(timer_id);
}

// The run loop's life, its queue of posted tasks, Run and Stop. Sends,
// timers and the poll step live in the other run_loop_*.cpp files.
#include "platform/run_loop.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform_log.h"

namespace vz {
namespace {

// After this many posted tasks in a row, timers and descriptors get a turn.
constexpr size_t kPostedBatch = 64;

struct ThreadLoops {
  RunLoop* current = nullptr;
  std::unique_ptr<RunLoop> owned;
  // The thread's own loop goes first, while `current` is still readable.
  ~ThreadLoops() { owned.reset(); }
};
thread_local ThreadLoops t_loops;

}  // namespace

RunLoop& RunLoop::ForCurrentThread() {
  if (!t_loops.current) {
    // The constructor makes it the current loop.
    t_loops.owned = std::make_unique<RunLoop>(SystemClock());
  }
  return *t_loops.current;
}

RunLoop* RunLoop::Current() { return t_loops.current; }

RunLoop::RunLoop(Clock& clock)
    : clock_(clock), owner_(std::this_thread::get_id()), previous_current_(t_loops.current) {
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    PlatformLog("RunLoop: eventfd failed (errno %d); the loop looks for work every 10 ms", errno);
  }
  t_loops.current = this;
}

RunLoop::~RunLoop() {
  if (!BelongsToCurrentThread()) {
    PlatformLog("RunLoop: destroyed off its own thread");
  }
  DropEverything();
  if (BelongsToCurrentThread() && t_loops.current == this) t_loops.current = previous_current_;
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

bool RunLoop::CheckOwner(const char* operation) const {
  if (BelongsToCurrentThread()) return true;
  PlatformLog("RunLoop::%s called off the loop's own thread; refused", operation);
  return false;
}

bool RunLoop::Post(UniqueTask task) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopped_.load(std::memory_order_relaxed)) {
    lock.unlock();
    return false;  // the task dies here, outside the lock: its destructor may post
  }
  posted_.push_back(std::move(task));
  const bool wake = sleeping_ && !wake_written_;
  if (wake) wake_written_ = true;
  lock.unlock();
  if (wake) Wake();
  return true;
}

bool RunLoop::RunOnePosted() {
  UniqueTask task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (posted_.empty()) return false;
    task = std::move(posted_.front());
    posted_.pop_front();
  }
  task();
  return true;
}

size_t RunLoop::RunPostedBatch(size_t limit, const bool* quit) {
  size_t ran = 0;
  for (size_t posted = 0; posted < limit; ++posted) {
    if (IsStopped() || (quit && *quit)) break;
    ran += RunSends();
    if (IsStopped() || (quit && *quit)) break;
    if (!RunOnePosted()) break;
    ++ran;
  }
  return ran;
}

void RunLoop::Run() {
  if (!CheckOwner("Run")) return;
  bool quit = false;
  run_frames_.push_back(&quit);
  while (!quit && !IsStopped()) {
    size_t ran = RunPostedBatch(kPostedBatch, &quit);
    if (quit || IsStopped()) break;
    ran += RunDueTimers();
    if (quit || IsStopped()) break;
    // Busy with tasks and nothing watched: skip the poll system call.
    if (ran > 0 && watches_.empty()) continue;
    PollOnce(ran > 0 ? 0 : MsUntilNextTimer());
  }
  run_frames_.pop_back();
}

void RunLoop::Quit() {
  if (!BelongsToCurrentThread()) {
    Post([this] { Quit(); });
    return;
  }
  if (!run_frames_.empty()) *run_frames_.back() = true;
}

size_t RunLoop::RunPending() {
  if (!CheckOwner("RunPending")) return 0;
  size_t waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting = posted_.size();
  }
  size_t ran = RunSends();
  ran += RunPostedBatch(waiting, nullptr);
  if (IsStopped()) return ran;
  ran += RunDueTimers();
  if (IsStopped()) return ran;
  ran += PollOnce(0);
  return ran;
}

size_t RunLoop::RunUntilIdle() {
  size_t total = 0;
  while (!IsStopped()) {
    const size_t ran = RunPending();
    if (ran == 0) break;
    total += ran;
  }
  return total;
}

void RunLoop::Stop() {
  if (!CheckOwner("Stop")) return;
  DropEverything();
}

void RunLoop::DropEverything() {
  std::deque<UniqueTask> posted;
  std::deque<SendRequest*> sends;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_.store(true, std::memory_order_release);
    posted.swap(posted_);
    sends.swap(sends_);
  }
  // Destructors run with no lock held and the tables already empty, so a
  // dying task may post (refused) or kill timers without harm.
  posted.clear();
  for (SendRequest* request : sends) {
    request->task.Reset();
    CompleteSend(request, false);
  }
  std::map<TimerKey, Timer> timers;
  timers.swap(timers_);
  timer_order_.clear();
  std::map<int, Watch> watches;
  watches.swap(watches_);
  timers.clear();
  watches.clear();
}

}  // namespace vz

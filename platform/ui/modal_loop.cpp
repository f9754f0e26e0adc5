#include "platform/ui/modal_loop.h"

#include "platform/platform_log.h"
#include "platform/run_loop.h"

namespace vz {

namespace {
thread_local ModalLoop* t_innermost = nullptr;
}

ModalLoop::ModalLoop(RunLoop& loop) : loop_(loop) {}

ModalLoop::~ModalLoop() {
  if (running_) {
    // Destroyed from inside its own Run (by a task): end it; Run must not
    // touch this object afterwards, which it does not once ended_ is read.
    PlatformLog("modal loop destroyed while running");
  }
}

ModalLoop* ModalLoop::Innermost() { return t_innermost; }

int ModalLoop::Run() {
  if (!loop_.BelongsToCurrentThread()) {
    PlatformLog("modal loop: Run refused off the UI thread");
    return kLoopStopped;
  }
  if (ended_) return result_;
  running_ = true;
  outer_ = t_innermost;
  if (outer_ != nullptr) outer_->inner_ = this;
  t_innermost = this;
  // Each turn: one Run of the thread's loop, which this loop's End (or an
  // inner loop's unwinding) quits. Quit only ends the innermost Run, so a
  // quit meant for an outer loop is passed down as the inner loops end.
  while (!ended_ && !loop_.IsStopped()) loop_.Run();
  t_innermost = outer_;
  if (outer_ != nullptr) {
    outer_->inner_ = nullptr;
    // An outer loop that ended meanwhile needs its own Run quit now.
    if (outer_->ended_) loop_.Quit();
  }
  running_ = false;
  if (!ended_) {
    ended_ = true;
    result_ = kLoopStopped;
  }
  return result_;
}

void ModalLoop::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  if (!running_) return;
  // Inner loops end first; the innermost's Run is the one to quit.
  if (inner_ != nullptr) {
    inner_->End(kEndedByOuter);
  } else {
    loop_.Quit();
  }
}

}  // namespace vz

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
  // One Run of the thread's loop, which this loop's End quits. A Quit that
  // came from elsewhere (the program quitting while a dialog is open) was
  // meant for the thread's own loop: this loop ends, and the quit is passed
  // on to the Run below it, so every nested loop unwinds and the program's
  // loop ends too.
  bool passed_on_quit = false;
  if (!loop_.IsStopped()) loop_.Run();
  if (!ended_ && !loop_.IsStopped()) {
    ended_ = true;
    result_ = kEndedByOuter;
    passed_on_quit = true;
  }
  t_innermost = outer_;
  if (outer_ != nullptr) outer_->inner_ = nullptr;
  // An outer loop that ended meanwhile, or a quit for the loop below.
  if (passed_on_quit || (outer_ != nullptr && outer_->ended_)) loop_.Quit();
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

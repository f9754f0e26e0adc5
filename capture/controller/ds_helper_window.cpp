#include "capture/controller/ds_helper_window.h"

#include <optional>
#include <utility>

#include "common/trace_client.h"
#include "platform/run_loop.h"

// Shared with the tasks in flight, so a task that runs after Destroy finds
// the window gone instead of a freed object.
struct CDsHelperWindow::State {
  vz::RunLoop* loop = nullptr;
  std::atomic<bool> alive{false};
  Procedure procedure;  // owner thread only

  intptr_t Dispatch(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!alive.load(std::memory_order_acquire) || !procedure) return 0;
    return procedure(message, wparam, lparam);
  }
};

CDsHelperWindow::~CDsHelperWindow() { Destroy(); }

bool CDsHelperWindow::Create(Procedure procedure) {
  Destroy();
  auto state = std::make_shared<State>();
  state->loop = &vz::RunLoop::ForCurrentThread();
  state->procedure = std::move(procedure);
  state->alive.store(true, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = std::move(state);
  }
  VZ_LOG("Helper wnd created.");
  return true;
}

void CDsHelperWindow::Destroy() {
  std::shared_ptr<State> state;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state.swap(state_);
  }
  if (!state) return;
  state->alive.store(false, std::memory_order_release);
  if (state->loop->BelongsToCurrentThread()) state->procedure = nullptr;
  VZ_LOG("Quit msg thread");
}

std::shared_ptr<CDsHelperWindow::State> CDsHelperWindow::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

vz::RunLoop* CDsHelperWindow::loop() const {
  std::shared_ptr<State> state = Current();
  return state ? state->loop : nullptr;
}

bool CDsHelperWindow::Post(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  std::shared_ptr<State> state = Current();
  if (!state || !state->alive.load(std::memory_order_acquire)) return false;
  return state->loop->Post([state, message, wparam, lparam] { state->Dispatch(message, wparam, lparam); });
}

intptr_t CDsHelperWindow::Send(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  std::shared_ptr<State> state = Current();
  if (!state || !state->alive.load(std::memory_order_acquire)) return 0;
  std::optional<intptr_t> result = state->loop->SendWithResult(
      [&state, message, wparam, lparam] { return state->Dispatch(message, wparam, lparam); });
  return result.value_or(0);
}

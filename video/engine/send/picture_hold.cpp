#include "video/engine/send/picture_hold.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace picture_hold {
namespace {

enum class State { kOff, kArmed, kHolding, kLetGo };

struct Hold {
  std::mutex lock;
  std::condition_variable changed;
  State state = State::kOff;
  const void* channel = nullptr;  // whose picture waits
};

Hold& TheHold() {
  static Hold hold;
  return hold;
}

// Off the lock, so that channels pay nothing while no test holds.
std::atomic<bool> g_in_use{false};

}  // namespace

void HoldNext() {
  Hold& hold = TheHold();
  std::lock_guard<std::mutex> guard(hold.lock);
  if (hold.state != State::kOff) return;
  hold.state = State::kArmed;
  g_in_use = true;
}

bool Held() {
  Hold& hold = TheHold();
  std::lock_guard<std::mutex> guard(hold.lock);
  return hold.state == State::kHolding;
}

void LetGo() {
  Hold& hold = TheHold();
  std::lock_guard<std::mutex> guard(hold.lock);
  if (hold.state == State::kHolding) hold.state = State::kLetGo;
  if (hold.state == State::kArmed) {
    hold.state = State::kOff;
    g_in_use = false;
  }
  hold.changed.notify_all();
}

void WaitIfHeld(const void* channel) {
  if (!g_in_use.load()) return;
  Hold& hold = TheHold();
  std::unique_lock<std::mutex> guard(hold.lock);
  if (hold.state != State::kArmed) return;
  hold.state = State::kHolding;
  hold.channel = channel;
  hold.changed.wait(guard, [&hold] { return hold.state == State::kLetGo; });
  hold.state = State::kOff;
  hold.channel = nullptr;
  g_in_use = false;
}

void ChannelStopping(const void* channel) {
  if (!g_in_use.load()) return;
  Hold& hold = TheHold();
  std::lock_guard<std::mutex> guard(hold.lock);
  if (hold.state != State::kHolding || hold.channel != channel) return;
  hold.state = State::kLetGo;
  hold.changed.notify_all();
}

}  // namespace picture_hold

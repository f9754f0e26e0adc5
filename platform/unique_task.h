#pragma once
// A move-only `void()` callable: the unit of work that run loops queue.
// It owns what its callable captured; a task that is destroyed without being
// run (a dropped post, a stopped loop) frees all of it.
#include <memory>
#include <type_traits>
#include <utility>

namespace vz {

class UniqueTask {
 public:
  UniqueTask() = default;

  template <typename F,
            typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, UniqueTask> &&
                                        std::is_invocable_r_v<void, std::decay_t<F>&>>>
  UniqueTask(F&& callable)  // NOLINT: implicit, so lambdas convert at call sites
      : holder_(std::make_unique<Holder<std::decay_t<F>>>(std::forward<F>(callable))) {}

  UniqueTask(UniqueTask&&) noexcept = default;
  UniqueTask& operator=(UniqueTask&&) noexcept = default;
  UniqueTask(const UniqueTask&) = delete;
  UniqueTask& operator=(const UniqueTask&) = delete;

  explicit operator bool() const { return holder_ != nullptr; }

  // Runs the callable; an empty task does nothing. A task may be run more
  // than once (timers do), and keeps what it owns until it is destroyed.
  void operator()() {
    if (holder_) holder_->Run();
  }

  // Destroys the callable and what it owns now.
  void Reset() { holder_.reset(); }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
    virtual void Run() = 0;
  };
  template <typename F>
  struct Holder final : HolderBase {
    template <typename G>
    explicit Holder(G&& g) : callable(std::forward<G>(g)) {}
    void Run() override { callable(); }
    F callable;
  };

  std::unique_ptr<HolderBase> holder_;
};

}  // namespace vz

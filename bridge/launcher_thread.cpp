#include "bridge/launcher_thread.h"

#include <exception>
#include <system_error>

#include "common/trace_client.h"
#include "platform/process.h"

LauncherThread::~LauncherThread() {
  RequestQuit();
  Join();
}

bool LauncherThread::Start() {
  try {
    thread_ = std::thread(&LauncherThread::ThreadRun, this);
  } catch (const std::system_error& error) {
    VZ_LOG_ERROR("->CreateThread_i failed error=%d", error.code().value());
    return false;
  }
  loop_ready_.Wait(vz::Event::kInfinite);
  return true;
}

void LauncherThread::ThreadRun() {
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  bool quit;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = &loop;
    thread_id_ = vz::ThreadId();
    quit = quit_requested_;
  }
  loop_ready_.Set();
  if (!quit) {
    // The launcher guards its own steps; this is the last line, so that
    // nothing thrown (memory running out) ends the process.
    try {
      loop.Run();
    } catch (const std::exception& error) {
      VZ_LOG_ERROR("the launcher thread's loop ended by an exception: %s", error.what());
    } catch (...) {
      VZ_LOG_ERROR("the launcher thread's loop ended by an exception");
    }
  }
  {
    // Others must not reach the loop once it ends with this thread.
    std::lock_guard<std::mutex> lock(mutex_);
    loop_ = nullptr;
  }
  loop.Stop();  // what is still queued is dropped unrun
}

vz::RunLoop* LauncherThread::Loop() {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_;
}

bool LauncherThread::Post(vz::UniqueTask task) {
  std::lock_guard<std::mutex> lock(mutex_);
  return loop_ != nullptr && loop_->Post(std::move(task));
}

void LauncherThread::RequestQuit() {
  std::lock_guard<std::mutex> lock(mutex_);
  quit_requested_ = true;
  if (loop_ == nullptr) return;
  // Quit from another thread is posted and ends the loop's Run; on the thread
  // itself it ends the Run in progress.
  if (loop_->BelongsToCurrentThread()) {
    loop_->Quit();
  } else {
    loop_->Post([loop = loop_] { loop->Quit(); });
  }
}

void LauncherThread::Join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    VZ_LOG_ERROR("the launcher thread cannot wait for itself");
    return;
  }
  thread_.join();
}

int LauncherThread::ThreadId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return thread_id_;
}

#include "platform/ui/message_hook.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/platform_log.h"
#include "platform/run_loop.h"

namespace vz {
namespace {

// One installed filter: the sinks of one thread and hook type.
struct CHookEntry {
  bool dispatching = false;
  std::vector<IHookMessageSink*> sinks;
};

class CCentralizedHook {
 public:
  // One lock for the map and every dispatch: a removal from another thread
  // waits until the thread's chain is done with the sink.
  std::recursive_mutex lock;
  std::map<std::thread::id, std::map<int32_t, std::unique_ptr<CHookEntry>>> threads;
};

CCentralizedHook& Hook() {
  static CCentralizedHook* hook = new CCentralizedHook();  // lives until the process ends
  return *hook;
}

struct MessageNames {
  std::mutex lock;
  std::map<std::string, uint32_t> ids;
  uint32_t next = 0xC000;
};

MessageNames& Names() {
  static MessageNames* names = new MessageNames();
  return *names;
}

}  // namespace

uint32_t RegisterWindowMessageName(const std::string& name) {
  if (name.empty()) return 0;
  MessageNames& names = Names();
  std::lock_guard<std::mutex> guard(names.lock);
  auto [it, added] = names.ids.emplace(name, names.next);
  if (added) ++names.next;
  return it->second;
}

bool SetCentralizedHook(std::thread::id thread, int32_t hook_type, IHookMessageSink* sink) {
  if (thread != std::this_thread::get_id()) {
    PlatformLog("message hook: set from another thread than the hooked one");
    return false;
  }
  if (sink == nullptr) return false;
  CCentralizedHook& hook = Hook();
  std::lock_guard<std::recursive_mutex> guard(hook.lock);
  auto& entries = hook.threads[thread];
  std::unique_ptr<CHookEntry>& entry = entries[hook_type];
  if (!entry) entry = std::make_unique<CHookEntry>();
  if (entry->dispatching) {
    PlatformLog("message hook: set while its entry is dispatching");
    return false;
  }
  if (std::find(entry->sinks.begin(), entry->sinks.end(), sink) == entry->sinks.end()) {
    entry->sinks.push_back(sink);
  }
  return true;
}

bool RemoveCentralizedHook(std::thread::id thread, int32_t hook_type, IHookMessageSink* sink) {
  CCentralizedHook& hook = Hook();
  std::lock_guard<std::recursive_mutex> guard(hook.lock);
  auto t = hook.threads.find(thread);
  if (t == hook.threads.end()) return true;
  auto e = t->second.find(hook_type);
  if (e == t->second.end()) return true;
  CHookEntry& entry = *e->second;
  // Only the dispatching thread can get here while dispatching (the lock).
  if (entry.dispatching) {
    PlatformLog("message hook: remove while its entry is dispatching");
    return false;
  }
  auto s = std::find(entry.sinks.begin(), entry.sinks.end(), sink);
  if (s != entry.sinks.end()) entry.sinks.erase(s);
  if (entry.sinks.empty()) {
    t->second.erase(e);
    if (t->second.empty()) hook.threads.erase(t);
  }
  return true;
}

bool DispatchHookMessage(const HookMessage& message, bool removal) {
  CCentralizedHook& hook = Hook();
  std::lock_guard<std::recursive_mutex> guard(hook.lock);
  auto t = hook.threads.find(std::this_thread::get_id());
  if (t == hook.threads.end()) return false;
  auto e = t->second.find(kHookGetMessage);
  if (e == t->second.end()) return false;
  CHookEntry& entry = *e->second;
  if (entry.dispatching) return false;  // a nested loop inside a sink: the outer round owns the entry
  entry.dispatching = true;
  bool handled = false;
  // Sinks cannot change the list during the round (refused above), so the
  // walk needs no copy.
  for (IHookMessageSink* sink : entry.sinks) {
    int32_t sink_handled = 0;
    sink->OnHookMessage(0, removal ? 1 : 0, &message, &sink_handled);
    if (sink_handled) {
      handled = true;
      break;
    }
  }
  entry.dispatching = false;
  return handled;
}

bool PostHookMessage(RunLoop& loop, const HookMessage& message) {
  return loop.Post([message] { DispatchHookMessage(message, true); });
}

size_t CentralizedHookFilterCount(std::thread::id thread) {
  CCentralizedHook& hook = Hook();
  std::lock_guard<std::recursive_mutex> guard(hook.lock);
  auto t = hook.threads.find(thread);
  return t == hook.threads.end() ? 0 : t->second.size();
}

}  // namespace vz

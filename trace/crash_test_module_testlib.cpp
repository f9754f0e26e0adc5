// libvzcrashtestmodule.so: a small library that the crash tests load and
// unload in a loop on one thread while another thread faults. It stands in
// for any library in the process that uses the dynamic loader: it can also
// hold the loader's list of images (and so its lock), as an unwinder or a
// profiler walking the images does, for as long as a test needs.
#include <link.h>

#include <atomic>
#include <cstring>

namespace {

char g_table[4096];

// The constructor and destructor give the loader some work of their own.
struct Fill {
  Fill() { std::memset(g_table, 1, sizeof(g_table)); }
  ~Fill() { std::memset(g_table, 0, sizeof(g_table)); }
} g_fill;

std::atomic<bool> g_holding{false};

int HoldForever(dl_phdr_info*, size_t, void*) {
  g_holding.store(true);
  for (;;) std::atomic_signal_fence(std::memory_order_seq_cst);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int VzCrashTestModuleValue() { return g_table[7]; }

// Never returns: walks the loader's list and stops inside the walk.
extern "C" __attribute__((visibility("default"))) void VzCrashTestModuleHoldLoaderList() {
  dl_iterate_phdr(HoldForever, nullptr);
}

extern "C" __attribute__((visibility("default"))) bool VzCrashTestModuleIsHolding() { return g_holding.load(); }

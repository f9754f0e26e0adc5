#include "platform/elf_modules.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/module_loader.h"
#include "platform/process.h"

namespace vz {
namespace {

__attribute__((noinline)) int CodeInTheTestBinary(int x) { return x + 1; }

class ElfModulesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(RefreshElfModuleSnapshot(), 2u); }
};

TEST_F(ElfModulesTest, AnAddressInTheProgramGivesItsPathSegmentAndBuildId) {
  const auto address = reinterpret_cast<uintptr_t>(&CodeInTheTestBinary);
  ElfModuleInfo info;
  ASSERT_TRUE(FindElfModule(address, &info));
  EXPECT_EQ(std::string(info.path), ExecutablePath());
  EXPECT_GE(address, info.image_start);
  EXPECT_LT(address, info.image_start + info.image_size);
  EXPECT_GE(info.segment_number, 1u);
  EXPECT_LT(info.segment_offset, info.image_size);
  EXPECT_EQ(info.build_id_size, 20u) << "the toolchain writes a 160-bit build-id";
  EXPECT_TRUE(info.segment_executable);
  static const int kData = 5;
  ASSERT_TRUE(FindElfModule(reinterpret_cast<uintptr_t>(&kData), &info));
  EXPECT_FALSE(info.segment_executable);
}

TEST_F(ElfModulesTest, AnAddressInASharedLibraryGivesTheLibrary) {
  ElfModuleInfo info;
  ASSERT_TRUE(FindElfModule(reinterpret_cast<uintptr_t>(&FindElfModule), &info));
  const std::string path = info.path;
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "libvzplatform.so");
  EXPECT_NE(info.load_bias, 0u);
}

TEST_F(ElfModulesTest, AddressesOutsideEveryImageGiveNothing) {
  ElfModuleInfo info;
  EXPECT_FALSE(FindElfModule(0x10, &info));
  int on_the_stack = 0;
  EXPECT_FALSE(FindElfModule(reinterpret_cast<uintptr_t>(&on_the_stack), &info));
}

// The module loader keeps the snapshot current: a library appears in it when
// loaded and leaves it when unloaded.
TEST_F(ElfModulesTest, TheModuleLoaderRefreshesTheSnapshot) {
  ModuleHandle module = LoadModule("vzloadertest").module;
  ASSERT_NE(module, nullptr);
  void* symbol = GetModuleOrdinal(module, 1);
  ASSERT_NE(symbol, nullptr);
  const auto address = reinterpret_cast<uintptr_t>(symbol);
  ElfModuleInfo info;
  ASSERT_TRUE(FindElfModule(address, &info));
  const std::string path = info.path;
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "libvzloadertest.so");
  FreeModule(module);
  ElfModuleInfo after;
  EXPECT_FALSE(FindElfModule(address, &after) && std::string(after.path) == path);
}

// A library some other code loaded, behind the module loader's back.
class DirectlyLoadedLibrary {
 public:
  DirectlyLoadedLibrary() : handle_(dlopen((ExecutableDir() + "/libvzloadertest.so").c_str(), RTLD_NOW)) {}
  ~DirectlyLoadedLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  uintptr_t Function() const {
    return handle_ != nullptr ? reinterpret_cast<uintptr_t>(dlsym(handle_, "VzLoaderTestFirst")) : 0;
  }

 private:
  void* handle_;
};

std::string BaseName(const char* path) {
  const std::string text = path;
  return text.substr(text.rfind('/') + 1);
}

TEST_F(ElfModulesTest, ALibraryLoadedSinceTheLastRefreshIsFoundInTheLoaderList) {
  DirectlyLoadedLibrary library;
  const uintptr_t address = library.Function();
  ASSERT_NE(address, 0u);
  ElfModuleInfo live;
  ASSERT_TRUE(FindElfModule(address, &live));
  EXPECT_EQ(BaseName(live.path), "libvzloadertest.so");
  EXPECT_GE(live.segment_number, 1u);
  EXPECT_EQ(live.build_id_size, 20u);
  // The snapshot, once refreshed, says the same.
  RefreshElfModuleSnapshot();
  ElfModuleInfo snapped;
  ASSERT_TRUE(FindElfModule(address, &snapped));
  EXPECT_STREQ(snapped.path, live.path);
  EXPECT_EQ(snapped.load_bias, live.load_bias);
  EXPECT_EQ(snapped.image_start, live.image_start);
  EXPECT_EQ(snapped.image_size, live.image_size);
  EXPECT_EQ(snapped.segment_number, live.segment_number);
  EXPECT_EQ(snapped.segment_offset, live.segment_offset);
  EXPECT_TRUE(live.segment_executable);
  EXPECT_TRUE(snapped.segment_executable);
  EXPECT_EQ(0, std::memcmp(snapped.build_id, live.build_id, sizeof(live.build_id)));
}

// Holds the loader's list of images (and its lock) inside a dl_iterate_phdr
// callback until released, as a thread inside dlopen or dlclose holds it.
class LoaderListHolder {
 public:
  LoaderListHolder() {
    thread_ = std::thread([this] { dl_iterate_phdr(&LoaderListHolder::Hold, this); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return held_; });
  }
  ~LoaderListHolder() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

 private:
  static int Hold(dl_phdr_info*, size_t, void* data) {
    auto* self = static_cast<LoaderListHolder*>(data);
    std::unique_lock<std::mutex> lock(self->mutex_);
    self->held_ = true;
    self->changed_.notify_all();
    self->changed_.wait(lock, [self] { return self->released_; });
    return 1;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
  std::thread thread_;
};

TEST_F(ElfModulesTest, ALookupDoesNotWaitForTheLoader) {
  const auto address = reinterpret_cast<uintptr_t>(&CodeInTheTestBinary);
  // Loaded before the list is held (loading waits for it too); only in the loader's list.
  DirectlyLoadedLibrary library;
  const uintptr_t unlisted = library.Function();
  ASSERT_NE(unlisted, 0u);
  auto holder = std::make_unique<LoaderListHolder>();
  // On a thread of its own, so that a lookup that waited fails the test
  // instead of hanging it (the holder's release then lets it finish).
  std::future<bool> found = std::async(std::launch::async, [address, unlisted] {
    ElfModuleInfo info;
    ElfModuleInfo other;
    return FindElfModule(address, &info) && std::string(info.path) == ExecutablePath() &&
           FindElfModule(unlisted, &other) && BaseName(other.path) == "libvzloadertest.so";
  });
  const bool answered = found.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  holder.reset();
  EXPECT_TRUE(answered) << "the lookup waits for the loader";
  EXPECT_TRUE(found.get());
}

// Lookups on several threads while another refreshes without pause: every
// lookup finds the program (never a half-written snapshot).
TEST_F(ElfModulesTest, LookupsDuringRefreshesSeeWholeSnapshots) {
  const auto address = reinterpret_cast<uintptr_t>(&CodeInTheTestBinary);
  const std::string program = ExecutablePath();
  std::atomic<bool> stop{false};
  std::thread refresher([&stop] {
    while (!stop.load()) RefreshElfModuleSnapshot();
  });
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        ElfModuleInfo info;
        if (!FindElfModule(address, &info) || program != info.path || info.build_id_size != 20) wrong.fetch_add(1);
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  stop.store(true);
  refresher.join();
  EXPECT_EQ(wrong.load(), 0);
}

// Another thread loads and unloads a library, as a graphics driver does on a
// thread of its own, while the snapshot is refreshed: every refresh lists the
// program. The paths differ in length (extra slashes), so that the loader's
// copy of the name ends at every alignment.
TEST_F(ElfModulesTest, RefreshesWhileAnotherThreadLoadsAndUnloadsSeeWholeLists) {
  std::atomic<bool> stop{false};
  std::atomic<int> loads{0};
  std::thread loader([&stop, &loads] {
    const std::string folder = ExecutableDir();
    for (int round = 0; !stop.load(); ++round) {
      const std::string path = folder + std::string(static_cast<size_t>(1 + round % 8), '/') + "libvzloadertest.so";
      void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) continue;
      loads.fetch_add(1);
      dlclose(handle);
    }
  });
  const auto address = reinterpret_cast<uintptr_t>(&CodeInTheTestBinary);
  const std::string program = ExecutablePath();
  int wrong = 0;
  for (int i = 0; i < 2000 || (loads.load() < 64 && i < 1000000); ++i) {
    RefreshElfModuleSnapshot();
    ElfModuleInfo info;
    if (!FindElfModule(address, &info) || program != info.path) ++wrong;
  }
  stop.store(true);
  loader.join();
  EXPECT_GT(loads.load(), 0);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace vz

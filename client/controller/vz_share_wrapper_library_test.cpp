// The sharing wrapper over the platform's loader and a real library
// (libvzwrappertest.so, built beside the test in place of vzshare).
#include <gtest/gtest.h>

#include "client/controller/vz_share_wrapper.h"

namespace {

// Opens the test library whenever a wrapper asks for vzshare.
class RedirectingLoader : public vz::IModuleLoader {
 public:
  vz::OpenedLibrary Open(std::string_view file_name) override {
    ++opens;
    EXPECT_EQ(file_name, "vzshare.dll");
    return vz::SystemModuleLoader().Open("vzwrappertest");
  }
  void* Ordinal(void* module, int ordinal) override { return vz::SystemModuleLoader().Ordinal(module, ordinal); }

  int opens = 0;
};

IDSProviderSink* SomeSink() {
  static char storage[16];
  return reinterpret_cast<IDSProviderSink*>(storage);
}

TEST(ShareWrapperLibraryTest, TwoSessionsLoadTheLibraryByNameAndItStaysMapped) {
  RedirectingLoader loader;
  DSSessionConfig session{};
  session.TcpPort = 443;
  int32_t created_in_first = 0;
  {
    CVzShareWrapper first(loader);
    ASSERT_EQ(first.CreateInstance(SomeSink(), 1), 1);
    EXPECT_EQ(first.StartDS(nullptr, &session, nullptr), 443);  // a call into the library's engine
    EXPECT_EQ(first.StopDS(), 1);                               // the mode the factory got
    created_in_first = first.GetCaptureHold();
    EXPECT_GE(created_in_first, 1);
  }
  {
    CVzShareWrapper second(loader);
    ASSERT_EQ(second.CreateInstance(SomeSink(), 3), 1);
    EXPECT_EQ(second.StopDS(), 3);
    // The library's own counter went on: it was never unloaded in between.
    EXPECT_EQ(second.GetCaptureHold(), created_in_first + 1);
  }
  EXPECT_EQ(loader.opens, 2);
}

}  // namespace

#include "platform/module_loader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/platform_log_sink_testlib.h"

namespace vz {
namespace {

using ExportFn = int (*)();

TEST(ModuleLoaderTest, LoadsTheTestLibraryByAnyFormOfItsName) {
  for (const char* name : {"vzloadertest", "vzloadertest.dll", "VzLoaderTest.DLL", "libvzloadertest.so"}) {
    SCOPED_TRACE(name);
    const ModuleLoad load = LoadModule(name);
    ModuleHandle module = load.module;
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(load.error.code, 0);
    EXPECT_EQ(load.error.reason, "");
    // Ordinals 1 and 2 resolve, through the table, to the library's named exports.
    auto first = reinterpret_cast<ExportFn>(GetModuleOrdinal(module, 1));
    auto second = reinterpret_cast<ExportFn>(GetModuleOrdinal(module, 2));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first(), 101);
    EXPECT_EQ(second(), 202);
    EXPECT_EQ(reinterpret_cast<void*>(first), GetModuleSymbol(module, "VzLoaderTestFirst"));
    FreeModule(module);
  }
}

TEST(ModuleLoaderTest, AFailedLoadReturnsItsCodeAndReasonAndLogsIt) {
  CapturedPlatformLog log;
  const ModuleLoad missing = LoadModule("vznosuchlibrary");
  EXPECT_EQ(missing.module, nullptr);
  EXPECT_EQ(missing.error.code, ENOENT);
  EXPECT_NE(missing.error.reason.find("libvznosuchlibrary.so"), std::string::npos) << missing.error.reason;
  EXPECT_TRUE(log.Has({"libvznosuchlibrary.so", "cannot open shared object file"}));
  // A path or an empty name is not a library file name.
  for (const char* name : {"/tmp/libvzloadertest.so", ""}) {
    const ModuleLoad refused = LoadModule(name);
    EXPECT_EQ(refused.module, nullptr) << name;
    EXPECT_EQ(refused.error.code, EINVAL) << name;
    EXPECT_NE(refused.error.reason.find("not a library file name"), std::string::npos) << name;
  }
  EXPECT_EQ(log.lines().size(), 3u);
}

TEST(ModuleLoaderTest, AFileBesideTheProgramThatIsNoLibraryFailsWithItsOwnReason) {
  // Beside the program comes first, and a broken copy there is not hidden
  // by a search elsewhere.
  const std::string name = "vzjunk" + std::to_string(ProcessId());
  const std::string path = JoinPath(ExecutableDir(), "lib" + name + ".so");
  ASSERT_TRUE(WriteFileAtomic(path, "this is not a shared object", 0644));
  CapturedPlatformLog log;
  const ModuleLoad load = LoadModule(name + ".dll");
  RemoveFile(path);
  EXPECT_EQ(load.module, nullptr);
  EXPECT_EQ(load.error.code, ELIBBAD) << "the file was there, but is no library";
  EXPECT_NE(load.error.reason.find(path), std::string::npos) << load.error.reason;
  EXPECT_TRUE(log.Has({path}));
}

TEST(ModuleLoaderTest, MissingNameOrOrdinalIsALoggedFailure) {
  ModuleHandle module = LoadModule("vzloadertest").module;
  ASSERT_NE(module, nullptr);
  CapturedPlatformLog log;
  EXPECT_EQ(GetModuleSymbol(module, "VzLoaderTestNoSuchExport"), nullptr);
  EXPECT_TRUE(log.Has({"VzLoaderTestNoSuchExport", "undefined symbol"}));
  EXPECT_EQ(GetModuleOrdinal(module, 3), nullptr);
  EXPECT_TRUE(log.Has({"ordinal 3", "libvzloadertest.so"}));
  EXPECT_EQ(GetModuleOrdinal(nullptr, 1), nullptr);
  EXPECT_EQ(GetModuleSymbol(nullptr, "VzLoaderTestFirst"), nullptr);
  EXPECT_EQ(log.lines().size(), 4u);
  FreeModule(module);
  FreeModule(nullptr);
}

TEST(ModuleLoaderTest, LoadingOnceGivesEveryFormOfANameTheFirstHandleAndRetriesAFailure) {
  const ModuleLoad first = LoadModuleOnce("vzloadertest");
  ASSERT_NE(first.module, nullptr);
  for (const char* name : {"vzloadertest.dll", "VzLoaderTest.DLL", "libvzloadertest.so"}) {
    SCOPED_TRACE(name);
    const ModuleLoad again = LoadModuleOnce(name);
    EXPECT_EQ(again.module, first.module);
    EXPECT_EQ(again.error.code, 0);
  }
  auto export_one = reinterpret_cast<ExportFn>(GetModuleOrdinal(first.module, 1));
  ASSERT_NE(export_one, nullptr);
  EXPECT_EQ(export_one(), 101);

  // A failure is reported each time, with its reason, and never kept.
  CapturedPlatformLog log;
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    const ModuleLoad missing = LoadModuleOnce("vznosuchlibrary");
    EXPECT_EQ(missing.module, nullptr);
    EXPECT_EQ(missing.error.code, ENOENT);
    EXPECT_NE(missing.error.reason.find("libvznosuchlibrary.so"), std::string::npos) << missing.error.reason;
  }
  EXPECT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(LoadModuleOnce("").error.code, EINVAL);
}

TEST(ModuleLoaderTest, OrdinalTableAndShortNames) {
  // Any form of a library's name finds its table.
  EXPECT_STREQ(OrdinalExportName("vzshare.dll", 1), "DSCreateInstance");
  EXPECT_STREQ(OrdinalExportName("libvzshare.so", 2), "DSDeleteInstance");
  EXPECT_STREQ(OrdinalExportName("vztrace", 7), "TracerSetMeetInfo");
  EXPECT_EQ(OrdinalExportName("vztrace", 0), nullptr);
  EXPECT_EQ(OrdinalExportName("vztrace", 8), nullptr);
  EXPECT_EQ(OrdinalExportName("vzunknown", 1), nullptr);

  EXPECT_EQ(ModuleShortName("VzShare.dll"), "vzshare");
  EXPECT_EQ(ModuleShortName("libvzshare.so"), "vzshare");
  EXPECT_EQ(ModuleShortName("vzshare.so"), "vzshare");
  EXPECT_EQ(ModuleShortName("a/vzshare"), "");
  EXPECT_EQ(ModuleShortName(".dll"), "");
}

}  // namespace
}  // namespace vz

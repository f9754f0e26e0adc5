#include "platform/module_loader.h"

#include <gtest/gtest.h>

#include "platform/platform_log_test_sink.h"

namespace vz {
namespace {

using ExportFn = int (*)();

TEST(ModuleLoaderTest, LoadsTheTestLibraryByAnyFormOfItsName) {
  for (const char* name : {"vzloadertest", "vzloadertest.dll", "VzLoaderTest.DLL", "libvzloadertest.so"}) {
    SCOPED_TRACE(name);
    ModuleHandle module = LoadModule(name);
    ASSERT_NE(module, nullptr);
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

TEST(ModuleLoaderTest, MissingLibraryIsALoggedFailure) {
  CapturedPlatformLog log;
  EXPECT_EQ(LoadModule("vznosuchlibrary"), nullptr);
  EXPECT_TRUE(log.Has({"libvznosuchlibrary.so", "cannot open shared object file"}));
  // A path or an empty name is not a library file name.
  EXPECT_EQ(LoadModule("/tmp/libvzloadertest.so"), nullptr);
  EXPECT_EQ(LoadModule(""), nullptr);
  EXPECT_EQ(log.lines().size(), 3u);
}

TEST(ModuleLoaderTest, MissingNameOrOrdinalIsALoggedFailure) {
  ModuleHandle module = LoadModule("vzloadertest");
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

#include "platform/elf_modules.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/process.h"

namespace vz {
namespace {

__attribute__((noinline)) int CodeInTheTestBinary(int x) { return x + 1; }

TEST(ElfModulesTest, AnAddressInTheProgramGivesItsPathSegmentAndBuildId) {
  const auto address = reinterpret_cast<uintptr_t>(&CodeInTheTestBinary);
  ElfModuleInfo info;
  ASSERT_TRUE(FindElfModule(address, &info));
  EXPECT_EQ(std::string(info.path), ExecutablePath());
  EXPECT_GE(address, info.image_start);
  EXPECT_LT(address, info.image_start + info.image_size);
  EXPECT_GE(info.segment_number, 1u);
  EXPECT_LT(info.segment_offset, info.image_size);
  EXPECT_EQ(info.build_id_size, 20u) << "the toolchain writes a 160-bit build-id";
}

TEST(ElfModulesTest, AnAddressInASharedLibraryGivesTheLibrary) {
  ElfModuleInfo info;
  ASSERT_TRUE(FindElfModule(reinterpret_cast<uintptr_t>(&FindElfModule), &info));
  const std::string path = info.path;
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "libvzplatform.so");
  EXPECT_NE(info.load_bias, 0u);
}

TEST(ElfModulesTest, AddressesOutsideEveryImageGiveNothing) {
  ElfModuleInfo info;
  EXPECT_FALSE(FindElfModule(0x10, &info));
  int on_the_stack = 0;
  EXPECT_FALSE(FindElfModule(reinterpret_cast<uintptr_t>(&on_the_stack), &info));
}

}  // namespace
}  // namespace vz

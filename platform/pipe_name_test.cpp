#include "platform/pipe_name.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/user_folders.h"

namespace {

constexpr size_t kLongestName = 64;

// Points the per-user folder at a temporary one for each test.
class PipeNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = ::getenv("XDG_RUNTIME_DIR")) saved_ = old;
    // Directly under /tmp whatever TMPDIR says: the longest names must fit a
    // socket address (108 bytes) here, as in the runtime folder.
    std::string pattern = "/tmp/vzpn-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty()) {
      ::unsetenv("XDG_RUNTIME_DIR");
    } else {
      ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
    }
    std::filesystem::remove_all(folder_);
  }

  std::string folder_;
  std::string saved_;
};

TEST_F(PipeNameTest, GuidNameMapsToASocketInTheRuntimeFolder) {
  std::string path;
  ASSERT_TRUE(vz::PipeNameToSocketPath("\\\\.\\pipe\\0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", &path));
  EXPECT_EQ(path, folder_ + "/velzar/0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0.sock");
  EXPECT_EQ(vz::RuntimeFolder(), folder_ + "/velzar");

  // The wide form, and another case: the same socket, as on Windows.
  std::string wide_path;
  ASSERT_TRUE(vz::PipeNameToSocketPath(u"\\\\.\\PIPE\\0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0", &wide_path));
  EXPECT_EQ(wide_path, path);

  ASSERT_TRUE(vz::PipeNameToSocketPath("\\\\.\\pipe\\" + std::string(64, 'a'), &path));
  ASSERT_TRUE(vz::PipeNameToSocketPath("\\\\.\\pipe\\a.b_c-D", &path));
  EXPECT_EQ(path, folder_ + "/velzar/a.b_c-d.sock");
}

TEST_F(PipeNameTest, UnsafeOrMalformedNamesAreRefused) {
  const std::string refused[] = {
      "",
      "0f1e2d3c",                      // no prefix
      "\\\\.\\pip\\x",                 // wrong prefix
      "//./pipe/x",                    // wrong separators
      "\\\\.\\pipe\\",                 // empty name
      "\\\\.\\pipe\\..",               // parent folder
      "\\\\.\\pipe\\.hidden",          // leading dot
      "\\\\.\\pipe\\a/b",              // path separator
      "\\\\.\\pipe\\..\\..\\etc",      // backslash inside
      "\\\\.\\pipe\\a b",              // space
      "\\\\.\\pipe\\a\tb",             // control character
      std::string("\\\\.\\pipe\\a\0b", 11),  // embedded NUL
      "\\\\.\\pipe\\caf\xC3\xA9",      // non-ASCII
      "\\\\.\\pipe\\" + std::string(65, 'a'),  // too long
  };
  for (const std::string& name : refused) {
    std::string path = "untouched";
    EXPECT_FALSE(vz::PipeNameToSocketPath(name, &path)) << name;
    EXPECT_EQ(path, "untouched") << name;
  }
  std::string path;
  EXPECT_FALSE(vz::PipeNameToSocketPath(u"\\\\.\\pipe\\caf\u00e9", &path));
  EXPECT_FALSE(vz::PipeNameToSocketPath(u"\\\\.\\pipe\\\u0130x", &path));  // no case-folding beyond ASCII
}

TEST_F(PipeNameTest, PathTooLongForASocketAddressIsRefused) {
  const std::string deep = folder_ + "/" + std::string(60, 'd');
  ::setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
  std::string path;
  EXPECT_FALSE(vz::PipeNameToSocketPath("\\\\.\\pipe\\" + std::string(40, 'a'), &path));

  // A socket address holds 107 bytes and the closing NUL: a path of exactly
  // 107 bytes maps, one of 108 does not.
  const std::string name = "\\\\.\\pipe\\" + std::string(kLongestName, 'a');
  const size_t fixed = folder_.size() + std::string("//velzar/").size() + kLongestName + std::string(".sock").size();
  ASSERT_LT(fixed, 107u);
  const std::string fits = folder_ + "/" + std::string(107 - fixed, 'f');
  ::setenv("XDG_RUNTIME_DIR", fits.c_str(), 1);
  ASSERT_TRUE(vz::PipeNameToSocketPath(name, &path));
  EXPECT_EQ(path.size(), 107u);
  const std::string one_more = folder_ + "/" + std::string(108 - fixed, 'f');
  ::setenv("XDG_RUNTIME_DIR", one_more.c_str(), 1);
  EXPECT_FALSE(vz::PipeNameToSocketPath(name, &path));
}

}  // namespace

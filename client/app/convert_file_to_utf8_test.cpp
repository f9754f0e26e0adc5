#include "client/app/convert_file_to_utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

class ConvertToUtf8 : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("utf8-test-" + std::to_string(vz::ProcessId()) + ".txt")).string();
  }
  void TearDown() override { fs::remove(path_); }
  void Write(const std::string& bytes) { ASSERT_TRUE(vz::WriteFileAtomic(path_, bytes, 0640)) << path_; }
  std::string Read() const {
    std::string bytes;
    EXPECT_TRUE(vz::ReadFileBytes(path_, &bytes)) << path_;
    return bytes;
  }
  std::string path_;
};

TEST_F(ConvertToUtf8, RewritesSmallTextWithItsByteOrderMark) {
  Write(Utf16Le(u"\uFEFFHello, wörld"));
  EXPECT_EQ(ConvertFileToUtf8(path_), 1);
  EXPECT_EQ(Read(), "\xEF\xBB\xBFHello, w\xC3\xB6rld");
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ConvertToUtf8, TheTextEndsAtItsFirstZeroUnitAndBrokenPairsAreReplaced) {
  Write(Utf16Le(u"ab") + std::string("\0\0", 2) + Utf16Le(u"cd"));
  EXPECT_EQ(ConvertFileToUtf8(path_), 1);
  EXPECT_EQ(Read(), "ab");
  Write(Utf16Le(std::u16string(1, u'\xD800')) + "x");  // a lone surrogate, then an odd byte
  EXPECT_EQ(ConvertFileToUtf8(path_), 1);
  EXPECT_EQ(Read(), "\xEF\xBF\xBD");
}

TEST_F(ConvertToUtf8, TextNeedingMoreThanTwiceItsSizeIsConvertedWhole) {
  // 15,000 CJK characters: 30,000 bytes in, 45,000 out.
  Write(Utf16Le(std::u16string(15000, u'\u4F1A')));
  EXPECT_EQ(ConvertFileToUtf8(path_), 1);
  std::string expected;
  for (int i = 0; i < 15000; ++i) expected += "\xE4\xBC\x9A";
  EXPECT_EQ(Read(), expected);
}

TEST_F(ConvertToUtf8, RefusesOverLongInputAndLeavesItAsItWas) {
  const std::string at_limit = Utf16Le(std::u16string(kMaxUtf16InputBytes / 2, u'a'));
  Write(at_limit);
  EXPECT_EQ(ConvertFileToUtf8(path_), 1);
  EXPECT_EQ(Read(), std::string(kMaxUtf16InputBytes / 2, 'a'));

  const std::string over = Utf16Le(std::u16string(20000, u'\u4F1A'));  // 40,000 bytes
  Write(over);
  EXPECT_EQ(ConvertFileToUtf8(path_), 0);
  EXPECT_EQ(Read(), over);
}

TEST_F(ConvertToUtf8, RefusesAnEmptyNameAMissingFileAndAFolder) {
  EXPECT_EQ(ConvertFileToUtf8(""), 0);
  EXPECT_EQ(ConvertFileToUtf8(path_ + ".missing"), 0);
  EXPECT_EQ(ConvertFileToUtf8(fs::temp_directory_path().string()), 0);
}

}  // namespace

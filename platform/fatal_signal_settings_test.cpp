#include "platform/fatal_signal_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/scoped_test_folder_testlib.h"
#include "platform/settings_store.h"

namespace vz {
namespace {

constexpr char kKey[] = "Software\\Velzar\\vzreport";
constexpr char kName[] = "Enable";
constexpr char kHead[] = "velzar-settings 1\n";

// The raw read must give what the file store gives for the same bytes.
class RawSettingsReadTest : public ::testing::Test {
 protected:
  void Write(const std::string& bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  // The raw answer, after checking it against the store's.
  bool Read(uint32_t* value) {
    uint32_t raw = 0xDEADBEEF;
    const bool raw_found = ReadSettingsDwordSafely(path_.c_str(), kKey, kName, &raw);
    uint32_t stored = 0xDEADBEEF;
    const bool store_found = OpenFileSettingsStore(path_)->ReadDword(kKey, kName, &stored);
    EXPECT_EQ(raw_found, store_found);
    if (raw_found && store_found) {
      EXPECT_EQ(raw, stored);
    }
    *value = raw;
    return raw_found;
  }
  bool Reads(const std::string& bytes, uint32_t expected) {
    SCOPED_TRACE("file " + ::testing::PrintToString(bytes));
    Write(bytes);
    uint32_t value = 0;
    return Read(&value) && value == expected;
  }
  bool ReadsNothing(const std::string& bytes) {
    SCOPED_TRACE("file " + ::testing::PrintToString(bytes));
    Write(bytes);
    uint32_t value = 0;
    return !Read(&value);
  }

  ScopedTestFolder folder_;
  std::string path_ = folder_.path() + "/settings";
};

TEST_F(RawSettingsReadTest, AValueWrittenByTheStoreIsRead) {
  std::unique_ptr<SettingsStore> store = OpenFileSettingsStore(path_);
  ASSERT_TRUE(store->WriteString("Software\\Velzar", "Other", u"x]=[%\n"));
  ASSERT_TRUE(store->WriteDword(kKey, "Enabled", 7));
  ASSERT_TRUE(store->WriteDword(kKey, kName, 0));
  ASSERT_TRUE(store->WriteBinary("Software\\Zeta", kName, {1, 2, 3}));
  uint32_t value = 1;
  ASSERT_TRUE(Read(&value));
  EXPECT_EQ(value, 0u);
  ASSERT_TRUE(store->WriteDword(kKey, kName, 0xA1B2C3D4));
  ASSERT_TRUE(Read(&value));
  EXPECT_EQ(value, 0xA1B2C3D4u);
}

TEST_F(RawSettingsReadTest, KeysAndNamesIgnoreCaseAndMayBeEscaped) {
  const std::string head = kHead;
  EXPECT_TRUE(Reads(head + "[software\\VELZAR\\VzReport]\nenable=dword:00000000\n", 0));
  EXPECT_TRUE(Reads(head + "[Software%5cVelzar%5Cvzreport]\nEn%61ble=dword:00000003\n", 3));
  // A ']' inside a key line belongs to the key; only the last one closes it.
  EXPECT_TRUE(ReadsNothing(head + "[Software\\Velzar\\vzreport]x]\nEnable=dword:00000000\n"));
  EXPECT_TRUE(Reads(head + "[a]b]\nx=dword:00000001\n[Software\\Velzar\\vzreport]\nEnable=dword:00000005\n", 5));
  EXPECT_TRUE(ReadsNothing(head + "[Software\\Velzar\\vzreport]\nEnable2=dword:00000000\nEnabl=dword:00000000\n"));
  EXPECT_TRUE(ReadsNothing(head + "[Software\\Velzar\\vzreport2]\nEnable=dword:00000000\n"));
}

TEST_F(RawSettingsReadTest, TheLastValueOfTheNameWinsWhateverItsType) {
  const std::string head = kHead;
  const std::string key = "[Software\\Velzar\\vzreport]\n";
  EXPECT_TRUE(Reads(head + key + "Enable=dword:00000000\n[Other]\na=dword:00000001\n" + key + "ENABLE=dword:00000009\n", 9));
  EXPECT_TRUE(ReadsNothing(head + key + "Enable=dword:00000000\nEnable=string:0\n"));
  EXPECT_TRUE(ReadsNothing(head + key + "Enable=dword:00000000\nEnable=binary:00\n"));
  EXPECT_TRUE(Reads(head + key + "Enable=string:a%25b\nEnable=dword:0000000a\n", 10));
}

TEST_F(RawSettingsReadTest, AFileTheStoreCallsCorruptGivesNothing) {
  const std::string good = std::string(kHead) + "[Software\\Velzar\\vzreport]\nEnable=dword:00000000\n";
  EXPECT_TRUE(Reads(good, 0));
  EXPECT_TRUE(Reads(good + "\n\n", 0)) << "empty lines are allowed";
  EXPECT_TRUE(ReadsNothing(good.substr(0, good.size() - 1))) << "cut short: no final line break";
  EXPECT_TRUE(ReadsNothing("velzar-settings 2\n" + good.substr(sizeof(kHead) - 1)));
  EXPECT_TRUE(ReadsNothing(good.substr(sizeof(kHead) - 1))) << "no header";
  EXPECT_TRUE(ReadsNothing(std::string(kHead) + "Enable=dword:00000000\n")) << "a value before any key";
  const char* broken_lines[] = {
      "[open key\n",           "no equals sign\n",      "x=nocolon\n",        "x=word:00000000\n",
      "x=dword:0000000\n",     "x=dword:000000000\n",   "x=dword:0000000g\n", "x=dword:00000000\r\n",
      "x=binary:abc\n",        "x=binary:zz\n",         "x=string:50%\n",     "x=string:%4\n",
      "bad%zzname=dword:00000001\n", "[bad%4]\n",       "x=dwordxxxx:00000000\n",
      "x=dwor:00000000\n",
  };
  // A zero byte inside the type word does not end it.
  EXPECT_TRUE(ReadsNothing(good + std::string("x=dword\0\x05:00000000\n", 19)));
  for (const char* line : broken_lines) {
    EXPECT_TRUE(ReadsNothing(good + line)) << line;
    EXPECT_TRUE(ReadsNothing(std::string(kHead) + "[k]\n" + line + good.substr(sizeof(kHead) - 1))) << line;
  }
}

TEST_F(RawSettingsReadTest, MissingEmptyOrUnreadableFilesGiveNothing) {
  uint32_t value = 0;
  EXPECT_FALSE(ReadSettingsDwordSafely((folder_.path() + "/none").c_str(), kKey, kName, &value));
  EXPECT_FALSE(ReadSettingsDwordSafely("", kKey, kName, &value));
  EXPECT_FALSE(ReadSettingsDwordSafely(nullptr, kKey, kName, &value));
  EXPECT_FALSE(ReadSettingsDwordSafely(folder_.path().c_str(), kKey, kName, &value)) << "a folder";
  EXPECT_TRUE(ReadsNothing(""));
}

// The value sits far beyond the first read of the file, with a key line
// across a read boundary; pieces of any size give the same answer.
TEST_F(RawSettingsReadTest, LongFilesAndAnySplitGiveTheSameAnswer) {
  std::string text = std::string(kHead) + "[Padding]\n";
  for (int i = 0; text.size() < 4060; ++i) text += "p" + std::to_string(i) + "=string:padding\n";
  text.resize(4090, '\n');  // empty lines up to a few bytes before the first read ends
  text += "[Software\\Velzar\\vzreport]\nEnable=dword:00000000\n";
  text += "[Tail]\nt=binary:" + std::string(10000, 'a') + "\n";
  EXPECT_TRUE(Reads(text, 0));
  for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, size_t{4096}}) {
    SettingsDwordScanner scanner(kKey, kName);
    for (size_t at = 0; at < text.size(); at += piece) scanner.Feed(text.data() + at, std::min(piece, text.size() - at));
    uint32_t value = 1;
    EXPECT_TRUE(scanner.Finish(&value)) << piece;
    EXPECT_EQ(value, 0u) << piece;
  }
}

}  // namespace
}  // namespace vz

#include "trace/crash_file_take.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/vz_binary_data.h"
#include "platform/scoped_test_folder_testlib.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using testing::FilesStartingWith;
using testing::WriteWholeFile;

// Bytes that tell their own offset, so a wrong tail shows.
std::string Numbered(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  return bytes;
}

class CrashFileTakeTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    WriteWholeFile(folder_.path() + "/" + name, bytes);
    return name;
  }
  static std::string Contents(CVZBinaryData* record) {
    return std::string(reinterpret_cast<const char*>(record->data()), record->length());
  }

  ScopedTestFolder folder_;
};

TEST_F(CrashFileTakeTest, ALargeFileGivesItsNameAStarAndItsLast257024Bytes) {
  const std::string bytes = Numbered(300000);
  const std::string name = Put("native.crash.win.app.1.0.2025-01-02.03.04.05.exception", bytes);
  CVZBinaryData* record = TakePendingCrashFile(folder_.path(), "app");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->length(), name.size() + kCrashTakeLimit + kCrashRecordSlack);
  const std::string contents = Contents(record);
  const std::string expected = name + "*" + bytes.substr(300000 - 257024);
  EXPECT_EQ(contents.substr(0, expected.size()), expected);
  EXPECT_EQ(contents.substr(expected.size()), std::string(kCrashRecordSlack - 1, '\0'));
  EXPECT_EQ(record->Release(), 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.path() + "/" + name));
}

TEST_F(CrashFileTakeTest, AFileOfTheLimitIsTakenWhole) {
  const std::string bytes = Numbered(257024);
  const std::string name = Put("native.crash.win.app.1.0.2025-01-02.03.04.06.exception", bytes);
  CVZBinaryData* record = TakePendingCrashFile(folder_.path(), "");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->length(), name.size() + 257024 + kCrashRecordSlack);
  EXPECT_EQ(Contents(record).substr(0, name.size() + 1 + bytes.size()), name + "*" + bytes);
  record->Release();
  EXPECT_TRUE(FilesStartingWith(folder_.path(), "native").empty());
}

TEST_F(CrashFileTakeTest, TwoPendingFilesAreTakenOneAtATime) {
  const std::string first = Put("native.crash.win.app.1.0.2025-01-02.03.04.07.exception", "one");
  const std::string second = Put("native.crash.win.app.host.1.0.2025-01-02.03.04.08.exception", "two");
  CVZBinaryData* a = TakePendingCrashFile(folder_.path(), "app");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(FilesStartingWith(folder_.path(), "native").size(), 1u);
  CVZBinaryData* b = TakePendingCrashFile(folder_.path(), "app");
  ASSERT_NE(b, nullptr);
  // The listing order is not fixed: only that both came, once each.
  const std::string got = std::string(reinterpret_cast<char*>(a->data())) + "|" + reinterpret_cast<char*>(b->data());
  EXPECT_TRUE(got == first + "*one|" + second + "*two" || got == second + "*two|" + first + "*one") << got;
  a->Release();
  b->Release();
  EXPECT_EQ(TakePendingCrashFile(folder_.path(), "app"), nullptr);
}

TEST_F(CrashFileTakeTest, OnlyPendingFilesOfTheApplicationAreTaken) {
  Put("native.crash.win.other.1.0.2025-01-02.03.04.09.exception", "x");
  Put("native.crash.win.app.1.0.txt", "x");
  Put("crash.win.app.1.0.exception", "x");
  std::filesystem::create_directory(folder_.path() + "/native.crash.win.app.dir.exception");
  EXPECT_EQ(TakePendingCrashFile(folder_.path(), "app"), nullptr);
  EXPECT_EQ(TakePendingCrashFile(folder_.path() + "/missing", "app"), nullptr);
  EXPECT_EQ(FilesStartingWith(folder_.path(), "native").size(), 3u);
}

TEST_F(CrashFileTakeTest, AnEmptyPendingFileGivesJustItsName) {
  const std::string name = Put("native.crash.win.app.1.0.2025-01-02.03.04.10.exception", "");
  CVZBinaryData* record = TakePendingCrashFile(folder_.path(), "app");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->length(), name.size() + kCrashRecordSlack);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record->data())), name + "*");
  record->Release();
}

}  // namespace
}  // namespace vz

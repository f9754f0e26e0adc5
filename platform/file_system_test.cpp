#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/scoped_test_folder_testlib.h"

namespace vz {
namespace {

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0xFFFF;
  return info.st_mode & 07777;
}

TEST(FileSystemTest, PathPartsFollowPosixRules) {
  EXPECT_EQ(DirName("/a/b/c"), "/a/b");
  EXPECT_EQ(DirName("/a/b/c/"), "/a/b");
  EXPECT_EQ(DirName("/a//b"), "/a");
  EXPECT_EQ(DirName("/c"), "/");
  EXPECT_EQ(DirName("c"), ".");
  EXPECT_EQ(DirName("/"), "/");
  EXPECT_EQ(DirName(""), ".");
  EXPECT_EQ(BaseName("/a/b/c"), "c");
  EXPECT_EQ(BaseName("/a/b/"), "b");
  EXPECT_EQ(BaseName("c"), "c");
  EXPECT_EQ(BaseName("/"), "/");
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
}

TEST(FileSystemTest, AtomicWriteReplacesContentWithTheGivenModeAndLeavesNoTemporaryFile) {
  ScopedTestFolder temp;
  std::string path = JoinPath(temp.path(), "data");
  ASSERT_TRUE(WriteFileAtomic(path, "first", 0644));
  ASSERT_TRUE(WriteFileAtomic(path, std::string("second\0bytes", 12), 0600));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, &bytes));
  EXPECT_EQ(bytes, std::string("second\0bytes", 12));
  EXPECT_EQ(ModeOf(path), 0600u);

  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(temp.path(), &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "data");

  EXPECT_FALSE(WriteFileAtomic(JoinPath(temp.path(), "missing/data"), "x", 0600));
  EXPECT_FALSE(ReadFileBytes(JoinPath(temp.path(), "missing/data"), &bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(FileSystemTest, ListDirectoryDescribesEachEntry) {
  ScopedTestFolder temp;
  ASSERT_TRUE(WriteFileAtomic(JoinPath(temp.path(), "file"), "12345", 0600));
  ASSERT_EQ(::mkdir(JoinPath(temp.path(), "folder").c_str(), 0700), 0);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(ListDirectory(temp.path(), &entries));
  std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);  // "." and ".." left out
  EXPECT_EQ(entries[0].name, "file");
  EXPECT_FALSE(entries[0].is_directory);
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_GT(entries[0].modified_unix_seconds, 1600000000);
  EXPECT_EQ(entries[1].name, "folder");
  EXPECT_TRUE(entries[1].is_directory);
  EXPECT_TRUE(IsDirectory(JoinPath(temp.path(), "folder")));
  EXPECT_FALSE(IsDirectory(JoinPath(temp.path(), "file")));
  EXPECT_FALSE(ListDirectory(JoinPath(temp.path(), "none"), &entries));
}

TEST(FileSystemTest, CopyRenameAndRemove) {
  ScopedTestFolder temp;
  std::string source = JoinPath(temp.path(), "source");
  std::string big(200000, 'q');  // more than one read buffer
  ASSERT_TRUE(WriteFileAtomic(source, big, 0600));
  std::string copy = JoinPath(temp.path(), "copy");
  ASSERT_TRUE(CopyFileBytes(source, copy, 0700));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(copy, &bytes));
  EXPECT_EQ(bytes, big);
  EXPECT_EQ(ModeOf(copy), 0700u);
  EXPECT_FALSE(CopyFileBytes(JoinPath(temp.path(), "none"), copy, 0600));
  EXPECT_TRUE(FileExists(copy));  // a failed copy leaves the target alone

  std::string moved = JoinPath(temp.path(), "moved");
  EXPECT_TRUE(RenameFile(copy, moved));
  EXPECT_FALSE(FileExists(copy));
  EXPECT_TRUE(RemoveFile(moved));
  EXPECT_FALSE(RemoveFile(moved));
  EXPECT_FALSE(FileExists(moved));
}

}  // namespace
}  // namespace vz

#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A key file is taken whole, and only when no one else may read or swap it.
TEST(FileSystemTest, APrivateFileIsReadWholeOnlyWhenOthersCannotReadOrSwapIt) {
  ScopedTestFolder temp;
  const std::string key = JoinPath(temp.path(), "key");
  const std::string bytes("line one\nline two\0\r\n", 21);
  ASSERT_TRUE(WriteFileAtomic(key, bytes, 0600));
  std::string read, why;
  ASSERT_TRUE(ReadPrivateFile(key, 64, &read, &why)) << why;
  EXPECT_EQ(read, bytes);

  struct Case {
    const char* name;
    unsigned mode;
    const char* told;  // a part of `why`
  };
  for (const Case& refused : {Case{"group", 0640, "chmod 600"}, Case{"world", 0604, "mode 0604"}}) {
    const std::string path = JoinPath(temp.path(), refused.name);
    ASSERT_TRUE(WriteFileAtomic(path, bytes, refused.mode));
    EXPECT_FALSE(ReadPrivateFile(path, 64, &read, &why)) << refused.name;
    EXPECT_NE(why.find(refused.told), std::string::npos) << refused.name << ": " << why;
    EXPECT_TRUE(read.empty()) << refused.name;
  }

  const std::string link = JoinPath(temp.path(), "link");
  ASSERT_EQ(::symlink(key.c_str(), link.c_str()), 0);
  EXPECT_FALSE(ReadPrivateFile(link, 64, &read, &why));
  EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;

  // A pipe would block a reader, a folder is no key, a file past the limit
  // is not read into memory.
  const std::string fifo = JoinPath(temp.path(), "fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadPrivateFile(fifo, 64, &read, &why));
  EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
  EXPECT_FALSE(ReadPrivateFile(temp.path(), 64, &read, &why));
  EXPECT_FALSE(ReadPrivateFile(key, 20, &read, &why));
  EXPECT_NE(why.find("at most 20"), std::string::npos) << why;
  EXPECT_FALSE(ReadPrivateFile(JoinPath(temp.path(), "missing"), 64, &read, &why));

  // Someone else's file, however private (only root can make one here).
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(key.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ReadPrivateFile(key, 64, &read, &why));
    EXPECT_NE(why.find("belongs to user 65534"), std::string::npos) << why;
  }
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

#pragma once
// File helpers over POSIX. Paths are UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

struct DirectoryEntry {
  std::string name;
  bool is_directory = false;
  int64_t modified_unix_seconds = 0;  // last write time, UTC
  uint64_t size = 0;
};

// The entries of a folder in the order the system lists them ("." and ".." left out).
// False when the folder cannot be read.
bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>* entries);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string* bytes);
// Reads a file that holds a secret (a key), as servers read their key files:
// only a regular file, not a symbolic link, owned by this user and readable
// by no one else, of at most `max_bytes`. False with `why` saying what is
// wrong and how to mend it (for example "chmod 600 <path>").
bool ReadPrivateFile(const std::string& path, size_t max_bytes, std::string* bytes, std::string* why);
// Writes a temporary file beside `path`, syncs it and renames it over `path`,
// so a reader sees either the old or the new content. `mode` as for chmod.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, unsigned mode);
// Tests only: called with the temporary file's path after it is written and
// synced and before the rename, to show what a crash at that point leaves.
using AtomicWriteHook = void (*)(const std::string& temp_path);
void SetAtomicWriteHookForTesting(AtomicWriteHook hook);  // null removes it
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
bool CopyFileBytes(const std::string& from, const std::string& to, unsigned mode);
// Folder part of a path ("/a/b/c" -> "/a/b"; "c" -> "."), file part ("c").
std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace vz

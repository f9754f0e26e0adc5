#pragma once
// File and time operations made of async-signal-safe system calls only, so
// the fatal-signal path can use them; the log writer uses the same file
// operations for every line. Paths are UTF-8; a descriptor is -1 when closed.
#include <cstddef>
#include <cstdint>

namespace vz {

// Creates or empties `path` for writing (mode 0600). Returns the descriptor or -1.
int OpenFileForWritingSafely(const char* path);
// Writes every byte, resuming partial and interrupted writes.
bool WriteAllSafely(int fd, const void* bytes, size_t length);
bool SeekToStartSafely(int fd);
// The current offset, or -1.
int64_t FilePositionSafely(int fd);
void CloseFileSafely(int fd);
bool RenameFileSafely(const char* from, const char* to);
// One text to standard error, unchanged (no line feed is added).
void WriteStderrSafely(const char* text);
// True when the folder exists and this process may create files in it.
bool IsFolderWritableSafely(const char* folder);

// The wall clock in milliseconds since 1970, UTC.
int64_t UnixTimeMsSafely();

}  // namespace vz

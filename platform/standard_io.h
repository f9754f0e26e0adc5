#pragma once
// The process's standard input and output as raw byte streams (descriptors 0
// and 1, no buffering, no text mode), for the native-messaging host.
#include <cstddef>
#include <string_view>

namespace vz {

// Reads up to `size` bytes; retries EINTR. Returns the count, 0 at the end of
// the input, -1 on failure (logged).
long ReadStandardInput(void* buffer, size_t size);
// Writes all `size` bytes, resuming short writes. False on failure (logged);
// a closed reader gives a failure, never SIGPIPE once IgnoreBrokenPipe ran.
bool WriteStandardOutput(const void* data, size_t size);
// Writes every byte of `parts` in order with gathered writes (one system
// call for all of them when the reader keeps up), resuming short writes where
// they stopped, inside a part or between two. False on failure (logged).
bool WriteStandardOutputGathered(const std::string_view* parts, size_t count);
// The same on any descriptor open for writing (the caller's).
bool WriteDescriptorGathered(int fd, const std::string_view* parts, size_t count);
// When standard input or output is a pipe, asks for room for `bytes` in it
// (the default 64 KiB holds less than one large native message), so a whole
// message passes without the two ends waking each other for every 64 KiB.
// Not a pipe, or a size the system refuses (over /proc/sys/fs/pipe-max-size):
// false, and the pipe stays as it was (refusals are logged).
bool EnlargeStandardInputPipe(size_t bytes);
bool EnlargeStandardOutputPipe(size_t bytes);
// Makes writes to a closed pipe fail with EPIPE instead of ending the process.
void IgnoreBrokenPipe();

}  // namespace vz

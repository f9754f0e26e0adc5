#pragma once
// The process's standard input and output as raw byte streams (descriptors 0
// and 1, no buffering, no text mode), for the native-messaging host.
#include <cstddef>

namespace vz {

// Reads up to `size` bytes; retries EINTR. Returns the count, 0 at the end of
// the input, -1 on failure (logged).
long ReadStandardInput(void* buffer, size_t size);
// Writes all `size` bytes, resuming short writes. False on failure (logged);
// a closed reader gives a failure, never SIGPIPE once IgnoreBrokenPipe ran.
bool WriteStandardOutput(const void* data, size_t size);
// Makes writes to a closed pipe fail with EPIPE instead of ending the process.
void IgnoreBrokenPipe();

}  // namespace vz

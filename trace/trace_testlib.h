#pragma once
// Helpers of the trace tests: files and folders as the tests see them.
#include <cstdint>
#include <string>
#include <vector>

namespace vz::testing {

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Names in `folder` that start with `prefix`, sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);
// Removes the pending crash files and old logs a test left in `folder`.
void RemoveTraceFiles(const std::string& folder);
// Sets a file's last write time, in seconds since 1970 UTC.
void SetModifiedTime(const std::string& path, int64_t unix_seconds);
// "abc\r\ndef\r\n" -> {"abc", "def"}; a tail without "\r\n" is the last item.
std::vector<std::string> SplitCrLfLines(const std::string& text);
// Whether `text` is one well-formed log line without its "\r\n".
bool IsLogLine(const std::string& text);

}  // namespace vz::testing

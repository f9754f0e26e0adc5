#pragma once
// What every demonstration prints and where it works: a line per stage, the
// failure block that names the stage, the log to read and the work folder,
// and the work folder itself.
// Threads: the demonstration's main thread.
#include <string>

// "== stage: detail", flushed at once so that a watcher sees it.
void PrintStage(const std::string& stage, const std::string& detail);

// The failure block; `log` and `work` are left out when empty.
void PrintFailure(const std::string& stage, const std::string& why, const std::string& log, const std::string& work);

// `given` made absolute, or, when empty, a new folder "<prefix>-<time>" in
// the temporary folder; created. False (with *path set) when it cannot be.
bool MakeWorkFolder(const std::string& given, const std::string& prefix, std::string* path);

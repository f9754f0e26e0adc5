#pragma once
// What the host needs from the machine beyond its byte streams, as ports.
#include <string>

// Renames the host's own program out of the way for its replacement.
class ISelfReplace {
 public:
  virtual ~ISelfReplace() = default;
  virtual void RenameForReplacement() = 0;
};

// Ends the process from any thread.
class IProcessExit {
 public:
  virtual ~IProcessExit() = default;
  // Does not return in the real process; a test double records the call.
  virtual void ExitProcess(int exit_code) = 0;
};

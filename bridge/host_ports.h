#pragma once
// What the host needs from the machine beyond its byte streams, as ports.
#include <string>

// Renames the host's own program out of the way for its replacement.
class ISelfReplace {
 public:
  virtual ~ISelfReplace() = default;
  virtual void RenameForReplacement() = 0;
};

// Ends the host from any thread, in order: the main loop stops reading the
// browser's messages, stops the pipe server and the launcher, joins their
// threads, and the program returns `exit_code` from main. Returns at once;
// the host writes nothing more to the browser after the call.
class IProcessExit {
 public:
  virtual ~IProcessExit() = default;
  virtual void ExitProcess(int exit_code) = 0;
};

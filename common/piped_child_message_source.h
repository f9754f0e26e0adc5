#pragma once
// Test and demonstration support: native messages read from the standard
// output of a child started by vz::PipedChild, as a browser reads its host's.
#include <cstddef>

#include "common/native_message_framing.h"
#include "platform/piped_child_testlib.h"

namespace vz {

// Each read waits up to `timeout_ms`; `ended` (when not null) tells whether
// a failed read met the end of the child's output rather than the time-out.
class PipedChildSource : public NativeMessageSource {
 public:
  PipedChildSource(PipedChild& child, int timeout_ms, bool* ended)
      : child_(child), timeout_ms_(timeout_ms), ended_(ended) {}
  bool ReadExactly(void* buffer, size_t size) override {
    return child_.ReadExactly(buffer, size, timeout_ms_, ended_);
  }

 private:
  PipedChild& child_;
  int timeout_ms_;
  bool* ended_;
};

}  // namespace vz

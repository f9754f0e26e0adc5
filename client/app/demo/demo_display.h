#pragma once
// The X display a demonstration's programs draw on (VelzarHub is an X
// program): the one given, else $DISPLAY, else a private Xvfb of the size
// asked, which stops when this object goes.
#include <memory>
#include <string>

#include "platform/ui/xvfb_testlib.h"

class DemoDisplay {
 public:
  // The exit code a demonstration gives when it has no display and no Xvfb
  // could be started because Xvfb is not installed (a skip, not a failure).
  static constexpr int kNoDisplayExitCode = 77;

  // Picks or starts the display. False with `why` when a private Xvfb
  // would not start; `missing` then says whether Xvfb is not installed.
  // `detail` says what was picked, for the demonstration's stage line.
  bool Open(const std::string& given, int width, int height, std::string* detail, std::string* why, bool* missing);

  const std::string& name() const { return name_; }
  bool is_private() const { return xvfb_ != nullptr; }

 private:
  std::string name_;
  std::unique_ptr<vz::XvfbServer> xvfb_;
};

#include "client/app/demo/demo_display.h"

#include <cstdlib>

bool DemoDisplay::Open(const std::string& given, int width, int height, std::string* detail, std::string* why,
                       bool* missing) {
  *missing = false;
  name_ = given;
  if (name_.empty() && std::getenv("DISPLAY") != nullptr) name_ = std::getenv("DISPLAY");
  if (!name_.empty()) {
    *detail = "using " + name_;
    return true;
  }
  xvfb_ = std::make_unique<vz::XvfbServer>();
  if (!xvfb_->Start(why, width, height)) {
    *missing = why->find("not installed") != std::string::npos;
    xvfb_.reset();
    return false;
  }
  name_ = xvfb_->display();
  *detail = "started Xvfb " + name_ + " of " + std::to_string(width) + "x" + std::to_string(height);
  return true;
}

#pragma once
// Test support: an in-memory resource bundle made current for a test, with
// PNG images of chosen sizes and colours, strings and dialog descriptions.
#include <cstdint>
#include <string>

#include "outside/vzres/bundle_writer.h"
#include "platform/ui/image.h"

class TestBundle {
 public:
  // A solid image (one colour, every pixel).
  TestBundle& Png(uint32_t id, int width, int height, vz::Color color);
  TestBundle& Png(uint32_t id, const vz::Image& image);
  TestBundle& String(uint32_t id, const std::string& utf8, uint32_t language = 1033);
  TestBundle& Dialogs(const std::string& description_text);
  // Makes the bundle the process's resource library.
  void Install();
  ~TestBundle();

 private:
  vzres::BundleWriter writer_;
  bool installed_ = false;
};

#pragma once
// The host's two byte streams to the browser, as ports: the real ones are
// standard input and output, the tests' are in memory.
#include <cstddef>

class IByteInput {
 public:
  virtual ~IByteInput() = default;
  // Up to `size` bytes; 0 at the end of the input, -1 on failure.
  virtual long Read(void* buffer, size_t size) = 0;
};

class IByteOutput {
 public:
  virtual ~IByteOutput() = default;
  // All `size` bytes or false.
  virtual bool Write(const void* data, size_t size) = 0;
};

class StandardInput : public IByteInput {
 public:
  long Read(void* buffer, size_t size) override;
};

class StandardOutput : public IByteOutput {
 public:
  bool Write(const void* data, size_t size) override;
};

#pragma once
// The host's two byte streams to the browser, as ports: the real ones are
// standard input and output, the tests' are in memory.
#include <atomic>
#include <cstddef>
#include <string_view>

#include "platform/local_socket_poll.h"

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
  // All bytes of `parts`, in order, or false. An output that cannot gather
  // joins the parts and makes one Write of them.
  virtual bool WriteGathered(const std::string_view* parts, size_t count);
};

// Standard input, which another thread can end early: after Interrupt every
// Read returns 0 at once (a read under way returns as soon as it woke).
class StandardInput : public IByteInput {
 public:
  long Read(void* buffer, size_t size) override;
  // Any thread.
  void Interrupt();

 private:
  std::atomic<bool> interrupted_{false};
  vz::LocalSocketWaker waker_;
};

class StandardOutput : public IByteOutput {
 public:
  bool Write(const void* data, size_t size) override;
  // One gathered write for all parts: a large message leaves from where it
  // lies, without being copied behind its header.
  bool WriteGathered(const std::string_view* parts, size_t count) override;
};

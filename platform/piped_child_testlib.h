#pragma once
// Test support: a child program whose standard input and output are pipes to
// the test, as a browser runs its native-messaging host. Every wait has a
// deadline; a child still running when the object goes is killed and reaped
// so that a broken test leaves nothing behind.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vz {

class PipedChild {
 public:
  PipedChild() = default;
  ~PipedChild();
  PipedChild(const PipedChild&) = delete;
  PipedChild& operator=(const PipedChild&) = delete;

  // Starts `path` with `args` (args[0] is the name the child sees) and this
  // process's environment changed by `environment` ("NAME=value" entries).
  // Standard error is shared with the test.
  bool Start(const std::string& path, const std::vector<std::string>& args,
             const std::vector<std::string>& environment);
  int Pid() const { return pid_; }

  // Writes every byte to the child's standard input.
  bool WriteAll(std::string_view bytes, int timeout_ms);
  // Ends the child's standard input.
  void CloseInput();
  // Reads exactly `size` bytes of the child's standard output. False on
  // time-out or when the output ended first (`ended` then says so).
  bool ReadExactly(void* buffer, size_t size, int timeout_ms, bool* ended = nullptr);
  // Reads one line of the child's standard output into `line`, without its
  // end, stopping early after `max_size` bytes (a child that says too much
  // is not read further). True with a whole line or `max_size` bytes; false
  // on time-out (for the whole line) or when the output ended first, with
  // what came in `line`.
  bool ReadLine(std::string* line, size_t max_size, int timeout_ms);
  // True once the child's standard output has ended (after any bytes left,
  // which are dropped), within the time-out.
  bool WaitOutputEnd(int timeout_ms);
  // Waits for the child to end; true with its exit code (128 + signal when a
  // signal ended it).
  bool Wait(int timeout_ms, int* exit_code);

 private:
  int pid_ = -1;
  int input_fd_ = -1;   // our end of the child's standard input
  int output_fd_ = -1;  // our end of the child's standard output
};

}  // namespace vz

#include "platform/piped_child_testlib.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/clock.h"

extern char** environ;

namespace vz {
namespace {

int Left(uint64_t deadline) {
  const uint64_t now = MonotonicMs();
  return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

bool WaitReady(int fd, short events, int timeout_ms) {
  pollfd item{fd, events, 0};
  for (;;) {
    const int n = ::poll(&item, 1, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    return n > 0;
  }
}

}  // namespace

PipedChild::~PipedChild() {
  CloseInput();
  if (output_fd_ >= 0) ::close(output_fd_);
  if (pid_ > 0) {
    int exit_code = 0;
    if (!Wait(0, &exit_code)) {
      ::kill(pid_, SIGKILL);
      Wait(5000, &exit_code);
    }
  }
}

bool PipedChild::Start(const std::string& path, const std::vector<std::string>& args,
                       const std::vector<std::string>& environment) {
  ::signal(SIGPIPE, SIG_IGN);  // a child that stopped reading must not end the test
  int input[2], output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return false;
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return false;
  }
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const std::string& text : environment) {
    const size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  std::vector<std::string> env_texts;
  for (const auto& [name, value] : variables) env_texts.push_back(name + "=" + value);
  std::vector<char*> envp, argv;
  for (std::string& text : env_texts) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> arg_texts = args.empty() ? std::vector<std::string>{path} : args;
  for (std::string& text : arg_texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(input[0]);
  ::close(output[1]);
  if (result != 0) {
    ::close(input[1]);
    ::close(output[0]);
    return false;
  }
  pid_ = pid;
  input_fd_ = input[1];
  output_fd_ = output[0];
  ::fcntl(input_fd_, F_SETFL, ::fcntl(input_fd_, F_GETFL) | O_NONBLOCK);
  ::fcntl(output_fd_, F_SETFL, ::fcntl(output_fd_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool PipedChild::WriteAll(std::string_view bytes, int timeout_ms) {
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (!bytes.empty()) {
    if (input_fd_ < 0) return false;
    const ssize_t n = ::write(input_fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    if (Left(deadline) == 0 || !WaitReady(input_fd_, POLLOUT, Left(deadline))) return false;
  }
  return true;
}

void PipedChild::CloseInput() {
  if (input_fd_ >= 0) ::close(input_fd_);
  input_fd_ = -1;
}

bool PipedChild::ReadExactly(void* buffer, size_t size, int timeout_ms, bool* ended) {
  if (ended) *ended = false;
  char* bytes = static_cast<char*>(buffer);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (size > 0) {
    const ssize_t n = ::read(output_fd_, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      if (ended) *ended = true;
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return false;
    if (Left(deadline) == 0 || !WaitReady(output_fd_, POLLIN, Left(deadline))) return false;
  }
  return true;
}

bool PipedChild::ReadLine(std::string* line, size_t max_size, int timeout_ms) {
  line->clear();
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  char c = 0;
  while (line->size() < max_size) {
    if (!ReadExactly(&c, 1, Left(deadline))) return false;
    if (c == '\n') return true;
    line->push_back(c);
  }
  return true;
}

bool PipedChild::WaitOutputEnd(int timeout_ms) {
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(output_fd_, buffer, sizeof(buffer));
    if (n == 0) return true;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return false;
    if (Left(deadline) == 0 || !WaitReady(output_fd_, POLLIN, Left(deadline))) return false;
  }
}

bool PipedChild::Wait(int timeout_ms, int* exit_code) {
  if (pid_ <= 0) return false;
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      pid_ = -1;
      return true;
    }
    if (done < 0 && errno != EINTR) return false;
    if (Left(deadline) == 0) return false;
    SleepMs(5);
  }
}

}  // namespace vz

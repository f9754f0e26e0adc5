#include "platform/standard_io.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    for (const int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  void CloseRead() {
    ::close(fds[0]);
    fds[0] = -1;
  }
  int fds[2] = {-1, -1};
};

std::string Pattern(size_t size, char seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + i * 7 % 251);
  return text;
}

// Parts larger than the pipe go out in many short writes; each resumes where
// the last stopped, inside a part or at a boundary, and empty parts are
// stepped over.
TEST(WriteDescriptorGathered, ResumesShortWritesAcrossPartsInOrder) {
  Pipe pipe;
  const std::vector<std::string> texts = {Pattern(4, 'h'), Pattern(150000, 'a'), "", Pattern(1, 'x'),
                                          Pattern(70001, 'b'), "", Pattern(3, 't')};
  std::string expected;
  std::vector<std::string_view> parts;
  for (const std::string& text : texts) {
    expected += text;
    parts.push_back(text);
  }
  std::string received;
  std::thread reader([&] {
    char buffer[3000];  // small reads: the writer meets a full pipe again and again
    for (;;) {
      const ssize_t n = ::read(pipe.fds[0], buffer, sizeof(buffer));
      if (n <= 0) break;
      received.append(buffer, static_cast<size_t>(n));
    }
  });
  EXPECT_TRUE(vz::WriteDescriptorGathered(pipe.fds[1], parts.data(), parts.size()));
  ::close(pipe.fds[1]);
  pipe.fds[1] = -1;
  reader.join();
  EXPECT_EQ(received.size(), expected.size());
  EXPECT_TRUE(received == expected);

  // More parts than one call takes, and none at all.
  Pipe second;
  std::vector<std::string_view> many(40, "ab");
  EXPECT_TRUE(vz::WriteDescriptorGathered(second.fds[1], many.data(), many.size()));
  EXPECT_TRUE(vz::WriteDescriptorGathered(second.fds[1], nullptr, 0));
  char buffer[100] = {};
  EXPECT_EQ(::read(second.fds[0], buffer, sizeof(buffer)), 80);
  std::string ab;
  for (int i = 0; i < 40; ++i) ab += "ab";
  EXPECT_EQ(std::string(buffer, 80), ab);
}

TEST(WriteDescriptorGathered, AClosedReaderIsAFailureNotASignal) {
  vz::IgnoreBrokenPipe();
  Pipe pipe;
  pipe.CloseRead();
  const std::string_view parts[] = {"head", "body"};
  EXPECT_FALSE(vz::WriteDescriptorGathered(pipe.fds[1], parts, 2));
  EXPECT_FALSE(vz::WriteDescriptorGathered(-1, parts, 2));
}

}  // namespace

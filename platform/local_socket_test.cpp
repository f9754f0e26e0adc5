#include "platform/local_socket.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/local_socket_listener.h"
#include "platform/local_socket_poll.h"

namespace {

class LocalSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "vzsock-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/s.sock";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string folder_;
  std::string path_;
};

// Polls one descriptor for up to a second.
unsigned WaitReady(int fd, unsigned wanted, int timeout_ms = 1000) {
  vz::PollItem item;
  item.fd = fd;
  item.wanted = wanted;
  vz::PollDescriptors(&item, 1, timeout_ms);
  return item.ready;
}

TEST_F(LocalSocketTest, ConnectTellsMissingBusyAndListening) {
  vz::LocalSocket client;
  EXPECT_EQ(vz::ConnectLocalSocket(path_, &client).status, vz::ConnectStatus::kNotFound);

  vz::LocalSocketListener listener;
  ASSERT_TRUE(listener.Bind(path_));
  const vz::ConnectResult busy = vz::ConnectLocalSocket(path_, &client);
  EXPECT_EQ(busy.status, vz::ConnectStatus::kBusy);
  EXPECT_EQ(busy.error, ECONNREFUSED);
  EXPECT_FALSE(client.IsOpenForTesting());

  ASSERT_TRUE(listener.Listen(4));
  vz::LocalSocket served;
  EXPECT_EQ(listener.Accept(&served).status, vz::IoStatus::kWouldBlock);
  ASSERT_EQ(vz::ConnectLocalSocket(path_, &client).status, vz::ConnectStatus::kConnected);
  ASSERT_TRUE(WaitReady(listener.Fd(), vz::kPollReadable) & vz::kPollReadable);
  ASSERT_EQ(listener.Accept(&served).status, vz::IoStatus::kOk);

  uint32_t uid = 0;
  ASSERT_TRUE(served.PeerUid(&uid));
  EXPECT_EQ(uid, vz::CurrentUserId());
  EXPECT_TRUE(served.PeerIsCurrentUser());
  EXPECT_TRUE(client.PeerIsCurrentUser());

  const vz::ConnectResult too_long = vz::ConnectLocalSocket("/" + std::string(200, 'x'), &client);
  EXPECT_EQ(too_long.status, vz::ConnectStatus::kFailed);
}

TEST_F(LocalSocketTest, ListenerFileIsPrivateExclusiveAndRemoved) {
  {
    vz::LocalSocketListener listener;
    ASSERT_TRUE(listener.Bind(path_));
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    vz::LocalSocketListener second;
    EXPECT_FALSE(second.Bind(path_));  // taken
    EXPECT_FALSE(vz::LocalSocketListener().Listen(1));  // not bound
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(LocalSocketTest, ReadAndWriteTellWouldBlockEndAndError) {
  vz::LocalSocket a, b;
  ASSERT_TRUE(vz::CreateLocalSocketPair(&a, &b));
  char buffer[16];
  EXPECT_EQ(a.Read(buffer, sizeof(buffer)).status, vz::IoStatus::kWouldBlock);

  const vz::IoResult wrote = b.Write("hello", 5);
  ASSERT_EQ(wrote.status, vz::IoStatus::kOk);
  EXPECT_EQ(wrote.bytes, 5u);
  size_t unread = 0;
  ASSERT_TRUE(b.UnreadSentBytesForTesting(&unread));
  EXPECT_GT(unread, 0u);
  const vz::IoResult read = a.Read(buffer, sizeof(buffer));
  ASSERT_EQ(read.status, vz::IoStatus::kOk);
  EXPECT_EQ(std::string(buffer, read.bytes), "hello");
  ASSERT_TRUE(b.UnreadSentBytesForTesting(&unread));
  EXPECT_EQ(unread, 0u);

  b.Close();
  EXPECT_EQ(a.Read(buffer, sizeof(buffer)).status, vz::IoStatus::kEndOfStream);
  // Writing to a closed peer is an error, not a SIGPIPE that ends the test.
  const vz::IoResult broken = a.Write("x", 1);
  EXPECT_EQ(broken.status, vz::IoStatus::kError);
  EXPECT_EQ(broken.error, EPIPE);
}

TEST_F(LocalSocketTest, SmallSendBufferMakesWritesShort) {
  vz::LocalSocket a, b;
  ASSERT_TRUE(vz::CreateLocalSocketPair(&a, &b));
  ASSERT_TRUE(a.SetSendBufferSize(4096));
  const std::string big(1024 * 1024, 'z');
  const vz::IoResult first = a.Write(big.data(), big.size());
  ASSERT_EQ(first.status, vz::IoStatus::kOk);
  EXPECT_LT(first.bytes, big.size());
  size_t total = first.bytes;
  for (;;) {
    const vz::IoResult more = a.Write(big.data() + total, big.size() - total);
    if (more.status == vz::IoStatus::kWouldBlock) break;
    ASSERT_EQ(more.status, vz::IoStatus::kOk) << "after " << total << " bytes";
    total += more.bytes;
  }
  EXPECT_LT(total, big.size());
  EXPECT_EQ(WaitReady(a.Fd(), vz::kPollWritable, 0) & vz::kPollWritable, 0u);
}

TEST(LocalSocketWakerTest, SignalFromAnotherThreadEndsTheWait) {
  vz::LocalSocketWaker waker;
  ASSERT_TRUE(waker.IsValid());
  EXPECT_EQ(WaitReady(waker.Fd(), vz::kPollReadable, 0), 0u);
  std::thread signaller([&] { waker.Signal(); });
  // Without the signal this waits the full 10 s and fails the test.
  EXPECT_TRUE(WaitReady(waker.Fd(), vz::kPollReadable, 10000) & vz::kPollReadable);
  signaller.join();
  waker.Signal();
  waker.Signal();
  waker.Drain();  // several signals count as one
  EXPECT_EQ(WaitReady(waker.Fd(), vz::kPollReadable, 0), 0u);
}

TEST(LocalSocketPollTest, HangupIsReportedWithoutBeingAsked) {
  vz::LocalSocket a, b;
  ASSERT_TRUE(vz::CreateLocalSocketPair(&a, &b));
  b.Close();
  EXPECT_TRUE(WaitReady(a.Fd(), 0, 0) & vz::kPollHangup);
}

}  // namespace

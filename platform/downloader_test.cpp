#include "platform/downloader.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace vz {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::string PatternBytes(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
  return body;
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/vz-download-test-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A one-connection-at-a-time HTTP server on loopback. With `stall` it sends
// the headers and the first half of the body, then holds the connection
// open until the client goes away or the server stops.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer(int status, std::string body, bool stall) : status_(status), body_(std::move(body)), stall_(stall) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    ::listen(listen_fd_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackHttpServer() {
    stop_ = true;
    thread_.join();
    ::close(listen_fd_);
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  // Waits until `fd` is readable or the server stops; false when stopping.
  bool WaitReadable(int fd) {
    while (!stop_) {
      pollfd item{fd, POLLIN, 0};
      if (::poll(&item, 1, 50) > 0) return true;
    }
    return false;
  }
  void SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
  void Serve() {
    while (WaitReadable(listen_fd_)) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd)) {
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      const std::string reason = status_ == 200 ? "OK" : "Not Found";
      SendAll(fd, "HTTP/1.1 " + std::to_string(status_) + " " + reason +
                      "\r\nContent-Length: " + std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n");
      if (stall_) {
        SendAll(fd, body_.substr(0, body_.size() / 2));
        while (WaitReadable(fd)) {
          if (::recv(fd, buffer, sizeof(buffer), 0) <= 0) break;  // the client gave up
        }
      } else {
        SendAll(fd, body_);
      }
      ::close(fd);
    }
  }

  const int status_;
  const std::string body_;
  const bool stall_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// With `abort_at`, answers false at the first call that sees no new bytes
// after `abort_at` had arrived: the transfer is then stalled.
class RecordingSink : public DownloadProgressSink {
 public:
  explicit RecordingSink(uint64_t abort_at = 0) : abort_at_(abort_at) {}
  bool OnDownloadProgress(uint64_t received, uint64_t total) override {
    ++calls;
    const bool stalled = abort_at_ != 0 && received >= abort_at_ && received == last_received;
    last_received = received;
    if (total != 0) last_total = total;
    return !stalled;
  }
  int calls = 0;
  uint64_t last_received = 0;
  uint64_t last_total = 0;

 private:
  const uint64_t abort_at_;
};

TEST(Downloader, FetchesAFileAddressWithProgressAndMode) {
  TempFolder folder;
  const std::string source = folder.path() + "/package.bin";
  const std::string body = PatternBytes(300000);
  std::ofstream(source, std::ios::binary) << body;
  const std::string target = folder.path() + "/fetched.bin";

  RecordingSink sink;
  const DownloadResult result = CreateDownloader()->DownloadToFile("file://" + source, target, 0700, &sink);
  EXPECT_EQ(result.code, kDownloadOk) << result.message;
  EXPECT_EQ(ReadAll(target), body);
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_GT(sink.calls, 0);
  EXPECT_EQ(sink.last_received, body.size());
}

TEST(Downloader, FetchesOverLoopbackHttpAndReplacesAnOldFile) {
  TempFolder folder;
  const std::string body = PatternBytes(1 << 20);
  LoopbackHttpServer server(200, body, false);
  const std::string target = folder.path() + "/fetched.bin";
  std::ofstream(target) << "an older, longer file that must be replaced entirely .......";

  RecordingSink sink;
  const DownloadResult result = CreateDownloader()->DownloadToFile(server.Url("/pkg/setup.run"), target, 0600, &sink);
  EXPECT_EQ(result.code, kDownloadOk) << result.message;
  EXPECT_EQ(ReadAll(target), body);
  EXPECT_EQ(sink.last_received, body.size());
  EXPECT_EQ(sink.last_total, body.size());
}

TEST(DownloaderFailures, ReportTheirKindAndLeaveNoFile) {
  TempFolder folder;
  const std::string target = folder.path() + "/fetched.bin";
  {
    LoopbackHttpServer server(404, "missing", false);
    const DownloadResult result = CreateDownloader()->DownloadToFile(server.Url("/nothing"), target, 0600, nullptr);
    EXPECT_EQ(result.code, kDownloadHttpError);
    EXPECT_EQ(result.detail, 404);
    EXPECT_FALSE(Exists(target));
  }
  {
    int port = 0;
    {  // a port that was free a moment ago: nothing listens there now
      LoopbackHttpServer server(200, "", false);
      port = std::stoi(server.Url("").substr(std::string("http://127.0.0.1:").size()));
    }
    const DownloadResult result = CreateDownloader()->DownloadToFile(
        "http://127.0.0.1:" + std::to_string(port) + "/x", target, 0600, nullptr);
    EXPECT_EQ(result.code, kDownloadFailed);
    EXPECT_FALSE(Exists(target));
  }
  {
    const DownloadResult result =
        CreateDownloader()->DownloadToFile("file://" + folder.path() + "/absent", target, 0600, nullptr);
    EXPECT_EQ(result.code, kDownloadFailed);
    EXPECT_FALSE(Exists(target));
  }
  {
    const DownloadResult result = CreateDownloader()->DownloadToFile("gopher://127.0.0.1/x", target, 0600, nullptr);
    EXPECT_EQ(result.code, kDownloadFailed);
  }
  {
    const DownloadResult result =
        CreateDownloader()->DownloadToFile("file:///etc/hostname", folder.path() + "/no/such/folder/x", 0600, nullptr);
    EXPECT_EQ(result.code, kDownloadFileError);
  }
}

TEST(DownloaderCancel, AStalledTransferAbortsThroughTheSink) {
  TempFolder folder;
  LoopbackHttpServer server(200, PatternBytes(400000), true);
  const std::string target = folder.path() + "/fetched.bin";
  RecordingSink sink(/*abort_at=*/200000);
  const auto started = std::chrono::steady_clock::now();
  const DownloadResult result = CreateDownloader()->DownloadToFile(server.Url("/slow"), target, 0600, &sink);
  EXPECT_EQ(result.code, kDownloadCancelled);
  // Well below the minute a stalled transfer lasts when nothing aborts it.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_EQ(sink.last_received, 200000u);
  EXPECT_FALSE(Exists(target));
}

}  // namespace
}  // namespace vz

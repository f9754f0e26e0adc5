#include "platform/downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/platform_log.h"

namespace vz {
namespace {

// libcurl's global set-up is not safe to race; do it once per process.
bool EnsureCurlInitialised() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    const CURLcode code = curl_global_init(CURL_GLOBAL_DEFAULT);
    ok = code == CURLE_OK;
    if (!ok) PlatformLog("curl_global_init failed: %s", curl_easy_strerror(code));
  });
  return ok;
}

struct Transfer {
  int fd = -1;
  int write_errno = 0;
  DownloadProgressSink* sink = nullptr;
  bool cancelled = false;
};

size_t WriteToFile(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t total = size * count;
  size_t done = 0;
  while (done < total) {
    const ssize_t n = ::write(transfer->fd, data + done, total - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      transfer->write_errno = n < 0 ? errno : ENOSPC;
      return 0;  // anything short of `total` makes libcurl fail the transfer
    }
    done += static_cast<size_t>(n);
  }
  return total;
}

int OnTransferInfo(void* user, curl_off_t dl_total, curl_off_t dl_now, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->sink == nullptr) return 0;
  const uint64_t now = dl_now > 0 ? static_cast<uint64_t>(dl_now) : 0;
  const uint64_t total = dl_total > 0 ? static_cast<uint64_t>(dl_total) : 0;
  if (!transfer->sink->OnDownloadProgress(now, total)) {
    transfer->cancelled = true;
    return 1;  // non-zero aborts with CURLE_ABORTED_BY_CALLBACK
  }
  return 0;
}

class CurlDownloader : public Downloader {
 public:
  DownloadResult DownloadToFile(const std::string& url, const std::string& path, unsigned mode,
                                DownloadProgressSink* sink) override {
    DownloadResult result;
    if (!EnsureCurlInitialised()) {
      result.message = "libcurl could not be initialised";
      return result;
    }
    Transfer transfer;
    transfer.sink = sink;
    transfer.fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode & 07777);
    if (transfer.fd < 0) {
      result.code = kDownloadFileError;
      result.detail = errno;
      result.message = "cannot create " + path + ": " + std::strerror(errno);
      PlatformLog("download: %s", result.message.c_str());
      return result;
    }
    ::fchmod(transfer.fd, mode & 07777);  // open() left the umask's mark on a new file

    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
      ::close(transfer.fd);
      ::unlink(path.c_str());
      result.message = "curl_easy_init failed";
      PlatformLog("download: %s", result.message.c_str());
      return result;
    }
    char error_text[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error_text);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // several threads; no SIGALRM
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnTransferInfo);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    long http_status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &http_status);
    curl_easy_cleanup(curl);
    const int close_errno = ::close(transfer.fd) == 0 ? 0 : errno;

    if (code == CURLE_OK && close_errno == 0) {
      result.code = kDownloadOk;
      result.detail = static_cast<int>(http_status);
      return result;
    }
    if (transfer.cancelled) {
      result.code = kDownloadCancelled;
      result.detail = code;
      result.message = "cancelled";
    } else if (code == CURLE_HTTP_RETURNED_ERROR) {
      result.code = kDownloadHttpError;
      result.detail = static_cast<int>(http_status);
      result.message = "HTTP status " + std::to_string(http_status);
    } else if (transfer.write_errno != 0 || code == CURLE_OK) {
      result.code = kDownloadFileError;
      result.detail = transfer.write_errno != 0 ? transfer.write_errno : close_errno;
      result.message = "cannot write " + path + ": " + std::strerror(result.detail);
    } else {
      result.code = kDownloadFailed;
      result.detail = code;
      result.message = error_text[0] != '\0' ? error_text : curl_easy_strerror(code);
    }
    ::unlink(path.c_str());
    PlatformLog("download of %s failed: %s", url.c_str(), result.message.c_str());
    return result;
  }
};

}  // namespace

}  // namespace vz

// The entry that CreateDownloader() resolves in this library when the first
// download starts; the caller owns the object.
extern "C" __attribute__((visibility("default"))) vz::Downloader* VzCreateCurlDownloader() {
  return new vz::CurlDownloader();
}

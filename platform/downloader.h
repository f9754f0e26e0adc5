#pragma once
// The downloader port: fetches one address into a file with progress, the way
// the upgrade package is fetched. Backend: libcurl (http, https, file).
//
// A download runs on the calling thread and blocks it. It stops
// cooperatively: the progress sink answers false and the transfer aborts at
// the next progress call (libcurl calls it at least once a second, also while
// no data flows), so the thread can then be joined. Nothing is ever killed.
#include <cstdint>
#include <memory>
#include <string>

namespace vz {

class DownloadProgressSink {
 public:
  // On the downloading thread. `total` is 0 while the size is unknown.
  // Returns false to abort the download.
  virtual bool OnDownloadProgress(uint64_t received, uint64_t total) = 0;

 protected:
  ~DownloadProgressSink() = default;
};

enum DownloadCode : int {
  kDownloadOk = 0,
  kDownloadCancelled = 1,  // the sink answered false
  kDownloadFailed = 2,     // the transfer failed; `detail` holds the libcurl code
  kDownloadHttpError = 3,  // the server answered with an error; `detail` holds the HTTP status
  kDownloadFileError = 4,  // the target file could not be written; `detail` holds errno
};

struct DownloadResult {
  int code = kDownloadFailed;  // a DownloadCode
  int detail = 0;
  std::string message;  // for the log
};

class Downloader {
 public:
  virtual ~Downloader() = default;
  // Downloads `url` into `path`, created or replaced with `mode` (as for
  // chmod). On any failure the partial file is removed. `sink` may be null.
  virtual DownloadResult DownloadToFile(const std::string& url, const std::string& path, unsigned mode,
                                        DownloadProgressSink* sink) = 0;
};

// The libcurl downloader: redirects are followed (http and https only, at most
// five), a connection must come up within 30 s, and a transfer that moves no
// byte for 60 s fails. libcurl lives in libvzplatform_download.so, loaded
// beside the program when the first download starts, so a program that never
// downloads never loads it; when that library cannot be loaded, every
// download fails (kDownloadFailed, with the loader's reason) and is logged.
std::unique_ptr<Downloader> CreateDownloader();

// The name of the library that holds the libcurl downloader.
inline constexpr char kDownloaderLibrary[] = "vzplatform_download";

}  // namespace vz

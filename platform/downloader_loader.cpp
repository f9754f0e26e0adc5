#include <mutex>

#include "platform/downloader.h"
#include "platform/module_loader.h"
#include "platform/platform_log.h"

namespace vz {
namespace {

using CreateCurlDownloaderFn = Downloader* (*)();

// Loads the libcurl downloader's library once per process and keeps it; the
// reason it did not load is kept for every later download's result.
CreateCurlDownloaderFn LoadCurlDownloader(std::string* why) {
  static std::once_flag once;
  static CreateCurlDownloaderFn create = nullptr;
  static std::string failure;
  std::call_once(once, [] {
    const ModuleLoad load = LoadModule(kDownloaderLibrary);
    if (load.module == nullptr) {
      failure = "the downloader library could not be loaded: " + load.error.reason;
    } else {
      create = reinterpret_cast<CreateCurlDownloaderFn>(GetModuleSymbol(load.module, "VzCreateCurlDownloader"));
      if (create == nullptr) failure = "the downloader library has no VzCreateCurlDownloader";
    }
    if (!failure.empty()) PlatformLog("CreateDownloader: %s", failure.c_str());
  });
  *why = failure;
  return create;
}

// Loads the real downloader at its first download, on that thread.
class LoadingDownloader : public Downloader {
 public:
  DownloadResult DownloadToFile(const std::string& url, const std::string& path, unsigned mode,
                                DownloadProgressSink* sink) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!real_) {
        std::string why;
        if (const CreateCurlDownloaderFn create = LoadCurlDownloader(&why)) real_.reset(create());
        if (!real_) {
          DownloadResult result;
          result.code = kDownloadFailed;
          result.message = why.empty() ? "the downloader could not be made" : why;
          PlatformLog("DownloadToFile %s: %s", url.c_str(), result.message.c_str());
          return result;
        }
      }
    }
    return real_->DownloadToFile(url, path, mode, sink);
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<Downloader> real_;
};

}  // namespace

std::unique_ptr<Downloader> CreateDownloader() { return std::make_unique<LoadingDownloader>(); }

}  // namespace vz

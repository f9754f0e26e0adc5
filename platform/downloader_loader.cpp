#include <mutex>

#include "platform/downloader.h"
#include "platform/module_loader.h"
#include "platform/platform_log.h"

namespace vz {
namespace {

using CreateCurlDownloaderFn = Downloader* (*)();

// Loads the libcurl downloader's library at its first download, on that
// thread, and holds it for as long as the downloader lives.
class LoadingDownloader : public Downloader {
 public:
  ~LoadingDownloader() override {
    real_.reset();  // its code lives in the library
    FreeModule(module_);
  }

  DownloadResult DownloadToFile(const std::string& url, const std::string& path, unsigned mode,
                                DownloadProgressSink* sink) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!real_) {
        std::string why;
        if (!Load(&why)) {
          DownloadResult result;
          result.code = kDownloadFailed;
          result.message = why;
          PlatformLog("DownloadToFile %s: %s", url.c_str(), why.c_str());
          return result;
        }
      }
    }
    return real_->DownloadToFile(url, path, mode, sink);
  }

 private:
  bool Load(std::string* why) {
    if (module_ == nullptr) {
      const ModuleLoad load = LoadModule(kDownloaderLibrary);
      if (load.module == nullptr) {
        *why = "the downloader library could not be loaded: " + load.error.reason;
        return false;
      }
      module_ = load.module;
    }
    const auto create = reinterpret_cast<CreateCurlDownloaderFn>(GetModuleSymbol(module_, "VzCreateCurlDownloader"));
    if (create == nullptr) {
      *why = "the downloader library has no VzCreateCurlDownloader";
      return false;
    }
    real_.reset(create());
    return true;
  }

  std::mutex mutex_;
  ModuleHandle module_ = nullptr;
  std::unique_ptr<Downloader> real_;
};

}  // namespace

std::unique_ptr<Downloader> CreateDownloader() { return std::make_unique<LoadingDownloader>(); }

}  // namespace vz

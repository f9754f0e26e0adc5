#include "outside/vzres/vzres.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/platform_log.h"
#include "platform/process.h"
#include "platform/text.h"

namespace vzres {
namespace {

// A read-only mapping of a whole file.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() {
    if (address_) munmap(address_, size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::string& path, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      *error = std::strerror(errno);
      return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
      *error = "not a readable regular file";
      close(fd);
      return false;
    }
    void* address = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (address == MAP_FAILED) {
      *error = std::strerror(errno);
      return false;
    }
    address_ = address;
    size_ = static_cast<size_t>(info.st_size);
    return true;
  }
  std::string_view bytes() const { return {static_cast<const char*>(address_), size_}; }

 private:
  void* address_ = nullptr;
  size_t size_ = 0;
};

// The bundle and, for a file, its mapping, which must outlive it.
struct LoadedBundle {
  std::unique_ptr<MappedFile> file;
  std::unique_ptr<ResourceBundle> bundle;
};

std::mutex g_mutex;
std::shared_ptr<const LoadedBundle> g_current;  // under g_mutex
std::atomic<uint32_t> g_language{kLanguageEnglish};

std::shared_ptr<const LoadedBundle> Current() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_current;
}

void MakeCurrent(std::shared_ptr<const LoadedBundle> loaded) {
  std::shared_ptr<const LoadedBundle> previous;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    previous = std::move(g_current);
    g_current = std::move(loaded);
  }
  // `previous` goes here, outside the lock; lookups still holding it finish first.
}

std::string BundlePathForName(std::string_view name) {
  if (name.find('/') != std::string_view::npos) return std::string(name);
  std::string base(name);
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0) base.resize(base.size() - 3);
  if (base.rfind("lib", 0) == 0 && base.size() > 3) base.erase(0, 3);
  return vz::ExecutableDir() + "/" + base + ".bundle";
}

}  // namespace

bool LoadResourceLibrary(std::string_view name) {
  const std::string path = BundlePathForName(name);
  auto loaded = std::make_shared<LoadedBundle>();
  loaded->file = std::make_unique<MappedFile>();
  std::string error;
  if (loaded->file->Open(path, &error)) {
    loaded->bundle = ResourceBundle::FromView(loaded->file->bytes(), &error);
  }
  if (!loaded->bundle) {
    vz::PlatformLog("Can't load the resource bundle [%s]: %s", path.c_str(), error.c_str());
    MakeCurrent(nullptr);
    return false;
  }
  MakeCurrent(std::move(loaded));
  return true;
}

void SetResourceBundle(std::unique_ptr<ResourceBundle> bundle) {
  if (!bundle) {
    MakeCurrent(nullptr);
    return;
  }
  auto loaded = std::make_shared<LoadedBundle>();
  loaded->bundle = std::move(bundle);
  MakeCurrent(std::move(loaded));
}

void UnloadResourceLibrary() { MakeCurrent(nullptr); }

bool IsResourceLibraryLoaded() { return Current() != nullptr; }

void SetResourceLanguage(uint32_t language) { g_language.store(language, std::memory_order_relaxed); }

uint32_t GetResourceLanguage() { return g_language.load(std::memory_order_relaxed); }

std::u16string LoadResString(uint32_t id) { return LoadResString(id, GetResourceLanguage()); }

std::u16string LoadResString(uint32_t id, uint32_t language) {
  const auto loaded = Current();
  if (!loaded) return {};
  const auto text = loaded->bundle->FindString(id, language, kLanguageEnglish);
  return text ? vz::Utf8ToUtf16(*text) : std::u16string();
}

size_t LoadResString(uint32_t id, char16_t* buffer, size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  const std::u16string text = LoadResString(id);
  vz::CopyUtf16(buffer, capacity, text);
  return std::min(text.size(), capacity - 1);
}

std::vector<uint8_t> LoadResPng(uint32_t id) {
  const auto loaded = Current();
  if (!loaded) return {};
  const auto bytes = loaded->bundle->FindPng(id);
  if (!bytes) return {};
  return std::vector<uint8_t>(bytes->begin(), bytes->end());
}

std::optional<DialogDescription> LoadResDialog(uint32_t id) {
  const auto loaded = Current();
  if (!loaded) return std::nullopt;
  return loaded->bundle->FindDialog(id);
}

}  // namespace vzres

// The C entry points, for the deliverables that load the library by name
// instead of linking it (the capture library).
extern "C" __attribute__((visibility("default"))) int VzResEnsureLoaded(const char* name) {
  if (vzres::IsResourceLibraryLoaded()) return 1;
  return vzres::LoadResourceLibrary(name != nullptr ? name : "vzres") ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) uint32_t VzResCopyPng(uint32_t id, uint8_t* buffer,
                                                                        uint32_t capacity) {
  const std::vector<uint8_t> bytes = vzres::LoadResPng(id);
  if (bytes.size() > UINT32_MAX) return 0;
  if (!bytes.empty() && buffer != nullptr && capacity >= bytes.size()) std::memcpy(buffer, bytes.data(), bytes.size());
  return static_cast<uint32_t>(bytes.size());
}

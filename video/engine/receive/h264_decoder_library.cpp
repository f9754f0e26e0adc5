#include "video/engine/receive/h264_decoder_library.h"

#include <mutex>

#include "common/trace_client.h"
#include "platform/module_loader.h"
#include "video/engine/core/codec_exports.h"

namespace {

struct LibraryState {
  std::mutex lock;
  int users = 0;
  bool loaded = false;
  vz::ModuleHandle module = nullptr;
  H264DecoderEntryPoints entry;
  bool fake = false;
  H264DecoderEntryPoints fake_entry;
  int loads = 0;
  int frees = 0;
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

bool Complete(const H264DecoderEntryPoints& entry) { return entry.create != nullptr && entry.destroy != nullptr; }

}  // namespace

bool CH264DecoderLibrary::AddUser(H264DecoderEntryPoints* out) {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  ++s.users;
  *out = H264DecoderEntryPoints{};
  if (!s.loaded) {
    if (s.fake) {
      s.entry = s.fake_entry;
    } else {
      CodecExports loaded;
      // A library lacking an export stays loaded (and unusable) while anyone counts.
      if (LoadCodecExports(vzh264::kLibraryName, vzh264::kCreateDecoderName, vzh264::kDestroyDecoderName,
                           &loaded) == CodecExportsResult::kNoLibrary) {
        return false;
      }
      s.module = loaded.module;
      s.entry.create = reinterpret_cast<vzh264::CreateDecoderFn>(loaded.create);
      s.entry.destroy = reinterpret_cast<vzh264::DestroyDecoderFn>(loaded.destroy);
    }
    s.loaded = true;
    ++s.loads;
  }
  if (!Complete(s.entry)) {
    VZ_LOG_ERROR("%s lacks %s or %s", vzh264::kLibraryName, vzh264::kCreateDecoderName,
                 vzh264::kDestroyDecoderName);
    return false;
  }
  *out = s.entry;
  return true;
}

void CH264DecoderLibrary::RemoveUser() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  if (s.users == 0) {
    VZ_LOG_ERROR("more releases than users");
    return;
  }
  if (--s.users > 0 || !s.loaded) return;
  s.entry = H264DecoderEntryPoints{};
  s.loaded = false;
  ++s.frees;
  if (s.module != nullptr) {
    vz::FreeModule(s.module);
    s.module = nullptr;
  }
}

int CH264DecoderLibrary::users_for_testing() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.users;
}

bool CH264DecoderLibrary::loaded_for_testing() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.loaded;
}

int CH264DecoderLibrary::loads_for_testing() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.loads;
}

int CH264DecoderLibrary::frees_for_testing() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.frees;
}

void CH264DecoderLibrary::SetForTesting(const H264DecoderEntryPoints* fake) {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  s.fake = fake != nullptr;
  s.fake_entry = fake != nullptr ? *fake : H264DecoderEntryPoints{};
}

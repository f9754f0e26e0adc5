#include "video/engine/send/h264_encoder_library.h"

#include <mutex>

#include "platform/module_loader.h"
#include "video/engine/core/codec_exports.h"

namespace {

struct LibraryState {
  std::mutex lock;
  int users = 0;
  vz::ModuleHandle module = nullptr;
  H264EncoderEntryPoints entry;
  bool fake = false;
  H264EncoderEntryPoints fake_entry;
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

}  // namespace

int32_t CH264EncoderLibrary::Acquire(H264EncoderEntryPoints* out) {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  if (s.users == 0) {
    if (s.fake) {
      s.entry = s.fake_entry;
    } else {
      CodecExports loaded;
      const CodecExportsResult result = LoadCodecExports(vzh264::kLibraryName, vzh264::kCreateEncoderName,
                                                         vzh264::kDestroyEncoderName, &loaded);
      if (result == CodecExportsResult::kNoLibrary) return kNoLibrary;
      if (result == CodecExportsResult::kNoEntryPoints) {
        vz::FreeModule(loaded.module);
        return kNoEntryPoints;
      }
      s.module = loaded.module;
      s.entry.create = reinterpret_cast<vzh264::CreateEncoderFn>(loaded.create);
      s.entry.destroy = reinterpret_cast<vzh264::DestroyEncoderFn>(loaded.destroy);
    }
    if (s.entry.create == nullptr || s.entry.destroy == nullptr) return kNoEntryPoints;
  }
  ++s.users;
  *out = s.entry;
  return 0;
}

void CH264EncoderLibrary::Release() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  if (s.users == 0) return;
  if (--s.users > 0) return;
  s.entry = H264EncoderEntryPoints{};
  if (s.module != nullptr) {
    vz::FreeModule(s.module);
    s.module = nullptr;
  }
}

int CH264EncoderLibrary::users_for_testing() {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.users;
}

void CH264EncoderLibrary::SetForTesting(const H264EncoderEntryPoints* fake) {
  LibraryState& s = State();
  std::lock_guard<std::mutex> hold(s.lock);
  s.fake = fake != nullptr;
  s.fake_entry = fake != nullptr ? *fake : H264EncoderEntryPoints{};
}

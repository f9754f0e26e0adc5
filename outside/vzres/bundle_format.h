#pragma once
// The layout of a resource bundle file. Little-endian throughout.
//
//   header   16 bytes: "VZRB", version (1), entry count, reserved (0)
//   index    count x 20 bytes: kind, id, language, offset, length; sorted by
//            (kind, id, language) with no duplicates
//   data     the entries' bytes; each entry lies inside the file
//
// Strings are UTF-8 without a terminator; PNG entries are PNG files; dialog
// entries are the text of one dialog description (dialog_description.h).
#include <cstdint>

namespace vzres {

enum class ResourceKind : uint32_t {
  kString = 1,
  kPng = 2,
  kDialog = 3,
};

inline constexpr char kBundleMagic[4] = {'V', 'Z', 'R', 'B'};
inline constexpr uint32_t kBundleVersion = 1;
inline constexpr uint32_t kBundleHeaderSize = 16;
inline constexpr uint32_t kBundleEntrySize = 20;
// PNG images and dialogs belong to no language.
inline constexpr uint32_t kNeutralLanguage = 0;
// The file name of the bundle beside the executable.
inline constexpr const char* kBundleFileName = "vzres.bundle";

}  // namespace vzres

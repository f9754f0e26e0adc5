#pragma once
// A resource bundle held in memory: the index of a bundle file and lookups
// by (kind, id, language) in O(log n). Built from a file's bytes (or a test's
// bytes); every offset and length is checked once, when it is built.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outside/vzres/bundle_format.h"
#include "outside/vzres/dialog_description.h"

namespace vzres {

class ResourceBundle {
 public:
  // Takes a view of bytes that must outlive the bundle (a mapped file).
  // Returns null, with `error` set, for anything malformed.
  static std::unique_ptr<ResourceBundle> FromView(std::string_view bytes, std::string* error);
  // Keeps its own copy of the bytes (the in-memory double).
  static std::unique_ptr<ResourceBundle> FromBytesForTesting(std::string bytes, std::string* error);

  // The raw bytes of one entry, or nothing.
  std::optional<std::string_view> Find(ResourceKind kind, uint32_t id, uint32_t language) const;

  // UTF-8 text of a string in `language`, else in the fallback language;
  // nothing when neither has it.
  std::optional<std::string_view> FindString(uint32_t id, uint32_t language, uint32_t fallback_language) const;
  std::optional<std::string_view> FindPng(uint32_t id) const;
  // Parses the dialog entry; nothing when missing or malformed.
  std::optional<DialogDescription> FindDialog(uint32_t id) const;

 private:
  struct Entry {
    uint32_t kind;
    uint32_t id;
    uint32_t language;
    std::string_view bytes;
  };
  ResourceBundle() = default;
  bool Build(std::string_view bytes, std::string* error);

  std::string owned_bytes_;
  std::vector<Entry> entries_;
};

}  // namespace vzres

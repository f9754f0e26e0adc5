#include "outside/vzres/resource_bundle.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace vzres {
namespace {

uint32_t ReadU32(std::string_view bytes, size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

std::unique_ptr<ResourceBundle> ResourceBundle::FromView(std::string_view bytes, std::string* error) {
  std::unique_ptr<ResourceBundle> bundle(new ResourceBundle());
  if (!bundle->Build(bytes, error)) return nullptr;
  return bundle;
}

std::unique_ptr<ResourceBundle> ResourceBundle::FromBytesForTesting(std::string bytes, std::string* error) {
  std::unique_ptr<ResourceBundle> bundle(new ResourceBundle());
  bundle->owned_bytes_ = std::move(bytes);
  if (!bundle->Build(bundle->owned_bytes_, error)) return nullptr;
  return bundle;
}

bool ResourceBundle::Build(std::string_view bytes, std::string* error) {
  if (bytes.size() < kBundleHeaderSize || std::memcmp(bytes.data(), kBundleMagic, 4) != 0) {
    *error = "not a resource bundle";
    return false;
  }
  if (ReadU32(bytes, 4) != kBundleVersion) {
    *error = "unknown bundle version " + std::to_string(ReadU32(bytes, 4));
    return false;
  }
  const uint64_t count = ReadU32(bytes, 8);
  const uint64_t index_end = kBundleHeaderSize + count * kBundleEntrySize;
  if (index_end > bytes.size()) {
    *error = "index runs past the end of the bundle";
    return false;
  }
  entries_.clear();
  entries_.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i) {
    const size_t at = static_cast<size_t>(kBundleHeaderSize + i * kBundleEntrySize);
    Entry entry{ReadU32(bytes, at), ReadU32(bytes, at + 4), ReadU32(bytes, at + 8), {}};
    const uint64_t offset = ReadU32(bytes, at + 12);
    const uint64_t length = ReadU32(bytes, at + 16);
    if (offset < index_end || offset + length > bytes.size()) {
      *error = "entry " + std::to_string(i) + " lies outside the data";
      return false;
    }
    if (!entries_.empty()) {
      const Entry& last = entries_.back();
      if (std::tie(last.kind, last.id, last.language) >= std::tie(entry.kind, entry.id, entry.language)) {
        *error = "index is not sorted or holds an entry twice";
        return false;
      }
    }
    entry.bytes = bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
    entries_.push_back(entry);
  }
  return true;
}

std::optional<std::string_view> ResourceBundle::Find(ResourceKind kind, uint32_t id, uint32_t language) const {
  const auto key = std::make_tuple(static_cast<uint32_t>(kind), id, language);
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), key, [](const Entry& entry, const auto& k) {
    return std::tie(entry.kind, entry.id, entry.language) < k;
  });
  if (it == entries_.end() || std::tie(it->kind, it->id, it->language) != key) return std::nullopt;
  return it->bytes;
}

std::optional<std::string_view> ResourceBundle::FindString(uint32_t id, uint32_t language,
                                                           uint32_t fallback_language) const {
  if (auto text = Find(ResourceKind::kString, id, language)) return text;
  return Find(ResourceKind::kString, id, fallback_language);
}

std::optional<std::string_view> ResourceBundle::FindPng(uint32_t id) const {
  return Find(ResourceKind::kPng, id, kNeutralLanguage);
}

std::optional<DialogDescription> ResourceBundle::FindDialog(uint32_t id) const {
  const auto text = Find(ResourceKind::kDialog, id, kNeutralLanguage);
  if (!text) return std::nullopt;
  std::vector<DialogDescription> dialogs;
  std::string error;
  if (!ParseDialogDescriptions(*text, &dialogs, &error) || dialogs.size() != 1 || dialogs[0].id != id) {
    return std::nullopt;
  }
  return std::move(dialogs[0]);
}

}  // namespace vzres

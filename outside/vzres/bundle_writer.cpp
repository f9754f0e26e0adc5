#include "outside/vzres/bundle_writer.h"

namespace vzres {
namespace {

void AppendU32(std::string* out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

}  // namespace

bool BundleWriter::Add(ResourceKind kind, uint32_t id, uint32_t language, std::string_view bytes) {
  return entries_.emplace(std::make_tuple(static_cast<uint32_t>(kind), id, language), std::string(bytes)).second;
}

bool BundleWriter::Has(ResourceKind kind, uint32_t id, uint32_t language) const {
  return entries_.count(std::make_tuple(static_cast<uint32_t>(kind), id, language)) != 0;
}

bool BundleWriter::Write(std::string* out) const {
  uint64_t offset = kBundleHeaderSize + static_cast<uint64_t>(entries_.size()) * kBundleEntrySize;
  uint64_t total = offset;
  for (const auto& [key, bytes] : entries_) total += bytes.size();
  if (total > 0xFFFFFFFFull) return false;

  out->clear();
  out->reserve(static_cast<size_t>(total));
  out->append(kBundleMagic, 4);
  AppendU32(out, kBundleVersion);
  AppendU32(out, static_cast<uint32_t>(entries_.size()));
  AppendU32(out, 0);
  for (const auto& [key, bytes] : entries_) {  // std::map keeps the index sorted
    AppendU32(out, std::get<0>(key));
    AppendU32(out, std::get<1>(key));
    AppendU32(out, std::get<2>(key));
    AppendU32(out, static_cast<uint32_t>(offset));
    AppendU32(out, static_cast<uint32_t>(bytes.size()));
    offset += bytes.size();
  }
  for (const auto& [key, bytes] : entries_) out->append(bytes);
  return true;
}

}  // namespace vzres

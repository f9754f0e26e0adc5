#pragma once
// The text builders the reports are assembled from, and their escaping. Key and value are
// written between double quotes with `"`, `\` and control bytes escaped, so
// the result is always a valid member; text that needs no escaping comes out
// byte for byte as passed. There is no tree-to-text writer.
#include <cstdint>
#include <string>
#include <string_view>

// Whether "/" is escaped too: some readers (the extension host's messages)
// want "\/"; JSON itself does not need it.
enum class JsonSlash { kKeep, kEscape };

// Appends `text` as the inside of a JSON string: `"`, `\` (and "/" with
// JsonSlash::kEscape) get a backslash, \b \f \n \r \t their short forms,
// every other byte below 0x20 becomes \u00xx; all other bytes, UTF-8 or not,
// are copied unchanged.
void JsonAppendEscaped(std::string* out, std::string_view text, JsonSlash slash = JsonSlash::kKeep);

// "key":"value"
std::string JsonMakeStringPair(std::string_view key, std::string_view value);
// "key":n with n as its unsigned 32-bit value ("code":4294967295 for -1).
std::string JsonMakeNumberPair(std::string_view key, int32_t n);

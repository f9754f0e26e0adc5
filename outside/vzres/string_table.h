#pragma once
// The source form of one language's strings:
//
//   # comment
//   language <id>
//   <string id> <text>
//
// The text runs to the end of the line and takes the escapes \n, \t and \\.
// It must be well-formed UTF-8.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace vzres {

struct StringTable {
  uint32_t language = 0;
  std::map<uint32_t, std::string> strings;  // UTF-8
};

// False on anything malformed (no language line, a bad id, an id given
// twice, a bad escape, malformed UTF-8), with `error` saying "line N: ...".
bool ParseStringTable(std::string_view text, StringTable* table, std::string* error);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsWellFormedUtf8(std::string_view text);

}  // namespace vzres

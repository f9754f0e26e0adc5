#pragma once
// The two text builders the reports are assembled from. Key and value are
// written between double quotes with `"`, `\` and control bytes escaped, so
// the result is always a valid member; text that needs no escaping comes out
// byte for byte as passed. There is no tree-to-text writer.
#include <cstdint>
#include <string>
#include <string_view>

// "key":"value"
std::string JsonMakeStringPair(std::string_view key, std::string_view value);
// "key":n with n as its unsigned 32-bit value ("code":4294967295 for -1).
std::string JsonMakeNumberPair(std::string_view key, int32_t n);

#pragma once
// Base64 with the standard alphabet and "=" padding (RFC 4648), no line
// breaks. An empty input gives an empty text.
#include <cstddef>
#include <cstdint>
#include <string>

std::string Base64Encode(const uint8_t* bytes, size_t length);

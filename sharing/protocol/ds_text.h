#pragma once
// Text of the sharing messages: UTF-8 on the wire, UTF-16 in the records.
#include <cstddef>
#include <string>
#include <string_view>

// The UTF-8 form of a zero-terminated wide text (null gives ""), cut at a
// character boundary so that it holds at most max_bytes bytes.
std::string DsUtf8Cut(const char16_t* text, size_t max_bytes);
// Decodes UTF-8 (malformed bytes become U+FFFD) into a wide field of
// `capacity` units, cut to capacity - 1 units at a character boundary and
// always terminated.
void DsUtf8ToField(std::string_view text, char16_t* field, size_t capacity);

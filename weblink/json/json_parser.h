#pragma once
// The web page's JSON grammar: case-insensitive literals, exactly four
// whitespace bytes (tab, line feed, carriage return, space), the last of
// duplicate keys wins, numbers built digit by digit. Texts nested deeper than
// kJsonMaxDepth containers fail, and so does the escape \u0000.
#include <memory>

#include "weblink/json/json_value.h"

constexpr int kJsonMaxDepth = 256;

// `text` is NUL-terminated (null fails). Returns the root, or null on any
// syntax error; nothing else is reported.
std::unique_ptr<JsonValue> JsonParse(const char* text);

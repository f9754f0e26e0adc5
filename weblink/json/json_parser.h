#pragma once
// The web page's JSON grammar: case-insensitive literals, exactly four
// whitespace bytes (tab, line feed, carriage return, space), the last of
// duplicate keys wins, numbers built digit by digit, \u escapes decoded to
// UTF-8 (\u0000 fails). The text ends at its first NUL byte or at the end of
// the view, whichever comes first.
//
// Memory stays within a small multiple of the text: a parse may make at most
// JsonValueBudget(size) nodes (every value and every member name counts
// one), and nesting is limited to kJsonMaxDepth containers. A text past
// either limit, or a parse the system refuses memory for, fails with a log
// line; a plain syntax error fails silently and the caller logs what it must.
// Never throws. Any thread; parses share nothing.
#include <cstddef>
#include <string_view>

#include "weblink/json/json_document.h"

constexpr int kJsonMaxDepth = 256;

// A quarter of the text's bytes, plus room for small texts: ordinary
// messages spend well over four bytes of text on each value, so only
// pathological texts (a long run of "0,") reach it. Each node costs 16 bytes
// of arena, so the tree stays within about five times the text (names and
// strings included) and the working stack within four.
constexpr size_t JsonValueBudget(size_t text_size) { return text_size / 4 + 1024; }

JsonDocument JsonParse(std::string_view text);

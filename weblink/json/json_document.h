#pragma once
// A parsed JSON text: its root node and the arena that holds the whole tree.
// Every JsonValue, view and text reached from the root lives as long as the
// document; moving the document keeps them valid. A failed parse gives a
// document that converts to false, says why in error_for_testing(), and
// whose root is a null node, so look-ups on it give neutral values.
#include <cstddef>

#include "weblink/json/json_arena.h"
#include "weblink/json/json_value.h"

enum class JsonParseError {
  kNone,
  kSyntax,       // the text is not in the grammar
  kTooDeep,      // containers nested deeper than kJsonMaxDepth
  kOverBudget,   // more values than the text's size allows (JsonValueBudget)
  kOutOfMemory,  // the system refused memory
};

class JsonDocument {
 public:
  JsonDocument() = default;
  JsonDocument(JsonDocument&&) noexcept = default;
  JsonDocument& operator=(JsonDocument&&) noexcept = default;

  explicit operator bool() const { return error_ == JsonParseError::kNone; }
  JsonParseError error_for_testing() const { return error_; }

  const JsonValue& operator*() const { return root_; }
  const JsonValue* operator->() const { return &root_; }

  // What the parse took from the system: the arena's blocks, and the largest
  // working stack it held while parsing (freed when the parse ended).
  size_t arena_bytes_for_testing() const { return arena_.bytes_reserved(); }
  size_t peak_scratch_bytes_for_testing() const { return peak_scratch_bytes_; }

 private:
  friend class JsonDocumentBuilder;

  JsonArena arena_;
  JsonValue root_;
  JsonParseError error_ = JsonParseError::kSyntax;
  size_t peak_scratch_bytes_ = 0;
};

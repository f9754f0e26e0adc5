#pragma once
// One node of a parsed JSON tree. A node owns its children: deleting it
// deletes every array element and every member value, recursively. The
// look-ups hand out shallow copies of `items` and `members` that hold the
// same child pointers; such a copy is dropped without touching them.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct JsonValue;

// Members ordered by byte-wise key comparison; std::less<> allows look-ups
// by string_view without building a string.
using JsonMembers = std::map<std::string, JsonValue*, std::less<>>;
using JsonItems = std::vector<JsonValue*>;

// Tags. 4 is not made by the parser but is taken as a number by JsonGetNumber.
constexpr int32_t kJsonTagNull = 0;
constexpr int32_t kJsonTagString = 1;
constexpr int32_t kJsonTagBool = 2;
constexpr int32_t kJsonTagNumber = 3;
constexpr int32_t kJsonTagNumberAlt = 4;
constexpr int32_t kJsonTagArray = 5;
constexpr int32_t kJsonTagObject = 6;

struct JsonValue {
  JsonValue() = default;
  explicit JsonValue(int32_t node_tag) : tag(node_tag) {}
  ~JsonValue();
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;

  // Only the field that the tag names is meaningful.
  int32_t tag = kJsonTagNull;
  std::string text;    // tag 1: UTF-8 bytes, escapes resolved
  bool flag = false;   // tag 2
  double number = 0;   // tag 3
  JsonItems items;     // tag 5: owned, in text order
  JsonMembers members; // tag 6: owned values
};

#pragma once
// One node of a parsed JSON tree, and the views of an array's items and an
// object's members. Every node, item array, member array and text lives in
// the arena of the JsonDocument that parsed it (json_document.h): they are
// valid while that document lives, and nothing here owns or frees anything.
// Views are two words and copy for free; they never copy the tree.
#include <cstdint>
#include <string_view>

// Tags. 4 is not made by the parser but is taken as a number by JsonGetNumber.
constexpr int32_t kJsonTagNull = 0;
constexpr int32_t kJsonTagString = 1;
constexpr int32_t kJsonTagBool = 2;
constexpr int32_t kJsonTagNumber = 3;
constexpr int32_t kJsonTagNumberAlt = 4;
constexpr int32_t kJsonTagArray = 5;
constexpr int32_t kJsonTagObject = 6;

struct JsonValue;
struct JsonMember;

// An array's elements, in text order.
class JsonItems {
 public:
  JsonItems() = default;
  JsonItems(const JsonValue* first, uint32_t count) : first_(first), count_(count) {}

  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  const JsonValue* begin() const { return first_; }
  const JsonValue* end() const;
  const JsonValue& operator[](size_t index) const;

 private:
  const JsonValue* first_ = nullptr;
  uint32_t count_ = 0;
};

// An object's members in text order, as the text wrote them: a name the text
// repeats appears again, and the look-ups see only its last value (the last
// duplicate wins).
class JsonMembers {
 public:
  JsonMembers() = default;
  JsonMembers(const JsonMember* first, uint32_t count) : first_(first), count_(count) {}

  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  const JsonMember* begin() const { return first_; }
  const JsonMember* end() const;

  // The value of the last member of that name, or null when there is none.
  const JsonValue* Find(std::string_view name) const;

 private:
  const JsonMember* first_ = nullptr;
  uint32_t count_ = 0;
};

// 16 bytes: the tag, a length or count, and one word of payload. Only the
// accessor that the tag names gives the node's value; the others give the
// neutral value (empty text, false, 0, no items, no members).
struct JsonValue {
  JsonValue() = default;

  int32_t tag = kJsonTagNull;

  std::string_view text() const { return tag == kJsonTagString ? std::string_view(u_.chars, size_) : std::string_view(); }
  bool flag() const { return tag == kJsonTagBool && u_.flag; }
  double number() const { return tag == kJsonTagNumber || tag == kJsonTagNumberAlt ? u_.number : 0.0; }
  JsonItems items() const { return tag == kJsonTagArray ? JsonItems(u_.items, size_) : JsonItems(); }
  JsonMembers members() const { return tag == kJsonTagObject ? JsonMembers(u_.members, size_) : JsonMembers(); }

  // For the parser, which places every node in its document's arena.
  static JsonValue Null() { return JsonValue(); }
  static JsonValue String(const char* chars, uint32_t length) {
    JsonValue v(kJsonTagString, length);
    v.u_.chars = chars;
    return v;
  }
  static JsonValue Bool(bool flag) {
    JsonValue v(kJsonTagBool, 0);
    v.u_.flag = flag;
    return v;
  }
  static JsonValue Number(double number) {
    JsonValue v(kJsonTagNumber, 0);
    v.u_.number = number;
    return v;
  }
  static JsonValue Array(const JsonValue* items, uint32_t count) {
    JsonValue v(kJsonTagArray, count);
    v.u_.items = items;
    return v;
  }
  static JsonValue Object(const JsonMember* members, uint32_t count) {
    JsonValue v(kJsonTagObject, count);
    v.u_.members = members;
    return v;
  }

 private:
  JsonValue(int32_t node_tag, uint32_t size) : tag(node_tag), size_(size) {}

  uint32_t size_ = 0;  // text length, item count or member count
  union Payload {
    double number;
    bool flag;
    const char* chars;
    const JsonValue* items;
    const JsonMember* members;
  } u_{0.0};
};

struct JsonMember {
  std::string_view name;
  JsonValue value;
};

static_assert(sizeof(JsonValue) == 16, "a node is two words");
static_assert(sizeof(JsonMember) == 32, "a member is four words");

inline const JsonValue* JsonItems::end() const { return first_ + count_; }
inline const JsonValue& JsonItems::operator[](size_t index) const { return first_[index]; }
inline const JsonMember* JsonMembers::end() const { return first_ + count_; }

#include "weblink/json/json_lookup.h"

#include <limits>

namespace {

const JsonValue* FindTagged(const JsonMembers& members, std::string_view key, int32_t tag) {
  auto it = members.find(key);
  if (it == members.end() || !it->second || it->second->tag != tag) return nullptr;
  return it->second;
}

}  // namespace

int32_t JsonNumberToInt32(double number) {
  // Both bounds are exact doubles; NaN fails both comparisons.
  if (number > -2147483649.0 && number < 2147483648.0) return static_cast<int32_t>(number);
  return std::numeric_limits<int32_t>::min();
}

bool JsonHasKey(const JsonMembers& members, std::string_view key) { return members.find(key) != members.end(); }

std::string JsonGetString(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = FindTagged(members, key, kJsonTagString);
  return value ? value->text : std::string();
}

int32_t JsonGetNumber(const JsonMembers& members, std::string_view key) {
  auto it = members.find(key);
  if (it == members.end() || !it->second) return 0;
  const JsonValue* value = it->second;
  if (value->tag != kJsonTagNumber && value->tag != kJsonTagNumberAlt) return 0;
  return JsonNumberToInt32(value->number);
}

bool JsonGetBool(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = FindTagged(members, key, kJsonTagBool);
  return value ? value->flag : false;
}

JsonMembers JsonGetObject(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = FindTagged(members, key, kJsonTagObject);
  return value ? value->members : JsonMembers();
}

JsonItems JsonGetArray(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = FindTagged(members, key, kJsonTagArray);
  return value ? value->items : JsonItems();
}

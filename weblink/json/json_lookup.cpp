#include "weblink/json/json_lookup.h"

#include <limits>

int32_t JsonNumberToInt32(double number) {
  // Both bounds are exact doubles; NaN fails both comparisons.
  if (number > -2147483649.0 && number < 2147483648.0) return static_cast<int32_t>(number);
  return std::numeric_limits<int32_t>::min();
}

bool JsonHasKey(const JsonMembers& members, std::string_view key) { return members.Find(key) != nullptr; }

// Each accessor of JsonValue already gives the neutral value for another tag.
std::string JsonGetString(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = members.Find(key);
  return value ? std::string(value->text()) : std::string();
}

int32_t JsonGetNumber(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = members.Find(key);
  return value ? JsonNumberToInt32(value->number()) : 0;
}

bool JsonGetBool(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = members.Find(key);
  return value && value->flag();
}

JsonMembers JsonGetObject(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = members.Find(key);
  return value ? value->members() : JsonMembers();
}

JsonItems JsonGetArray(const JsonMembers& members, std::string_view key) {
  const JsonValue* value = members.Find(key);
  return value ? value->items() : JsonItems();
}

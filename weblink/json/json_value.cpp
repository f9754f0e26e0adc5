#include "weblink/json/json_value.h"

JsonValue::~JsonValue() {
  for (JsonValue* item : items) delete item;
  for (auto& member : members) delete member.second;
}

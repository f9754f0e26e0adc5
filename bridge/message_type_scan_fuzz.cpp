// Fuzz target: whenever the type scan is sure of a text the parser accepts,
// both read the same "type".
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "bridge/message_type_scan.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string_view scanned;
  if (!ScanMessageType(text, &scanned)) return 0;
  const JsonDocument value = JsonParse(text);
  if (value && JsonGetString(value->members(), "type") != scanned) __builtin_trap();
  return 0;
}

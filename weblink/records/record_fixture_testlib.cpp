#include "weblink/records/record_fixture_testlib.h"

#include <fstream>
#include <iterator>

#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

JsonDocument ParseOrFail(const std::string& text) {
  JsonDocument root = JsonParse(text);
  EXPECT_TRUE(root) << "not JSON: " << text;
  return root;
}

JsonDocument LoadFixture(const char* name) {
  const std::string path = std::string(VZ_RECORDS_TESTDATA) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseOrFail(text);
}

JsonMembers ActionOf(const JsonValue& request) { return JsonGetObject(request.members(), "action"); }

GoldenBytes& GoldenBytes::Text(size_t offset, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    bytes_.at(offset + 2 * i) = static_cast<uint8_t>(text[i] & 0xFF);
    bytes_.at(offset + 2 * i + 1) = static_cast<uint8_t>(text[i] >> 8);
  }
  return *this;
}

GoldenBytes& GoldenBytes::Int(size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
  return *this;
}

::testing::AssertionResult SameBytes(const void* record, size_t size, const GoldenBytes& golden) {
  if (size != golden.bytes().size()) {
    return ::testing::AssertionFailure() << "record of " << size << " bytes, golden " << golden.bytes().size();
  }
  const auto* bytes = static_cast<const uint8_t*>(record);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != golden.bytes()[i]) {
      return ::testing::AssertionFailure() << "first difference at offset " << i << ": "
                                           << int{bytes[i]} << " instead of " << int{golden.bytes()[i]};
    }
  }
  return ::testing::AssertionSuccess();
}

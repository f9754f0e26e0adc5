#pragma once
// Test support for the record builders: request fixtures and expected record
// bytes written at the layout's offsets.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "weblink/json/json_document.h"

// Parses testdata/<name>; a failed document (and a test failure) when it is missing or bad.
JsonDocument LoadFixture(const char* name);
// Parses `text`; a failed document (and a test failure) when it is not JSON.
JsonDocument ParseOrFail(const std::string& text);
// The "action" object of a request.
JsonMembers ActionOf(const JsonValue& request);

// Expected bytes of a record, built independently of the record structs:
// every value is placed at an offset written in the test.
class GoldenBytes {
 public:
  explicit GoldenBytes(size_t size) : bytes_(size, 0) {}
  GoldenBytes& Text(size_t offset, std::u16string_view text);
  GoldenBytes& Int(size_t offset, uint32_t value);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// Compares a whole record with the golden bytes, naming the first difference.
::testing::AssertionResult SameBytes(const void* record, size_t size, const GoldenBytes& golden);

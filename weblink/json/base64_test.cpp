#include "weblink/json/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string EncodeText(const char* text) {
  return Base64Encode(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

TEST(Base64Test, Rfc4648Vectors) {
  EXPECT_EQ(EncodeText(""), "");
  EXPECT_EQ(EncodeText("f"), "Zg==");
  EXPECT_EQ(EncodeText("fo"), "Zm8=");
  EXPECT_EQ(EncodeText("foo"), "Zm9v");
  EXPECT_EQ(EncodeText("foob"), "Zm9vYg==");
  EXPECT_EQ(EncodeText("fooba"), "Zm9vYmE=");
  EXPECT_EQ(EncodeText("foobar"), "Zm9vYmFy");
}

TEST(Base64Test, BinaryBytesUseTheWholeAlphabet) {
  const uint8_t bytes[] = {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0xFB, 0xFF, 0xBF, 0xFB, 0xFF};
  EXPECT_EQ(Base64Encode(bytes, sizeof bytes), "ABCDEFGH+/+/+/8=");
  EXPECT_EQ(Base64Encode(bytes, 0), "");
  EXPECT_EQ(Base64Encode(nullptr, 5), "");
}

}  // namespace

#include "weblink/records/token_mask.h"

std::string MaskedToken(const char16_t* token) {
  if (token == nullptr || *token == u'\0') return std::string();
  return "***";
}

std::string MaskedToken(std::string_view token) { return token.empty() ? std::string() : "***"; }

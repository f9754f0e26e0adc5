#include "client/app/language_table.h"

#include <string_view>

namespace {

struct LanguageRow {
  const char16_t* text;
  uint32_t id;
};

// "zh-sg" is kept with the traditional script, as it always was.
constexpr LanguageRow kLanguageTable[] = {
    {u"zh-hk", 1028}, {u"zh-sg", 1028}, {u"zh-tw", 1028}, {u"zh", 2052}, {u"fr", 1036}, {u"ja", 1041},
    {u"pt", 2070},    {u"es", 2058},    {u"da", 1030},    {u"fi", 1035}, {u"de", 1031}, {u"sv", 1053},
};

}  // namespace

uint32_t LanguageIdForText(const char16_t* language) {
  if (language == nullptr) return 1033;
  const std::u16string_view text(language);
  for (const LanguageRow& row : kLanguageTable) {
    if (text.find(row.text) != std::u16string_view::npos) return row.id;
  }
  return 1033;
}

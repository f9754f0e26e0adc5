#include "uikit/test_bundle_testlib.h"

#include <gtest/gtest.h>

#include <vector>

#include "outside/vzres/dialog_description.h"
#include "outside/vzres/vzres.h"

TestBundle& TestBundle::Png(uint32_t id, int width, int height, vz::Color color) {
  vz::Image image(width, height);
  image.FillForTesting(color);
  return Png(id, image);
}

TestBundle& TestBundle::Png(uint32_t id, const vz::Image& image) {
  const std::vector<uint8_t> bytes = image.EncodePng();
  writer_.Add(vzres::ResourceKind::kPng, id, vzres::kNeutralLanguage,
              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return *this;
}

TestBundle& TestBundle::String(uint32_t id, const std::string& utf8, uint32_t language) {
  writer_.Add(vzres::ResourceKind::kString, id, language, utf8);
  return *this;
}

TestBundle& TestBundle::Dialogs(const std::string& description_text) {
  std::vector<vzres::DialogDescription> dialogs;
  std::string error;
  EXPECT_TRUE(vzres::ParseDialogDescriptions(description_text, &dialogs, &error)) << error;
  for (const auto& dialog : dialogs) {
    writer_.Add(vzres::ResourceKind::kDialog, dialog.id, vzres::kNeutralLanguage,
                vzres::FormatDialogDescription(dialog));
  }
  return *this;
}

void TestBundle::Install() {
  std::string bytes, error;
  ASSERT_TRUE(writer_.Write(&bytes));
  auto bundle = vzres::ResourceBundle::FromBytesForTesting(std::move(bytes), &error);
  ASSERT_TRUE(bundle) << error;
  vzres::SetResourceBundle(std::move(bundle));
  installed_ = true;
}

TestBundle::~TestBundle() {
  if (installed_) vzres::SetResourceBundle(nullptr);
}

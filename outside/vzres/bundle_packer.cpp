#include "outside/vzres/bundle_packer.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "outside/vzres/bundle_writer.h"
#include "outside/vzres/dialog_description.h"
#include "outside/vzres/format_check.h"
#include "outside/vzres/drawing_set.h"
#include "outside/vzres/placeholder_png.h"
#include "outside/vzres/string_table.h"
#include "outside/vzres/vzres_ids.h"

namespace vzres {
namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::string* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path.string() + ": cannot be read";
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  *bytes = content.str();
  return true;
}

bool ParseNumber(const std::string& text, uint32_t* value) {
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty()) return false;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), *value, base);
  return result.ec == std::errc() && result.ptr == digits.data() + digits.size();
}

bool IsPng(std::string_view bytes) {
  return bytes.size() >= 33 && bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8) &&
         bytes.substr(12, 4) == "IHDR";
}

bool PackStrings(const fs::path& folder, BundleWriter* writer, std::map<uint32_t, StringTable>* tables,
                 std::string* error) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(folder / "strings", ec)) {
    if (item.path().extension() == ".txt") files.push_back(item.path());
  }
  if (ec) {
    *error = (folder / "strings").string() + ": cannot be listed";
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::string text;
    if (!ReadFile(file, &text, error)) return false;
    StringTable table;
    std::string what;
    if (!ParseStringTable(text, &table, &what)) {
      *error = file.string() + ": " + what;
      return false;
    }
    if (tables->count(table.language)) {
      *error = file.string() + ": language " + std::to_string(table.language) + " given twice";
      return false;
    }
    for (const auto& [id, value] : table.strings) {
      if (!CheckFormatConversions(value, ExpectedConversions(id), &what)) {
        *error = file.string() + ": string " + std::to_string(id) + ": " + what;
        return false;
      }
      writer->Add(ResourceKind::kString, id, table.language, value);
    }
    tables->emplace(table.language, std::move(table));
  }
  const auto fallback = tables->find(kLanguageEnglish);
  if (fallback == tables->end()) {
    *error = (folder / "strings").string() + ": no table for the fallback language 1033";
    return false;
  }
  for (const auto& [language, table] : *tables) {
    for (const auto& [id, value] : table.strings) {
      if (!fallback->second.strings.count(id)) {
        *error = "language " + std::to_string(language) + ": string " + std::to_string(id) +
                 " is missing from the fallback language";
        return false;
      }
    }
  }
  return true;
}

bool PackDialogs(const fs::path& folder, const StringTable& fallback, BundleWriter* writer, std::string* error) {
  const fs::path file = folder / "dialogs.txt";
  std::string text;
  if (!ReadFile(file, &text, error)) return false;
  std::vector<DialogDescription> dialogs;
  std::string what;
  if (!ParseDialogDescriptions(text, &dialogs, &what)) {
    *error = file.string() + ": " + what;
    return false;
  }
  for (const DialogDescription& dialog : dialogs) {
    std::vector<uint32_t> text_ids = {dialog.caption_id};
    for (const DialogControl& control : dialog.controls) text_ids.push_back(control.text_id);
    for (uint32_t id : text_ids) {
      if (id != 0 && !fallback.strings.count(id)) {
        *error = file.string() + ": dialog " + std::to_string(dialog.id) + " names string " + std::to_string(id) +
                 ", which does not exist";
        return false;
      }
    }
    writer->Add(ResourceKind::kDialog, dialog.id, kNeutralLanguage, FormatDialogDescription(dialog));
  }
  return true;
}

// The drawn images (drawing_set.h); a folder without drawings.txt has none.
bool PackDrawings(const fs::path& folder, BundleWriter* writer, std::string* error) {
  const fs::path file = folder / "drawings.txt";
  if (!fs::exists(file)) return true;
  std::string text;
  if (!ReadFile(file, &text, error)) return false;
  std::vector<Drawing> drawings;
  std::string what;
  if (!ParseDrawings(text, &drawings, &what)) {
    *error = file.string() + ": " + what;
    return false;
  }
  for (const Drawing& drawing : drawings) {
    if (writer->Has(ResourceKind::kPng, drawing.id, kNeutralLanguage)) {
      *error = file.string() + ": image " + std::to_string(drawing.id) + " given twice";
      return false;
    }
    const std::string png = RenderDrawingPng(drawing);
    if (png.empty()) {
      *error = file.string() + ": drawing " + std::to_string(drawing.id) + " could not be rendered";
      return false;
    }
    writer->Add(ResourceKind::kPng, drawing.id, kNeutralLanguage, png);
  }
  return true;
}

bool PackImages(const fs::path& folder, BundleWriter* writer, std::string* error) {
  const fs::path file = folder / "images.txt";
  std::string text;
  if (!ReadFile(file, &text, error)) return false;
  std::istringstream lines(text);
  std::string line;
  int line_number = 0;
  auto fail = [&](const std::string& what) {
    *error = file.string() + ": line " + std::to_string(line_number) + ": " + what;
    return false;
  };
  while (std::getline(lines, line)) {
    ++line_number;
    std::istringstream words(line);
    std::vector<std::string> parts;
    for (std::string word; words >> word;) parts.push_back(word);
    if (parts.empty() || parts[0][0] == '#') continue;
    uint32_t id = 0;
    if (parts.size() < 2 || !ParseNumber(parts[1], &id) || id == 0 || id > 0xFFFF) return fail("bad image id");
    if (writer->Has(ResourceKind::kPng, id, kNeutralLanguage)) return fail("image " + parts[1] + " given twice");
    std::string png;
    if (parts[0] == "image") {
      uint32_t width = 0;
      uint32_t height = 0;
      uint32_t argb = 0;
      PlaceholderShape shape;
      int frame = 0;
      if (parts.size() != 6 || !ParseNumber(parts[2], &width) || !ParseNumber(parts[3], &height) ||
          !ParsePlaceholderShape(parts[4], &shape, &frame) || !ParseNumber(parts[5], &argb)) {
        return fail("expected: image <id> <width> <height> <shape> <0xAARRGGBB>");
      }
      if (width > 4096 || height > 4096) return fail("image larger than 4096 pixels");
      png = MakePlaceholderPng(static_cast<int>(width), static_cast<int>(height), shape, argb, frame);
      if (png.empty()) return fail("bad image size");
    } else if (parts[0] == "file") {
      if (parts.size() != 3) return fail("expected: file <id> <path>");
      std::string what;
      if (!ReadFile(folder / parts[2], &png, &what)) return fail(what);
      if (!IsPng(png)) return fail(parts[2] + " is not a PNG file");
    } else {
      return fail("unknown keyword '" + parts[0] + "'");
    }
    writer->Add(ResourceKind::kPng, id, kNeutralLanguage, png);
  }
  return true;
}

}  // namespace

bool PackBundle(const std::string& source_folder, std::string* bundle, std::string* error) {
  const fs::path folder(source_folder);
  BundleWriter writer;
  std::map<uint32_t, StringTable> tables;
  if (!PackStrings(folder, &writer, &tables, error)) return false;
  if (!PackDialogs(folder, tables.at(kLanguageEnglish), &writer, error)) return false;
  if (!PackDrawings(folder, &writer, error)) return false;
  if (!PackImages(folder, &writer, error)) return false;
  if (!writer.Write(bundle)) {
    *error = "the bundle would be larger than 4 GiB";
    return false;
  }
  return true;
}

}  // namespace vzres

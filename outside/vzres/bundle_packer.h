#pragma once
// Packs the resource sources into a bundle. The source folder holds:
//
//   strings/*.txt   one string table per language (string_table.h); the
//                   fallback language (1033) must be among them
//   dialogs.txt     dialog descriptions (dialog_description.h)
//   drawings.txt    drawn images (drawing_set.h), optional
//   images.txt      one image a line (an id may be drawn or listed, not both):
//                     image <id> <width> <height> <shape> <0xAARRGGBB>
//                     file <id> <PNG file, relative to the source folder>
//
// Every string is checked against the conversions it must hold, every
// translated string must exist in the fallback language, and every text id
// of a dialog must be a string of the fallback language.
#include <string>

namespace vzres {

// False with `error` ("<file>: line N: ...") on the first problem.
bool PackBundle(const std::string& source_folder, std::string* bundle, std::string* error);

}  // namespace vzres

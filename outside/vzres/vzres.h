#pragma once
// The resource library of the program: one resource bundle per process,
// opened by name at start-up, from which every dialog description, string
// and PNG image is taken by numeric id. Without a bundle every lookup fails
// softly: strings are empty, images and dialogs missing.
//
// Any thread may call these; the bundle and the language are process-wide.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outside/vzres/dialog_description.h"
#include "outside/vzres/resource_bundle.h"
#include "outside/vzres/vzres_ids.h"

namespace vzres {

// Opens the bundle of a resource library name: "vzres", "vzres.dll" and
// "libvzres.so" all name "vzres.bundle" beside the executable; a name with a
// '/' is taken as the bundle's path. Replaces the open bundle. False, logged,
// when the file is missing or malformed (the open bundle is then closed).
bool LoadResourceLibrary(std::string_view name);
// Makes an in-memory bundle current (the test double); null closes.
void SetResourceBundle(std::unique_ptr<ResourceBundle> bundle);
void UnloadResourceLibrary();
bool IsResourceLibraryLoaded();

// The language of string lookups (a Windows language id, 1033 at start);
// strings missing in it come from 1033.
void SetResourceLanguage(uint32_t language);
uint32_t GetResourceLanguage();

// A string in the current language; "" when missing.
std::u16string LoadResString(uint32_t id);
std::u16string LoadResString(uint32_t id, uint32_t language);
// As LoadStringW: copies at most capacity - 1 units, always terminates when
// capacity > 0, and returns the units copied (0 when missing).
size_t LoadResString(uint32_t id, char16_t* buffer, size_t capacity);

// The bytes of a PNG image; empty when missing.
std::vector<uint8_t> LoadResPng(uint32_t id);
// A dialog description; nothing when missing.
std::optional<DialogDescription> LoadResDialog(uint32_t id);

}  // namespace vzres

// C entry points for a deliverable that loads the library by name (resolve
// them with the module loader): open the bundle of `name` unless one is open
// (1 when a bundle is open afterwards), and copy a PNG into the buffer when
// it fits. The copy returns the PNG's size (0 when missing) either way.
extern "C" int VzResEnsureLoaded(const char* name);
extern "C" uint32_t VzResCopyPng(uint32_t id, uint8_t* buffer, uint32_t capacity);

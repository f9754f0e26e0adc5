// Fuzzes the bundle reader: the index checks and the dialog descriptions it
// parses from the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "outside/vzres/dialog_description.h"
#include "outside/vzres/resource_bundle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto bundle = vzres::ResourceBundle::FromView(bytes, &error);
  if (bundle) {
    for (uint32_t id : {104u, 105u, 106u, 108u, 614u, 615u, 1u}) (void)bundle->FindDialog(id);
    (void)bundle->FindString(50011, 1031, 1033);
    (void)bundle->FindPng(109);
  }
  // The same bytes as dialog description text.
  std::vector<vzres::DialogDescription> dialogs;
  if (vzres::ParseDialogDescriptions(bytes, &dialogs, &error)) {
    for (const auto& dialog : dialogs) {
      std::vector<vzres::DialogDescription> again;
      if (!vzres::ParseDialogDescriptions(vzres::FormatDialogDescription(dialog), &again, &error) ||
          again.size() != 1) {
        __builtin_trap();  // a formatted dialog must parse back
      }
    }
  }
  return 0;
}

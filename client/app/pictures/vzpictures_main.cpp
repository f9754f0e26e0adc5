// vzpictures: PNG pictures of the program's windows, made without a desktop.
//
//   vzpictures <name> <language> <file.png>
//   vzpictures --all <folder> [language...]
//
// Names: see --list. Languages: en, de, fr, or a language id.
#include <cstdio>
#include <string>
#include <vector>

#include "client/app/window_pictures.h"
#include "outside/vzres/vzres.h"

namespace {

constexpr char kUsage[] =
    "usage: vzpictures <name> <language> <file.png>\n"
    "       vzpictures --all <folder> [language...]\n"
    "       vzpictures --list\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool Write(const std::string& name, const std::string& language, const std::string& path) {
  std::optional<vz::Image> picture = RenderWindowPicture(name, language);
  if (!picture || !picture->WritePngFile(path)) {
    std::fprintf(stderr, "vzpictures: no picture of %s (%s)\n", name.c_str(), language.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  if (args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args[0].size() > 1 && args[0][0] == '-' && args[0] != "--list" && args[0] != "--all") {
    std::fprintf(stderr, "vzpictures: unknown option \"%s\"\n", args[0].c_str());
    return Usage();
  }
  if (args[0] == "--list") {
    for (const std::string& name : WindowPictureNames()) std::printf("%s\n", name.c_str());
    std::printf("dialog-<id>\n");
    return 0;
  }
  if (!vzres::LoadResourceLibrary("vzres")) {
    std::fprintf(stderr, "vzpictures: the resource bundle vzres.bundle is not beside the program\n");
    return 1;
  }
  if (args[0] == "--all") {
    if (args.size() < 2) return Usage();
    std::vector<std::string> languages(args.begin() + 2, args.end());
    if (languages.empty()) languages = {"en", "de"};
    bool ok = true;
    for (const std::string& language : languages) {
      for (const std::string& name : WindowPictureNames()) {
        ok &= Write(name, language, args[1] + "/" + name + "." + language + ".png");
      }
    }
    return ok ? 0 : 1;
  }
  if (args.size() != 3) return Usage();
  return Write(args[0], args[1], args[2]) ? 0 : 1;
}

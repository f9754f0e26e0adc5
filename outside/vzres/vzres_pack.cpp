// Build tool: packs the resource sources into the bundle file.
//   vzres_pack <source folder> <bundle file>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "outside/vzres/bundle_packer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vzres_pack <source folder> <bundle file>\n");
    return 2;
  }
  std::string bundle;
  std::string error;
  if (!vzres::PackBundle(argv[1], &bundle, &error)) {
    std::fprintf(stderr, "vzres_pack: %s\n", error.c_str());
    return 1;
  }
  // Written beside the target and renamed, so a failed run leaves no half file.
  const std::string temporary = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bundle.data(), static_cast<std::streamsize>(bundle.size()));
    if (!out.flush()) {
      std::fprintf(stderr, "vzres_pack: cannot write %s\n", temporary.c_str());
      return 1;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, argv[2], ec);
  if (ec) {
    std::fprintf(stderr, "vzres_pack: cannot rename %s: %s\n", temporary.c_str(), ec.message().c_str());
    std::filesystem::remove(temporary, ec);
    return 1;
  }
  return 0;
}

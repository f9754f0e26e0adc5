#include "client/app/demo/demo_report.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/clock.h"

void PrintStage(const std::string& stage, const std::string& detail) {
  std::printf("\n== %s: %s\n", stage.c_str(), detail.c_str());
  std::fflush(stdout);
}

void PrintFailure(const std::string& stage, const std::string& why, const std::string& log, const std::string& work) {
  std::printf("\nFAILED at the stage \"%s\": %s\n", stage.c_str(), why.c_str());
  if (!log.empty()) std::printf("read the log %s\n", log.c_str());
  if (!work.empty()) std::printf("the work folder with both sandboxes is %s\n", work.c_str());
  std::fflush(stdout);
}

bool MakeWorkFolder(const std::string& given, const std::string& prefix, std::string* path) {
  std::error_code error;
  *path = given.empty()
              ? (std::filesystem::temp_directory_path(error) / (prefix + "-" + std::to_string(vz::MonotonicUs()))).string()
              : std::filesystem::absolute(given, error).string();
  if (error) return false;
  std::filesystem::create_directories(*path, error);
  return !error;
}

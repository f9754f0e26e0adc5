#pragma once
// The client package that a start request asks for, read from its
// "application_pkg" text (scrambled twice with the shared key).
#include <string_view>

struct ApplicationPackageInfo {
  char16_t package[128];  // path of the package below the request's domain
  char16_t folder[128];   // the client's folder below the per-user data folder
  char16_t version[128];  // required version, compared as text
  char16_t name[128];     // the client's program file name
};
static_assert(sizeof(ApplicationPackageInfo) == 1024, "four fields of 128 wide characters");

// Zero-fills `info` (unless `scrambled` is empty) and fills it from the items
// "application_pkg", "application_folder", "application_ver" and
// "application_name" of the descrambled text. Returns 1 when both
// descramblings produced bytes, else 0.
int ReadApplicationPackageInfo(std::string_view scrambled, ApplicationPackageInfo* info);

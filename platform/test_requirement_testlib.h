#pragma once
// A test that cannot run on this machine skips saying what it lacks, in the
// one shape scripts/test.sh counts (scripts/skipped_tests.sh reads it):
//
//   requires <requirement>[, <requirement>...]: <why>
//
// A requirement that a Debian package meets is "package <name>": those are
// in scripts/packages.txt, so in CI, which installs them, such a skip fails
// the run. Any other requirement is a condition of the machine that no
// package gives ("root", "a V4L2 camera"). Use:
//
//   if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace vz {

// Packages.
inline constexpr char kNeedsXvfb[] = "package xvfb";
inline constexpr char kNeedsXcompmgr[] = "package xcompmgr";
// OpenGL ES through EGL, and Mesa's software rasteriser that makes a context
// on Xvfb.
inline constexpr char kNeedsMesaGles[] = "package libgles2, package libegl-mesa0, package libgl1-mesa-dri";
// The package of a program the tests start by its name (a window manager:
// twm, openbox, metacity).
inline std::string NeedsPackage(const std::string& name) { return "package " + name; }
// Xvfb, and the window manager a test runs under ("none" and "bare": none).
inline std::string NeedsXvfbAndManager(const std::string& manager) {
  if (manager == "none" || manager == "bare") return kNeedsXvfb;
  return std::string(kNeedsXvfb) + ", " + NeedsPackage(manager);
}

// Conditions.
inline constexpr char kNeedsRoot[] = "root";
inline constexpr char kNeedsUserOtherThanRoot[] = "a user other than root";
inline constexpr char kNeedsCamera[] = "a V4L2 camera";
inline constexpr char kNeedsUserSwitch[] = "a system that lets root run a process as uid 65534";
inline constexpr char kNeedsReachableTemp[] = "a temporary folder every user can reach";
inline constexpr char kNeedsScreenResize[] = "an X server that changes its screen size";

// "requires a, b: ".
inline std::string SkipRequirements(std::initializer_list<std::string> requirements) {
  std::string text = "requires ";
  const char* separator = "";
  for (const std::string& requirement : requirements) {
    text += separator + requirement;
    separator = ", ";
  }
  return text + ": ";
}

}  // namespace vz

// Skips the running test (returns from it); stream the reason after it.
#define VZ_SKIP_TEST_WITHOUT(...) GTEST_SKIP() << ::vz::SkipRequirements({__VA_ARGS__})

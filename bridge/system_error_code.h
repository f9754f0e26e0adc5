#pragma once
// The web page knows the extension's system errors by their Windows codes
// (it treats 1223, "cancelled by the user", on its own), so the host sends
// the Windows code of the same meaning instead of an errno value.

// Windows codes the host sends.
inline constexpr int kWindowsErrorSuccess = 0;
inline constexpr int kWindowsErrorFileNotFound = 2;
inline constexpr int kWindowsErrorPathNotFound = 3;
inline constexpr int kWindowsErrorAccessDenied = 5;
inline constexpr int kWindowsErrorGenFailure = 31;  // for errno values without a counterpart
inline constexpr int kWindowsErrorCancelled = 1223;

// The Windows code for an errno value; kWindowsErrorGenFailure when there is
// none of the same meaning (0 stays 0).
int WindowsErrorFromErrno(int errno_value);

#pragma once
// The numbers that the meeting controller shares with the engines, the web
// link and the web page, by name. The values are fixed: the web page reads
// the statuses as they are.
#include <cstdint>

// The status of a session road is the engines' session status
// (SessionStatus): the road's state, and the value reported to the web page.
#include "contracts/session_status.h"

// What a road's start (StartDS, JoinAudio, JoinVideo) answers.
enum LaunchResult : int32_t {
  kLaunchNotIssued = 0,  // refused, already running or connecting, or the engine did not take it
  kLaunchIssued = 1,     // the engine took the start (or a running video session was refreshed)
};

// The web link's listener status (OnAppSocketListener).
inline constexpr int32_t kListenerDisconnected = 1;  // the pipe was lost or never opened
inline constexpr int32_t kListenerConnected = 2;

// The refusal of a start that the meeting config (or an invisible
// participant) forbids: error 30 of code type 10, then status 0.
inline constexpr int32_t kDisabledByConfigCode = 30;
inline constexpr int32_t kDisabledByConfigCodeType = 10;

// Engine errors of a connection that the next proxy may mend.
inline constexpr bool RetriesThroughNextProxy(int32_t code) { return code == 9 || code == 4; }
// The engine error that asks for the proxy settings; never reported to the
// web page.
inline constexpr int32_t kProxySettingsNeededCode = 13;

// The sharing engine's mode at creation, and its capture mode for the
// presenter's own screen.
inline constexpr int32_t kShareEngineMode = 1;
inline constexpr int32_t kCapturePresenterScreen = 2;

// Kinds of NotifyRosterStatusChanged.
inline constexpr int32_t kRosterJoined = 1;
inline constexpr int32_t kRosterLeft = 2;
inline constexpr int32_t kRosterUpdated = 3;

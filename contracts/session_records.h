#pragma once
// The fixed records that the web page's requests become. They pass from the
// web link to VelzarHub and on to the sharing, video and audio engines inside
// one process, so their layout is a contract: 32-bit little-endian integers,
// UTF-16 text in fixed arrays with the terminating NUL inside the array.
// A record is zero-filled before it is filled.
#include <cstddef>
#include <cstdint>

// The meeting's configuration, from the "conf" object of "APP_MEET_CONFIG".
struct MeetConfig {
  int32_t AudioEnabled;
  int32_t VideoEnabled;
  int32_t VideoQuality;
  int32_t VideoToolbar;
  int32_t SharingEnabled;
  int32_t RemoteControlEnabled;
  uint32_t HeaderBgColor;  // a Windows colour value: red in the low byte, 0xFF on top
  uint32_t HeaderTextColor;
  int32_t MetaInfoEnabled;
  int32_t ShowPoweredBy;
};

// The meeting's configuration before the web page sends one, and what each
// field stays at when "conf" leaves it out: everything on but the video
// toolbar and the powered-by logo; white text on the header's blue.
inline constexpr MeetConfig kDefaultMeetConfig = {
    .AudioEnabled = 1,
    .VideoEnabled = 1,
    .VideoQuality = 1,
    .VideoToolbar = 0,
    .SharingEnabled = 1,
    .RemoteControlEnabled = 1,
    .HeaderBgColor = 0xFF0084FF,
    .HeaderTextColor = 0xFFFFFFFF,
    .MetaInfoEnabled = 1,
    .ShowPoweredBy = 0,
};

// RosterRecord::AudioStatus: the audio state first, then the telephone's
// when it is in session.
constexpr int32_t kAudioStatusNotInSession = 2;
constexpr int32_t kAudioStatusInSession = 3;
constexpr int32_t kAudioStatusInSessionMuted = 4;
constexpr int32_t kAudioStatusTelephone = 5;
constexpr int32_t kAudioStatusTelephoneMuted = 6;

// One participant.
struct RosterRecord {
  char16_t RosterId[128];
  char16_t Name[128];
  char16_t FirstName[128];
  char16_t LastName[128];
  int32_t Reserved;
  int32_t IsHost;
  int32_t IsPresenter;
  int32_t IsInvisible;
  int32_t AudioStatus;
};

// One of the audio session's edge servers.
struct EdgeServerEntry {
  char16_t AvailabilityZone[32];
  char16_t ServerAddr[128];
  int32_t Port;
  int32_t TcpPort;
};

constexpr int kMaxEdgeServers = 16;

// The three session records share one layout up to the two flags.
struct DSSessionConfig {
  char16_t Zone[32];
  char16_t ServerAddr[256];
  char16_t Token[128];
  char16_t RosterId[128];
  char16_t MeetId[128];
  int32_t Port;
  int32_t TcpPort;
  char16_t DSId[128];
  char16_t ServerIp[128];
  char16_t ApplicationName[128];  // filled by the sharing engine on its copy
  char16_t JoinParameters[256];   // filled by the sharing engine on its copy
  int32_t EdgeServerCount;
  EdgeServerEntry EdgeServers[kMaxEdgeServers];
  int32_t IsPresenter;
  int32_t IsWebAttendee;  // 1 for "DS_SESSION_REQUEST_JOIN"
};

struct ACSessionConfig {
  char16_t Zone[32];
  char16_t ServerAddr[256];
  char16_t Token[128];
  char16_t RosterId[128];
  char16_t MeetId[128];
  int32_t Port;
  int32_t TcpPort;
  char16_t DSId[128];
  char16_t ServerIp[128];
  char16_t ApplicationName[128];
  char16_t JoinParameters[256];
  int32_t EdgeServerCount;
  EdgeServerEntry EdgeServers[kMaxEdgeServers];
  int32_t IsMuted;
  int32_t IsInvisible;  // set by VelzarHub
};

struct AVSessionConfig {
  char16_t Zone[32];
  char16_t ServerAddr[256];
  char16_t Token[128];
  char16_t RosterId[128];
  char16_t MeetId[128];
  int32_t Port;
  int32_t TcpPort;
  char16_t DSId[128];
  char16_t ServerIp[128];
  char16_t ApplicationName[128];
  char16_t JoinParameters[256];
  int32_t EdgeServerCount;
  EdgeServerEntry EdgeServers[kMaxEdgeServers];
  int32_t Broadcast;
  int32_t IsInvisible;    // set by VelzarHub
  int32_t Layout;
  int32_t VideoQuality;   // copied from MeetConfig by VelzarHub
  int32_t VideoToolbar;   // copied from MeetConfig by VelzarHub
};

static_assert(sizeof(MeetConfig) == 40);
static_assert(offsetof(MeetConfig, AudioEnabled) == 0);
static_assert(offsetof(MeetConfig, VideoEnabled) == 4);
static_assert(offsetof(MeetConfig, VideoQuality) == 8);
static_assert(offsetof(MeetConfig, VideoToolbar) == 12);
static_assert(offsetof(MeetConfig, SharingEnabled) == 16);
static_assert(offsetof(MeetConfig, RemoteControlEnabled) == 20);
static_assert(offsetof(MeetConfig, HeaderBgColor) == 24);
static_assert(offsetof(MeetConfig, HeaderTextColor) == 28);
static_assert(offsetof(MeetConfig, MetaInfoEnabled) == 32);
static_assert(offsetof(MeetConfig, ShowPoweredBy) == 36);

static_assert(sizeof(RosterRecord) == 1044);
static_assert(offsetof(RosterRecord, RosterId) == 0);
static_assert(offsetof(RosterRecord, Name) == 256);
static_assert(offsetof(RosterRecord, FirstName) == 512);
static_assert(offsetof(RosterRecord, LastName) == 768);
static_assert(offsetof(RosterRecord, Reserved) == 1024);
static_assert(offsetof(RosterRecord, IsHost) == 1028);
static_assert(offsetof(RosterRecord, IsPresenter) == 1032);
static_assert(offsetof(RosterRecord, IsInvisible) == 1036);
static_assert(offsetof(RosterRecord, AudioStatus) == 1040);

static_assert(sizeof(EdgeServerEntry) == 328);
static_assert(offsetof(EdgeServerEntry, AvailabilityZone) == 0);
static_assert(offsetof(EdgeServerEntry, ServerAddr) == 64);
static_assert(offsetof(EdgeServerEntry, Port) == 320);
static_assert(offsetof(EdgeServerEntry, TcpPort) == 324);

// The shared layout, checked for each of the three records.
#define VZ_CHECK_SESSION_LAYOUT(T)                     \
  static_assert(offsetof(T, Zone) == 0);               \
  static_assert(offsetof(T, ServerAddr) == 64);        \
  static_assert(offsetof(T, Token) == 576);            \
  static_assert(offsetof(T, RosterId) == 832);         \
  static_assert(offsetof(T, MeetId) == 1088);          \
  static_assert(offsetof(T, Port) == 1344);            \
  static_assert(offsetof(T, TcpPort) == 1348);         \
  static_assert(offsetof(T, DSId) == 1352);            \
  static_assert(offsetof(T, ServerIp) == 1608);        \
  static_assert(offsetof(T, ApplicationName) == 1864); \
  static_assert(offsetof(T, JoinParameters) == 2120);  \
  static_assert(offsetof(T, EdgeServerCount) == 2632); \
  static_assert(offsetof(T, EdgeServers) == 2636)
VZ_CHECK_SESSION_LAYOUT(DSSessionConfig);
VZ_CHECK_SESSION_LAYOUT(ACSessionConfig);
VZ_CHECK_SESSION_LAYOUT(AVSessionConfig);
#undef VZ_CHECK_SESSION_LAYOUT

static_assert(sizeof(DSSessionConfig) == 7892);
static_assert(offsetof(DSSessionConfig, IsPresenter) == 7884);
static_assert(offsetof(DSSessionConfig, IsWebAttendee) == 7888);
static_assert(sizeof(ACSessionConfig) == 7892);
static_assert(offsetof(ACSessionConfig, IsMuted) == 7884);
static_assert(offsetof(ACSessionConfig, IsInvisible) == 7888);
static_assert(sizeof(AVSessionConfig) == 7904);
static_assert(offsetof(AVSessionConfig, Broadcast) == 7884);
static_assert(offsetof(AVSessionConfig, IsInvisible) == 7888);
static_assert(offsetof(AVSessionConfig, Layout) == 7892);
static_assert(offsetof(AVSessionConfig, VideoQuality) == 7896);
static_assert(offsetof(AVSessionConfig, VideoToolbar) == 7900);

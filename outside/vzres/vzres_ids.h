#pragma once
// Every resource id that the program asks the resource bundle for: dialog
// descriptions with their control ids, strings and PNG images (cursors are
// PNG images too). One list, so a test can check that the shipped bundle
// holds each of them.
#include <cstdint>
#include <initializer_list>

namespace vzres {

// Languages of the string tables (Windows language ids); 1033 is the fallback.
inline constexpr uint32_t kLanguageEnglish = 1033;

// Dialogs.
inline constexpr uint32_t IDD_SHARING_PANEL = 104;
inline constexpr uint32_t IDD_CONNECTING = 105;
inline constexpr uint32_t IDD_SHARING_SELECT = 106;
inline constexpr uint32_t IDD_PROXY_SETTINGS = 108;
inline constexpr uint32_t IDD_ANNOTATION_TOOLS = 614;
inline constexpr uint32_t IDD_REMOTE_CONTROL = 615;
inline constexpr uint32_t IDD_VIDEO_TOOLBAR = 200;
inline constexpr uint32_t IDD_VIDEO_OPTIONS = 525;

// Controls shared by several dialogs.
inline constexpr uint32_t IDC_OK = 1;
inline constexpr uint32_t IDC_CANCEL = 2;

// Sharing panel (104).
inline constexpr uint32_t IDC_PANEL_SHARE = 107;
inline constexpr uint32_t IDC_PANEL_STOP = 1012;
inline constexpr uint32_t IDC_PANEL_MEETING_ID = 1020;
inline constexpr uint32_t IDC_PANEL_HIDDEN_LABEL = 1021;
inline constexpr uint32_t IDC_PANEL_CONTROL = 1024;
inline constexpr uint32_t IDC_PANEL_AUDIO = 1025;
inline constexpr uint32_t IDC_PANEL_ANNOTATE = 1026;
inline constexpr uint32_t IDC_PANEL_LASER = 1027;

// Connecting dialog (105): the waiting text and the Cancel button (IDC_CANCEL).
inline constexpr uint32_t IDC_CONNECTING_TEXT = 1001;

// Sharing target selection (106).
inline constexpr uint32_t IDC_SELECT_LOGO = 3;
inline constexpr uint32_t IDC_SELECT_SHARE = 1021;

// Proxy credentials (108).
inline constexpr uint32_t IDC_PROXY_TEXT = 1082;
inline constexpr uint32_t IDC_PROXY_USER_NAME = 1083;
inline constexpr uint32_t IDC_PROXY_PASSWORD = 1084;
inline constexpr uint32_t IDC_PROXY_USER_LABEL = 1093;
inline constexpr uint32_t IDC_PROXY_PASSWORD_LABEL = 1094;

// Annotation tools (614).
inline constexpr uint32_t IDC_TOOL_LABEL1 = 1020;
inline constexpr uint32_t IDC_TOOL_LABEL2 = 1021;
inline constexpr uint32_t IDC_TOOL_SELECT = 1098;
inline constexpr uint32_t IDC_TOOL_COLOR = 1099;
inline constexpr uint32_t IDC_TOOL_WEIGHT = 1100;
inline constexpr uint32_t IDC_TOOL_PEN = 1101;
inline constexpr uint32_t IDC_TOOL_HIGHLIGHTER = 1102;
inline constexpr uint32_t IDC_TOOL_SHAPES = 1103;
inline constexpr uint32_t IDC_TOOL_UNDO = 1104;
inline constexpr uint32_t IDC_TOOL_REDO = 1105;
inline constexpr uint32_t IDC_TOOL_ERASER = 1106;
inline constexpr uint32_t IDC_TOOL_POINTER = 1108;
inline constexpr uint32_t IDC_TOOL_CLOSE = 1109;

// Remote-control consent (615); the refuse button is IDC_CANCEL.
inline constexpr uint32_t IDC_CONSENT_ACCEPT = 1103;
inline constexpr uint32_t IDC_CONSENT_MESSAGE = 1104;
inline constexpr uint32_t IDC_CONSENT_ICON = 1105;

// Video panel tool bar (200).
inline constexpr uint32_t IDC_VIDEO_MY_VIDEO = 1031;
inline constexpr uint32_t IDC_VIDEO_OPTIONS = 1032;
inline constexpr uint32_t IDC_VIDEO_STATUS = 1092;

// Camera options (525); OK and Cancel are IDC_OK and IDC_CANCEL.
inline constexpr uint32_t IDC_OPTIONS_CAMERA_LABEL = 1147;
inline constexpr uint32_t IDC_OPTIONS_SETTINGS = 40513;
inline constexpr uint32_t IDC_OPTIONS_CAMERA_LIST = 40515;
inline constexpr uint32_t IDC_OPTIONS_PREVIEW = 40516;

// Strings.
inline constexpr uint32_t IDS_PROXY_PROMPT = 10001;  // format: wide text, then integer
inline constexpr uint32_t IDS_PROXY_USER_LABEL = 10002;
inline constexpr uint32_t IDS_PROXY_PASSWORD_LABEL = 10003;
inline constexpr uint32_t IDS_PROXY_TITLE = 10004;
inline constexpr uint32_t IDS_SELECT_TITLE = 10005;
inline constexpr uint32_t IDS_CONNECTING_TEXT = 10006;
inline constexpr uint32_t IDS_CONNECTING_TITLE = 10007;
inline constexpr uint32_t IDS_YES = 10008;  // message box buttons
inline constexpr uint32_t IDS_NO = 10009;
inline constexpr uint32_t IDS_STOP_SHARING_QUESTION = 50001;
inline constexpr uint32_t IDS_STOP_SHARING = 50002;
inline constexpr uint32_t IDS_SHARE = 50004;
inline constexpr uint32_t IDS_MEETING_INFO_HIDDEN = 50006;
inline constexpr uint32_t IDS_MONITOR_NAME = 50008;  // format: integer
inline constexpr uint32_t IDS_SELECT_WAITING = 50009;
inline constexpr uint32_t IDS_CANCEL = 50011;
inline constexpr uint32_t IDS_OK = 50013;
inline constexpr uint32_t IDS_CONNECTING_CANCEL = 50014;
inline constexpr uint32_t IDS_OPTIONS_CAMERA_LABEL = 60001;
inline constexpr uint32_t IDS_OPTIONS_SETTINGS = 60002;
inline constexpr uint32_t IDS_OPTIONS_TITLE = 60003;
inline constexpr uint32_t IDS_VIDEO_HOST_WORD = 60004;
inline constexpr uint32_t IDS_VIDEO_PRESENTER_WORD = 60005;
inline constexpr uint32_t IDS_VIDEO_PANEL_TITLE = 60017;  // format: one wide text (the grouped meeting id)
inline constexpr uint32_t IDS_VIDEO_MENU_SPOTLIGHT = 60018;
inline constexpr uint32_t IDS_VIDEO_MENU_SHOW_HERE = 60019;
inline constexpr uint32_t IDS_VIDEO_CANCEL_SPOTLIGHT = 60020;
inline constexpr uint32_t IDS_VIDEO_FOLLOW_SPEAKER = 60021;
inline constexpr uint32_t IDS_VIDEO_HINT = 60051;
inline constexpr uint32_t IDS_PANEL_AUDIO = 60022;
inline constexpr uint32_t IDS_PANEL_SHARE = 60023;
inline constexpr uint32_t IDS_PANEL_CONTROL = 60024;
inline constexpr uint32_t IDS_PANEL_ANNOTATE = 60025;
inline constexpr uint32_t IDS_TOOL_SELECT = 60026;
inline constexpr uint32_t IDS_TOOL_COLOR = 60027;
inline constexpr uint32_t IDS_TOOL_WEIGHT = 60028;
inline constexpr uint32_t IDS_TOOL_PEN = 60029;
inline constexpr uint32_t IDS_TOOL_HIGHLIGHTER = 60030;
inline constexpr uint32_t IDS_TOOL_SHAPES = 60031;
inline constexpr uint32_t IDS_TOOL_UNDO = 60032;
inline constexpr uint32_t IDS_TOOL_REDO = 60033;
inline constexpr uint32_t IDS_TOOL_ERASER = 60034;
inline constexpr uint32_t IDS_PANEL_LASER = 60035;
inline constexpr uint32_t IDS_CLEAR_MINE = 60036;
inline constexpr uint32_t IDS_CLEAR_ALL = 60037;
inline constexpr uint32_t IDS_CONTROL_NOBODY = 60038;
inline constexpr uint32_t IDS_CONTROL_STOP = 60039;
inline constexpr uint32_t IDS_TOOL_POINTER = 60040;
inline constexpr uint32_t IDS_CONSENT_TITLE = 60041;
inline constexpr uint32_t IDS_CONSENT_SPARE = 60042;
inline constexpr uint32_t IDS_CONSENT_REQUEST = 60043;  // format: one wide text
inline constexpr uint32_t IDS_CONSENT_ALLOW = 60044;
inline constexpr uint32_t IDS_CONSENT_REFUSE = 60045;
inline constexpr uint32_t IDS_CONSENT_GIVE = 60046;
inline constexpr uint32_t IDS_CONSENT_STOP = 60047;
inline constexpr uint32_t IDS_CONSENT_STOP_QUESTION = 60048;
inline constexpr uint32_t IDS_CONSENT_MOVE_QUESTION = 60049;

// PNG images.
inline constexpr uint32_t IDB_MONITOR_BADGE = 109;
// A window's program icon when the window publishes none of its own.
inline constexpr uint32_t IDB_PROGRAM_ICON = 119;
inline constexpr uint32_t IDB_PANEL_BACKGROUND = 110;
inline constexpr uint32_t IDB_AUDIO_UNMUTED = 111;  // audio button state 3
inline constexpr uint32_t IDB_AUDIO_MUTED = 112;    // state 4
inline constexpr uint32_t IDB_SHARE_ON = 113;
inline constexpr uint32_t IDB_AUDIO_OFF = 116;      // states 1 and 2
inline constexpr uint32_t IDB_AUDIO_STATE6 = 117;
inline constexpr uint32_t IDB_AUDIO_STATE5 = 118;
inline constexpr uint32_t IDB_CONTROL_ON = 121;
inline constexpr uint32_t IDB_ANNOTATE_ON = 122;
inline constexpr uint32_t IDB_TOOL_COLOR = 132;
inline constexpr uint32_t IDB_TOOL_UNDO = 135;
inline constexpr uint32_t IDB_TOOL_REDO = 137;
inline constexpr uint32_t IDB_TOOL_SELECT = 145;
inline constexpr uint32_t IDB_TOOL_HIGHLIGHTER = 147;
inline constexpr uint32_t IDB_TOOL_PEN = 149;
inline constexpr uint32_t IDB_LOGO = 318;
inline constexpr uint32_t IDB_SHAPE_ARROW = 324;
inline constexpr uint32_t IDB_SHAPE_RECTANGLE = 327;
inline constexpr uint32_t IDB_SHAPE_FILLED_ELLIPSE = 329;
inline constexpr uint32_t IDB_SHAPE_FILLED_RECTANGLE = 332;
inline constexpr uint32_t IDB_SHAPE_ELLIPSE = 335;
inline constexpr uint32_t IDB_PANEL_HIGHLIGHT = 336;
inline constexpr uint32_t IDB_WEIGHT_THIN = 337;
inline constexpr uint32_t IDB_WEIGHT_MEDIUM = 338;
inline constexpr uint32_t IDB_WEIGHT_THICK = 339;
inline constexpr uint32_t IDB_TOOL_SHAPES = 340;
inline constexpr uint32_t IDB_TOOL_ERASER = 341;
inline constexpr uint32_t IDB_TOOL_POINTER = 343;
inline constexpr uint32_t IDB_TOOL_HIGHLIGHT = 345;
inline constexpr uint32_t IDB_TOOL_BACKGROUND = 346;
inline constexpr uint32_t IDB_TOOL_CLOSE = 347;
inline constexpr uint32_t IDB_SHAPE_LINE = 349;
inline constexpr uint32_t IDB_SHAPE_TRANSLUCENT_ELLIPSE = 350;
inline constexpr uint32_t IDB_SHAPE_TRANSLUCENT_RECTANGLE = 351;
inline constexpr uint32_t IDB_DROP_MARKER = 352;
inline constexpr uint32_t IDB_CONTROL_OFF = 353;
inline constexpr uint32_t IDB_ANNOTATE_OFF = 354;
inline constexpr uint32_t IDB_SHARE_OFF = 355;
inline constexpr uint32_t IDB_CONSENT_ASK = 356;
inline constexpr uint32_t IDB_CONSENT_STOP = 357;
inline constexpr uint32_t IDB_LASER_OFF = 359;
inline constexpr uint32_t IDB_LASER_ON = 360;

// Video panel: tool bar, overlay buttons, strip, containers (PNG).
inline constexpr uint32_t IDB_VIDEO_STARTED = 230;
inline constexpr uint32_t IDB_VIDEO_STOPPED = 232;
inline constexpr uint32_t IDB_VIDEO_OPTIONS = 236;
inline constexpr uint32_t IDB_VIDEO_STATUS6 = 309;  // also the panel's window icon
inline constexpr uint32_t IDB_VIDEO_STATUS5 = 310;
inline constexpr uint32_t IDB_VIDEO_STATUS3 = 312;
inline constexpr uint32_t IDB_VIDEO_STATUS1 = 313;  // states 1 and 4
inline constexpr uint32_t IDB_VIDEO_STATUS2 = 315;  // states 2 and 8
inline constexpr uint32_t IDB_VIDEO_STATUS7 = 316;
inline constexpr uint32_t IDI_VIDEO_PANEL = 309;
inline constexpr uint32_t IDB_VIDEO_FULLSCREEN = 263;
inline constexpr uint32_t IDB_VIDEO_FULLSCREEN_LEAVE = 265;
inline constexpr uint32_t IDB_VIDEO_COLLAPSE = 266;  // shown while the strip is a row
inline constexpr uint32_t IDB_VIDEO_EXPAND = 267;    // shown while it is collapsed
inline constexpr uint32_t IDB_VIDEO_SPOTLIGHT_MARK = 323;
inline constexpr uint32_t IDB_VIDEO_PREV_PAGE = 247;
inline constexpr uint32_t IDB_VIDEO_NEXT_PAGE = 250;
inline constexpr uint32_t IDB_VIDEO_PLACEHOLDER = 254;
inline constexpr uint32_t IDB_VIDEO_PLACEHOLDER_SMALL = 257;
inline constexpr uint32_t IDB_VIDEO_WAIT_FIRST = 270;  // to 281, twelve frames
inline constexpr uint32_t IDB_VIDEO_WAIT_LAST = 281;

// Cursor images of the annotation tools (PNG).
inline constexpr uint32_t IDB_CURSOR_POINTER = 161;
inline constexpr uint32_t IDB_CURSOR_ERASER = 162;
inline constexpr uint32_t IDB_CURSOR_HIGHLIGHTER = 163;
inline constexpr uint32_t IDB_CURSOR_PEN = 164;
inline constexpr uint32_t IDB_CURSOR_SHAPE = 361;

// The lists the completeness test walks.
struct DialogControls {
  uint32_t dialog;
  std::initializer_list<uint32_t> controls;
};

inline constexpr DialogControls kDialogs[] = {
    {IDD_SHARING_PANEL,
     {IDC_PANEL_AUDIO, IDC_PANEL_SHARE, IDC_PANEL_CONTROL, IDC_PANEL_LASER, IDC_PANEL_ANNOTATE, IDC_PANEL_STOP,
      IDC_PANEL_MEETING_ID, IDC_PANEL_HIDDEN_LABEL}},
    {IDD_CONNECTING, {IDC_CONNECTING_TEXT, IDC_CANCEL}},
    {IDD_SHARING_SELECT, {IDC_SELECT_SHARE, IDC_CANCEL, IDC_SELECT_LOGO}},
    {IDD_PROXY_SETTINGS,
     {IDC_PROXY_TEXT, IDC_PROXY_USER_NAME, IDC_PROXY_PASSWORD, IDC_PROXY_USER_LABEL, IDC_PROXY_PASSWORD_LABEL, IDC_OK,
      IDC_CANCEL}},
    {IDD_ANNOTATION_TOOLS,
     {IDC_TOOL_SELECT, IDC_TOOL_COLOR, IDC_TOOL_WEIGHT, IDC_TOOL_PEN, IDC_TOOL_HIGHLIGHTER, IDC_TOOL_SHAPES,
      IDC_TOOL_UNDO, IDC_TOOL_REDO, IDC_TOOL_ERASER, IDC_TOOL_POINTER, IDC_TOOL_CLOSE, IDC_TOOL_LABEL1,
      IDC_TOOL_LABEL2}},
    {IDD_REMOTE_CONTROL, {IDC_CONSENT_MESSAGE, IDC_CONSENT_ACCEPT, IDC_CANCEL, IDC_CONSENT_ICON}},
    {IDD_VIDEO_TOOLBAR, {IDC_VIDEO_MY_VIDEO, IDC_VIDEO_OPTIONS, IDC_VIDEO_STATUS}},
    {IDD_VIDEO_OPTIONS,
     {IDC_OK, IDC_CANCEL, IDC_OPTIONS_CAMERA_LABEL, IDC_OPTIONS_SETTINGS, IDC_OPTIONS_CAMERA_LIST,
      IDC_OPTIONS_PREVIEW}},
};

inline constexpr uint32_t kStringIds[] = {
    10001, 10002, 10003, 10004, 10005, 10006, 10007, 10008, 10009, 50001, 50002, 50004, 50006, 50008, 50009, 50011, 50013, 50014,
    60022, 60023, 60024, 60025, 60026, 60027, 60028, 60029, 60030, 60031, 60032, 60033, 60034, 60035,
    60036, 60037, 60038, 60039, 60040, 60041, 60042, 60043, 60044, 60045, 60046, 60047, 60048, 60049,
    60001, 60002, 60003, 60004, 60005, 60017, 60018, 60019, 60020, 60021, 60051,  // the video panel
};

inline constexpr uint32_t kPngIds[] = {
    109, 110, 111, 112, 113, 116, 117, 118, 121, 122, 132, 135, 137, 145, 147, 149, 318,
    324, 327, 329, 332, 335, 336, 337, 338, 339, 340, 341, 343, 345, 346, 347, 349, 350,
    351, 352, 353, 354, 355, 356, 357, 359, 360, 161, 162, 163, 164, 361,
    124, 125, 358,  // the capture library's sharing indicators
    // The video panel.
    230, 232, 236, 309, 310, 312, 313, 315, 316, 263, 265, 266, 267, 323, 247, 250, 254, 257,
    270, 271, 272, 273, 274, 275, 276, 277, 278, 279, 280, 281,
};

// Strings that are fed to the wide formatter, with the conversions they must
// hold in order: 's' a wide text, 'd' an integer. Every other string must
// hold no conversion at all ("%%" is a plain percent sign).
struct FormatString {
  uint32_t id;
  const char* conversions;
};
inline constexpr FormatString kFormatStrings[] = {
    {IDS_PROXY_PROMPT, "sd"},
    {IDS_MONITOR_NAME, "d"},
    {IDS_CONSENT_REQUEST, "s"},
    {IDS_VIDEO_PANEL_TITLE, "s"},
};

}  // namespace vzres

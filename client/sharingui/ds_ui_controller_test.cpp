// The sharing UI over a recording owner, scripted questions and menus, the
// recording injector and the headless window system: session states,
// commands of other participants, the control menu and the lifetime rules.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "common/log_capture_testlib.h"
#include "client/sharingui/ds_ui_controller.h"
#include "client/sharingui/recording_ds_ui_owner_testlib.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "platform/ui/modal_loop.h"
#include "platform/ui/recording_input_injector.h"

namespace {

using namespace sharingui_testing;

// Questions and menus answered by the test.
class ScriptedDialogs : public IDSUIDialogs {
 public:
  bool AskRemoteControl(const DialogText& message, const DialogText&, const DialogText&, uint32_t icon) override {
    asked.push_back(std::holds_alternative<uint16_t>(message) ? std::to_string(std::get<uint16_t>(message))
                                                              : vz::Utf16ToUtf8(std::get<std::u16string>(message)));
    asked.back() += " icon " + std::to_string(icon);
    if (during_question) {
      auto run = std::move(during_question);
      run();
    }
    return answer;
  }
  bool AskStopSharing(vz::Window*) override { return answer; }
  uint32_t TrackMenu(CVzPopupMenuBase& menu, vz::Point at) override {
    menu_items.clear();
    for (const MenuItem& item : menu.items()) {
      menu_items.push_back(item.flags & MF_SEPARATOR ? std::string("-")
                                                     : std::to_string(item.id) + " " + vz::Utf16ToUtf8(item.text) +
                                                           (item.flags & MF_GRAYED ? " (grey)" : ""));
    }
    menu_at = at;
    return menu_choice;
  }
  void CloseAll() override { ++closes; }

  bool answer = true;
  std::function<void()> during_question;
  std::vector<std::string> asked;
  std::vector<std::string> menu_items;
  vz::Point menu_at;
  uint32_t menu_choice = 0;
  int closes = 0;
};

class UIControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    owner_.AddRoster(u"p1", u"Pat One");
    owner_.AddRoster(u"vzweb-ann", u"Ann Web");
    CDSUIController::Ports ports;
    ports.owner = &owner_;
    ports.dialogs = &dialogs_;
    ports.thumbnails = &thumbnails_;
    ports.injector = &injector_;
    ports.system = system_.get();
    ports.clock = &clock_;
    ui_ = std::make_unique<CDSUIController>(ports);
    MeetConfig config{};
    config.AudioEnabled = 1;
    config.RemoteControlEnabled = 1;
    config.HeaderBgColor = 0xFF0084FF;
    config.HeaderTextColor = 0xFFFFFFFF;
    config.MetaInfoEnabled = 1;
    ui_->updateMeetConfig(&config);
  }
  void TearDown() override {
    ui_.reset();
    loop_.RunPending();
    vzres::UnloadResourceLibrary();
  }
  DSCommandRecord Command(const std::u16string& from, int32_t type) {
    DSCommandRecord r;
    std::memset(&r, 0, sizeof(r));
    vz::CopyUtf16(r.SrcRosterId, 128, from);
    vz::CopyUtf16(r.DstRosterId, 128, u"me");
    r.Type = type;
    return r;
  }
  // An annotation command from a participant on monitor 1, colour 0xFF0000FF, weight 4.
  DSCommandRecord Annotation(const std::u16string& from, int32_t type, std::vector<VzPoint>& points);
  Journal Take() {
    Journal out;
    out.swap(owner_.journal);
    return out;
  }
  SharingInfo Info(VzRect shared, float scale) {
    SharingInfo info;
    std::memset(&info, 0, sizeof(info));
    info.SharedRect = shared;
    info.MonitorCount = 1;
    info.Monitors[0] = owner_.monitors.Monitors[0];
    info.Monitors[0].StateFlags |= 4;
    info.Monitors[0].DpiScale = scale;
    return info;
  }

  class NoThumbnails : public IThumbnailSource {
    vz::Image GrabScreen(const VzRect&) override { return vz::Image(4, 4); }
    std::u16string ProcessName(int32_t) override { return u""; }
  };

  vz::FakeClock clock_{1003};
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1920, 1080});
  RecordingOwner owner_;
  ScriptedDialogs dialogs_;
  NoThumbnails thumbnails_;
  vz::RecordingInputInjector injector_;
  std::unique_ptr<CDSUIController> ui_;
};

TEST_F(UIControllerTest, AControlRequestIsGrantedOnConsentAndRefusedWithSwappedIds) {
  DSCommandRecord request = Command(u"p1", DSCommandRequestControl);
  ui_->updateDSCommand(&request);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_NE(dialogs_.asked[0].find("Pat One"), std::string::npos);
  EXPECT_NE(dialogs_.asked[0].find("icon 356"), std::string::npos);
  EXPECT_EQ(Take(), (Journal{"control p1"}));
  dialogs_.answer = false;
  DSCommandRecord again = Command(u"vzweb-ann", DSCommandRequestControl);
  ui_->updateDSCommand(&again);
  EXPECT_EQ(Take(), (Journal{"send 12 me->vzweb-ann"}));  // one answer, nothing else
  // An unknown sender is not asked about.
  DSCommandRecord stranger = Command(u"nobody", DSCommandRequestControl);
  ui_->updateDSCommand(&stranger);
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_TRUE(Take().empty());
}

TEST_F(UIControllerTest, CommandsOfParticipantsWhoDoNotControlAreAnsweredWithAStopButAStopIsNot) {
  // Control given, pause and refusal from someone who does not control get
  // a stop; a stop itself only the log line, or two clients would trade
  // stops for ever.
  for (int32_t type : {DSCommandGiveControl, DSCommandPauseControl, DSCommandRefuseControl}) {
    DSCommandRecord command = Command(u"p1", type);
    ui_->updateDSCommand(&command);
    EXPECT_EQ(Take(), (Journal{"stop control p1"})) << type;
  }
  DSCommandRecord stop = Command(u"p1", DSCommandStopControl);
  ui_->updateDSCommand(&stop);
  EXPECT_TRUE(Take().empty());
  EXPECT_TRUE(injector_.events.empty());
}

TEST_F(UIControllerTest, OnlyTheControllingParticipantsInputRunsMouseFirst) {
  DSCommandRecord input = Command(u"p1", 40);
  input.MouseType = 1;
  input.MouseMonitorId = 1;
  input.MouseX = 100;
  input.MouseY = 50;
  input.KeyType = 1;
  input.KeyWParam = 0x41;
  ui_->updateDSCommand(&input);  // p1 does not control
  EXPECT_EQ(Take(), (Journal{"stop control p1"}));
  EXPECT_TRUE(injector_.events.empty());
  owner_.controller = u"p1";
  ui_->updateDSSharingInfo([&] {
    static SharingInfo info;
    info = Info({0, 0, 1920, 1080}, 1.0f);
    return &info;
  }());
  Take();
  ui_->updateDSCommand(&input);
  EXPECT_EQ(injector_.events, (std::vector<std::string>{"move 100,50", "key down 0x61"}));
  for (int32_t ignored : {20, 21, 50}) {
    DSCommandRecord r = Command(u"p1", ignored);
    r.MouseType = 1;
    r.MouseMonitorId = 1;
    ui_->updateDSCommand(&r);
  }
  EXPECT_EQ(injector_.events.size(), 2u);
  EXPECT_TRUE(Take().empty());
  DSCommandRecord release = Command(u"p1", DSCommandReleaseControl);
  ui_->updateDSCommand(&release);
  EXPECT_EQ(Take(), (Journal{"control null"}));
}

TEST_F(UIControllerTest, ASecondRequestWhileOneIsAskedIsRefusedAtOnce) {
  dialogs_.during_question = [&] {
    DSCommandRecord second = Command(u"vzweb-ann", DSCommandRequestControl);
    ui_->updateDSCommand(&second);
  };
  DSCommandRecord first = Command(u"p1", DSCommandRequestControl);
  ui_->updateDSCommand(&first);
  EXPECT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(Take(), (Journal{"send 12 me->vzweb-ann", "control p1"}));
}

// Asking again on every refusal brought the question back many times a
// second: after a refusal the same participant waits before being asked
// about, and only that participant.
TEST_F(UIControllerTest, ARefusedParticipantAsksAgainOnlyAfterAWait) {
  vz::LogLineCapture log_lines;
  dialogs_.answer = false;
  DSCommandRecord request = Command(u"p1", DSCommandRequestControl);
  ui_->updateDSCommand(&request);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(Take(), (Journal{"send 12 me->p1"}));
  // Twenty more within the wait: each refused at once, the page told once.
  for (int i = 0; i < 20; ++i) {
    clock_.AdvanceMs(CDSUIController::kRequestWaitAfterRefusalMs / 25);
    ui_->updateDSCommand(&request);
  }
  EXPECT_EQ(dialogs_.asked.size(), 1u);
  Journal expected(20, "send 12 me->p1");
  expected.insert(expected.begin() + 1, "page: control denied");
  EXPECT_EQ(Take(), expected);
  EXPECT_GE(log_lines.Count("control request of [p1] held back", vz::kFileLines), 1u);
  EXPECT_LT(log_lines.Count("control request of [p1] held back", vz::kFileLines), 20u) << "budgeted";
  // Another participant is asked about meanwhile.
  dialogs_.answer = true;
  DSCommandRecord other = Command(u"vzweb-ann", DSCommandRequestControl);
  ui_->updateDSCommand(&other);
  EXPECT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_EQ(Take(), (Journal{"control vzweb-ann"}));
  // Once the wait since the refusal is over, p1 is asked about again.
  clock_.AdvanceMs(CDSUIController::kRequestWaitAfterRefusalMs / 5);
  ui_->updateDSCommand(&request);
  EXPECT_EQ(dialogs_.asked.size(), 3u);
  EXPECT_EQ(Take(), (Journal{"control p1"}));
}

TEST_F(UIControllerTest, ASessionStopWhileTheConsentIsOpenLeavesTheUIUntouched) {
  // The stop as the program makes it: clean-up, then the deletion deferred
  // because a nested loop runs.
  vz::ModalLoop question(loop_);
  dialogs_.during_question = [&] {
    ui_->cleanUp();
    vz::DeleteSoon(loop_, std::move(ui_));
  };
  CDSUIController* raw = ui_.get();
  DSCommandRecord request = Command(u"p1", DSCommandRequestControl);
  raw->updateDSCommand(&request);
  EXPECT_EQ(dialogs_.closes, 1);
  EXPECT_EQ(Take(), (Journal{"exclude1 0"}));  // the clean-up's; no grant, no refusal
  loop_.RunPending();  // the UI goes now
  EXPECT_EQ(ui_, nullptr);
  // A requester who left during the question is not given control either.
  SetUp();
  dialogs_.during_question = [&] { owner_.rosters.erase(u"p1"); };
  DSCommandRecord again = Command(u"p1", DSCommandRequestControl);
  ui_->updateDSCommand(&again);
  EXPECT_TRUE(Take().empty());
}

TEST_F(UIControllerTest, TheControlMenuListsWebParticipantsAndTheController) {
  owner_.rosters.clear();
  owner_.AddRoster(u"me", u"Me Myself", true);
  ui_->OnControlClicked();
  EXPECT_EQ(dialogs_.menu_items,
            (std::vector<std::string>{"9499 " + vz::Utf16ToUtf8(vzres::LoadResString(60038)) + " (grey)"}));
  owner_.AddRoster(u"native", u"Nat Ive");
  owner_.AddRoster(u"vzweb-b", u"Bea Web");
  owner_.AddRoster(u"p1", u"Pat One");
  owner_.controller = u"p1";
  ui_->OnControlClicked();
  // Key order: me, native, p1, vzweb-b; ids follow the index, me and native are left out.
  EXPECT_EQ(dialogs_.menu_items, (std::vector<std::string>{"9499 " + vz::Utf16ToUtf8(vzres::LoadResString(60039)),
                                                           "-", "9002 Pat One", "9003 Bea Web"}));
  const vz::Rect control = ui_->Button(1024)->window()->bounds();
  EXPECT_EQ(dialogs_.menu_at, ui_->Button(1024)->window()->ToScreen({0, control.Height() + 6}));
  // Choosing another participant while one controls asks first, then moves control.
  ui_->OnPopupMenuCommandClicked(0, 9003);
  EXPECT_EQ(dialogs_.asked.back(), std::to_string(60049) + " icon 356");
  EXPECT_EQ(Take(), (Journal{"control vzweb-b"}));
  // The controller's own item stops control after asking.
  ui_->OnPopupMenuCommandClicked(0, 9003);
  EXPECT_EQ(dialogs_.asked.back(), std::to_string(60048) + " icon 357");
  EXPECT_EQ(Take(), (Journal{"control null"}));
}

TEST_F(UIControllerTest, ManyParticipantsNeverReachTheStopOrToolIds) {
  for (int i = 0; i < 600; ++i) {
    char16_t id[32];
    const std::u16string text = u"vzweb-" + vz::Utf8ToUtf16(std::to_string(1000 + i));
    vz::CopyUtf16(id, 32, text);
    owner_.AddRoster(id, u"Someone");
  }
  ui_->OnControlClicked();
  EXPECT_EQ(ui_->control_candidates_for_testing().size(), CDSUIController::kMaxControlCandidates);
  for (const std::string& item : dialogs_.menu_items) {
    if (item == "-") continue;
    const int id = std::stoi(item);
    EXPECT_TRUE(id == 9499 || id < 9499) << item;
  }
  ui_->OnPopupMenuCommandClicked(0, 9500);  // a shape, never a participant
  EXPECT_EQ(ui_->tool(), 6);
  EXPECT_TRUE(Take().empty() || owner_.controller.empty());
}

TEST_F(UIControllerTest, SessionStatesDriveThePanelAndTheSelection) {
  owner_.quick_start = true;
  ui_->updateDSSessionStatus(2);
  EXPECT_TRUE(ui_->IsPanelVisible());
  EXPECT_EQ(Take(), (Journal{"share monitor 1 1"}));
  EXPECT_EQ(ui_->GetDlgItemText(1020), u"123 456 789");
  EXPECT_TRUE(ui_->Button(1024)->IsWindowEnabled());
  ui_->updateDSSessionStatus(4);
  EXPECT_FALSE(ui_->IsPanelVisible());
  owner_.quick_start = false;
  ui_->updateDSSessionStatus(2);
  EXPECT_TRUE(ui_->selection_window_for_testing().IsVisible());
  EXPECT_FALSE(ui_->selection_window_for_testing().HasStatusLabelForTesting());
  ui_->updateDSSessionError(9, 1);
  EXPECT_FALSE(ui_->selection_window_for_testing().IsVisible());
  owner_.rosters[u"me"].IsPresenter = 0;  // an attendee's UI
  ui_->updateDSSessionStatus(2);
  EXPECT_FALSE(ui_->selection_window_for_testing().IsVisible());
  EXPECT_FALSE(ui_->IsPanelVisible());
  EXPECT_EQ(CDSUIController::GroupMeetingId(u"12345678"), u"123 45 678");
  EXPECT_EQ(CDSUIController::GroupMeetingId(u"1234567890"), u"1234567890");
}

TEST_F(UIControllerTest, TheOverlayFollowsTheSharedAreaOnlyOnThePresentersUsableMonitor) {
  SharingInfo info = Info({100, 100, 900, 700}, 1.0f);
  ui_->updateDSSharingInfo(&info);
  ASSERT_TRUE(ui_->overlay_for_testing().IsWindow());
  EXPECT_EQ(ui_->overlay_for_testing().window()->bounds(), (vz::Rect{100, 100, 900, 700}));
  EXPECT_EQ(Take(), (Journal{"exclude1 0"}));  // the overlay's id (0 on the headless system)
  info.SharedRect = {100, 100, 100, 700};  // zero width
  ui_->updateDSSharingInfo(&info);
  EXPECT_FALSE(ui_->overlay_for_testing().IsWindow());
  EXPECT_EQ(Take(), (Journal{"exclude1 0"}));
  // A monitor without a usable scale gets no overlay.
  SharingInfo unscaled = Info({100, 100, 900, 700}, 0.0f);
  ui_->updateDSSharingInfo(&unscaled);
  EXPECT_FALSE(ui_->overlay_for_testing().IsWindow());
  // An attendee never gets one, whatever the info says.
  owner_.rosters[u"me"].IsPresenter = 0;
  ui_->updateDSSharingInfo(&info);
  info.SharedRect = {100, 100, 900, 700};
  ui_->updateDSSharingInfo(&info);
  EXPECT_FALSE(ui_->overlay_for_testing().IsWindow());
}

DSCommandRecord UIControllerTest::Annotation(const std::u16string& from, int32_t type, std::vector<VzPoint>& points) {
  DSCommandRecord r = Command(from, DSCommandAnnotation);
  r.AnnotationType = type;
  r.AnnotationMonitorId = 1;
  r.AnnotationColor = 0xFF0000FF;
  r.AnnotationWeight = 4;
  r.PointCount = static_cast<uint32_t>(points.size());
  r.Points = points.empty() ? nullptr : points.data();
  return r;
}

TEST_F(UIControllerTest, AnnotationShapesLandOnTheOverlayAtScreenPointsAndACaptureFollows) {
  SharingInfo info = Info({100, 100, 900, 700}, 1.0f);
  ui_->updateDSSharingInfo(&info);
  ASSERT_TRUE(ui_->overlay_for_testing().IsWindow());
  Take();
  // The sender's monitor: scale 2, its logical area 50 pixels right of the origin.
  owner_.monitors.Monitors[0].DpiScale = 2.0f;
  owner_.monitors.Monitors[0].LogicalRect = {50, 0, 1010, 540};
  vz::LogLineCapture log_lines;
  std::vector<VzPoint> points{{400, 400}, {1001, 801}};
  DSCommandRecord shape = Annotation(u"p1", DSAnnotationRectangle, points);
  ui_->updateDSCommand(&shape);
  EXPECT_EQ(owner_.captures, 1);
  EXPECT_EQ(log_lines.Count("type [13], color [0xFF0000FF], weight [4] count [2]", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines.Count("monitor id [1] points [400, 400]", vz::kFileLines), 1u);  // device pixels, before the conversion
  EXPECT_EQ(log_lines.Count("monitor id [1] points [1001, 801]", vz::kFileLines), 1u);
  const CDrawObjects& drawing = ui_->overlay_for_testing().drawing();
  ASSERT_EQ(drawing.count(), 1);
  // Device (1001, 801) at scale 2 is screen (50 + 500, 400) truncated, the overlay's (450, 300).
  EXPECT_EQ(drawing.at(0)->points, (std::vector<vz::Point>{{150, 100}, {450, 300}}));
  EXPECT_EQ(drawing.at(0)->rosterId, "p1");
  EXPECT_EQ(drawing.at(0)->weight, 4);
  // An undo takes back only its own sender's step.
  std::vector<VzPoint> none;
  DSCommandRecord others_undo = Annotation(u"vzweb-ann", DSAnnotationUndo, none);
  ui_->updateDSCommand(&others_undo);
  EXPECT_EQ(drawing.count(), 1);
  DSCommandRecord undo = Annotation(u"p1", DSAnnotationUndo, none);
  ui_->updateDSCommand(&undo);
  EXPECT_EQ(drawing.count(), 0);
  EXPECT_EQ(owner_.captures, 3);
  EXPECT_TRUE(Take().empty());
}

// One participant's strokes of thousands of points wrote a line a point
// and wrapped the presenter's log: the first lines are written, then one
// now and then that says how many were left out.
TEST_F(UIControllerTest, AnnotationLinesAreBudgetedAndSayWhatWasLeftOut) {
  vz::LogLineCapture log_lines;
  std::vector<VzPoint> points;
  for (int i = 0; i < 5000; ++i) points.push_back({i % 1900, i % 1000});
  DSCommandRecord flood = Annotation(u"p1", DSAnnotationStroke, points);
  for (int i = 0; i < 100; ++i) ui_->updateDSCommand(&flood);
  EXPECT_EQ(owner_.captures, 100);
  EXPECT_EQ(log_lines.Count("monitor id [1] points [", vz::kFileLines), kPointLogBurst);
  const size_t events = log_lines.Count("type [11], color [0xFF0000FF], weight [4] count [5000]", vz::kFileLines);
  EXPECT_GE(events, 1u);
  EXPECT_LE(events, 50u);
  // Later, one more line of each, with what was left out before it.
  clock_.AdvanceMs(kPointLogRefillMs);
  std::vector<VzPoint> one{{7, 8}};
  DSCommandRecord dot = Annotation(u"p1", DSAnnotationStroke, one);
  ui_->updateDSCommand(&dot);
  EXPECT_EQ(log_lines.Count("monitor id [1] points [7, 8] (" + std::to_string(100 * 5000 - kPointLogBurst) +
                                " more like it left out of the log before this one)",
                            vz::kFileLines),
            1u);
  EXPECT_EQ(log_lines.Count("type [11], color [0xFF0000FF], weight [4] count [1] (", vz::kFileLines), 1u);
}

TEST_F(UIControllerTest, ThePointerShowsTheSendersNameAndColourAtTheFirstScreenPoint) {
  owner_.monitors.Monitors[0].DpiScale = 2.0f;
  owner_.monitors.Monitors[0].LogicalRect = {1000, 0, 1960, 540};
  std::vector<VzPoint> points{{20, 40}, {30, 50}};
  DSCommandRecord pointer = Annotation(u"p1", DSAnnotationPointer, points);
  ui_->updateDSCommand(&pointer);
  EXPECT_EQ(Take(), (Journal{"arrow Pat One 0xFF0000FF 1010,20"}));
  EXPECT_EQ(owner_.captures, 1);
  EXPECT_EQ(ui_->overlay_for_testing().drawing().count(), 0);
  // No points: nothing shown, still captured.
  std::vector<VzPoint> none;
  DSCommandRecord empty = Annotation(u"p1", DSAnnotationPointer, none);
  ui_->updateDSCommand(&empty);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(owner_.captures, 2);
  // A sender who is not a participant: nothing at all.
  DSCommandRecord stranger = Annotation(u"nobody", DSAnnotationPointer, points);
  ui_->updateDSCommand(&stranger);
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(owner_.captures, 2);
}

TEST_F(UIControllerTest, UnknownMonitorsAndMalformedAnnotationsDrawNothing) {
  SharingInfo info = Info({100, 100, 900, 700}, 1.0f);
  ui_->updateDSSharingInfo(&info);
  ASSERT_TRUE(ui_->overlay_for_testing().IsWindow());
  Take();
  vz::LogLineCapture log_lines;
  std::vector<VzPoint> points{{200, 150}, {600, 300}};
  // Another monitor than any known: not even a capture, but the line is logged.
  DSCommandRecord elsewhere = Annotation(u"p1", DSAnnotationEllipse, points);
  elsewhere.AnnotationMonitorId = 9;
  ui_->updateDSCommand(&elsewhere);
  EXPECT_EQ(owner_.captures, 0);
  EXPECT_EQ(log_lines.Count("type [15], color [0xFF0000FF], weight [4] count [2]", vz::kFileLines), 1u);
  // A count with no array, and a type nobody knows: refused, logged, captured.
  DSCommandRecord lying = Annotation(u"p1", DSAnnotationEllipse, points);
  lying.Points = nullptr;
  ui_->updateDSCommand(&lying);
  DSCommandRecord unknown = Annotation(u"p1", 9, points);
  ui_->updateDSCommand(&unknown);
  EXPECT_EQ(log_lines.Count("event refused", vz::kFileLines), 2u);
  EXPECT_EQ(log_lines.Count("type [9], color [0xFF0000FF], weight [4] count [2]", vz::kFileLines), 1u);
  EXPECT_EQ(log_lines.Count("monitor id [1] points", vz::kFileLines), 0u);
  EXPECT_EQ(owner_.captures, 2);
  EXPECT_EQ(ui_->overlay_for_testing().drawing().count(), 0);
  EXPECT_TRUE(Take().empty());
}

TEST_F(UIControllerTest, TheCaptureSidesMonitorAndMouseCallbacksLogTheirNames) {
  vz::LogLineCapture log_lines;
  MonitorInfo monitor = owner_.monitors.Monitors[0];
  VzRect rect{0, 0, 10, 10};
  ui_->monitorShared(&monitor, nullptr);
  ui_->monitorUnShared(&monitor);
  ui_->monitorUpdated(&monitor, &rect);
  ui_->mouseUpdated(nullptr);
  for (const char* name : {"monitorShared", "monitorUnShared", "monitorUpdated", "mouseUpdated"}) {
    EXPECT_EQ(log_lines.Count(name, vz::kFileLines), 1u) << name;
  }
}

TEST_F(UIControllerTest, AudioButtonStatesAndClicks) {
  CImageButton* audio = ui_->Button(1025);
  ui_->updateAudioStatus(1, 0);
  EXPECT_FALSE(audio->IsWindowEnabled());
  EXPECT_EQ(audio->GetImageState(), 2);
  ui_->updateAudioStatus(2, 1);
  EXPECT_EQ(audio->GetImageState(), 4);
  ui_->OnAudioClicked();
  ui_->updateAudioStatus(2, 0);
  EXPECT_EQ(audio->GetImageState(), 3);
  ui_->OnAudioClicked();
  ui_->updateAudioStatus(4, 0);
  EXPECT_TRUE(audio->IsWindowEnabled());
  ui_->OnAudioClicked();
  EXPECT_EQ(Take(), (Journal{"audio unmute", "audio mute", "audio join"}));
}

TEST_F(UIControllerTest, TheLaserAndTheToolBarSwitchTools) {
  ui_->OnLaserpointerClicked();
  EXPECT_EQ(ui_->tool(), 2);
  EXPECT_TRUE(ui_->Button(1027)->IsCheckedForTesting());
  ui_->OnAnnotateClicked();  // the bar opens; the laser stays until a tool is chosen
  EXPECT_TRUE(ui_->tool_window_for_testing().window()->IsVisible());
  EXPECT_EQ(ui_->tool(), 0);
  ui_->OnAnnotationToolButtonClicked(1101);
  EXPECT_EQ(ui_->tool(), 4);
  dialogs_.menu_choice = 9705;
  ui_->OnAnnotationToolButtonClicked(1099);  // the colour menu
  EXPECT_EQ(ui_->color(), 0xFF3BA623u);
  ui_->OnAnnotationToolButtonClicked(1109);
  EXPECT_FALSE(ui_->tool_window_for_testing().window()->IsVisible());
  EXPECT_EQ(ui_->tool(), 0);
  // Every tool change tells the capture side whether its pointer window shows.
  EXPECT_EQ(Take(), (Journal{"pointer window 1", "pointer window 0", "exclude2 0", "pointer window 0",
                             "arrow text Me Myself", "pointer window 0", "exclude2 0"}));
}

TEST(UIControllerWithoutWindows, StaysInertWithoutAnOwnerOrWithoutItsPanel) {
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  auto system = vz::HeadlessWindowSystem::Create({1280, 800});
  RecordingOwner owner;
  ScriptedDialogs dialogs;
  vzres::UnloadResourceLibrary();  // no panel description: the panel cannot be made
  for (IDSUIOwner* o : {static_cast<IDSUIOwner*>(nullptr), static_cast<IDSUIOwner*>(&owner)}) {
    CDSUIController ui(CDSUIController::Ports{o, &dialogs, nullptr, nullptr, system.get(), nullptr});
    ui.updateDSSessionStatus(2);
    ui.showDSSelectionWindow(1);
    ui.OnControlClicked();
    ui.OnAnnotateClicked();
    DSCommandRecord request;
    std::memset(&request, 0, sizeof(request));
    vz::CopyUtf16(request.SrcRosterId, 128, u"me");
    request.Type = DSCommandRequestControl;
    ui.updateDSCommand(&request);
    ui.cleanUp();
  }
  EXPECT_TRUE(owner.journal.empty());
  EXPECT_TRUE(dialogs.asked.empty());
}

}  // namespace

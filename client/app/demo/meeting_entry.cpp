#include "client/app/demo/meeting_entry.h"

#include "client/app/demo/package_text.h"

bool EnterMeeting(MeetingParticipant& participant, const MeetingEntry& entry, int timeout_ms, std::string* why) {
  if (!participant.PrepareSandbox()) {
    *why = "cannot make the sandbox " + participant.sandbox();
    return false;
  }
  if (!participant.Start(entry.bridge, entry.environment)) {
    *why = "cannot start vzbridge";
    return false;
  }
  participant.Send("{\"type\":\"MEET_APP_UPGRADEDISABLED\"}");
  participant.Send(std::string("{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"") + VZ_DEMO_ADD_ON_VERSION +
                   "\",\"domain\":\"http://127.0.0.1\",\"meetid\":\"" + entry.meet_id + "\",\"rosterid\":\"" +
                   entry.roster + "\",\"language\":\"" + entry.language + "\",\"application_pkg\":\"" +
                   ScrambledPackageText() + "\"}");
  if (!participant.WaitFor("MEET_APP_STARTED", timeout_ms)) {
    *why = "no MEET_APP_STARTED after the start request";
    return false;
  }
  participant.Send("{\"type\":\"APP_MEET_CONFIG\",\"conf\":{\"MEET_WITHOUT_AUDIO\":false,"
                   "\"MEET_WITHOUT_VIDEO\":false,\"MEET_WITHOUT_SHARING\":false,"
                   "\"MEET_WITHOUT_REMOTECONTROL\":false,\"MEET_VIDEO_TOOLBAR\":true}}");
  participant.Send("{\"type\":\"APP_ROSTERS_CMD_JOINED\",\"action\":{\"rosters\":[" + entry.rosters + "]}}");
  participant.Send("{\"type\":\"APP_REQUEST_PING\",\"action\":{\"conf_id\":\"" + entry.meet_id + "\"}}");
  if (!participant.WaitFor("APP_RESPONSE_PONG", timeout_ms)) {
    *why = "the ping after the meeting config and roster was not answered";
    return false;
  }
  return true;
}

#pragma once
// The browser attendee's part of the local meeting demonstration: a stand-in
// (vzwebattendee) joins the sharing session as a plain protocol client and
// sends the presenter what a browser attendee's page would. Stage by stage:
// it joins; an annotation (a filled rectangle on monitor 1) reaches the
// presenter's VelzarHub and shows on its screen; a request for remote
// control opens the presenter's consent question, which the demonstration
// accepts as the presenter would (a click on Allow); the presenter gives
// control; a remote click lands on a test window of the desktop at the
// point asked; the stand-in leaves.
//
// One call, on the demonstration's thread, after the screen comparison (the
// desktop's clock no longer ticks, so nothing else draws meanwhile).
#include <functional>
#include <string>

struct WebAttendeeSetup {
  std::string program;         // the stand-in's path
  std::string display;         // the presenter's display
  std::string presenter_log;   // the presenter's VelzarHub log
  int presenter_pid = 0;       // the presenter's VelzarHub
  int port = 0;                // vzrelay's port
  std::string meet_id, token, ds_id;
  std::string roster;          // the stand-in's roster id (in the rosters both VelzarHubs got)
  std::string presenter_roster;
  int screen_width = 0;
  int screen_height = 0;
};

// Stage reports a passed stage (name, detail). False with the failed stage
// and why; everything it started has ended either way.
bool RunWebAttendee(const WebAttendeeSetup& setup, const std::function<void(const std::string&, const std::string&)>& stage,
                    std::string* failed_stage, std::string* why);

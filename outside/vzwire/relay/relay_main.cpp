// vzrelay: the local meeting server. Listens on 127.0.0.1 only, joins
// transports into sessions and relays between them; see --help.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/trace_client.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "outside/vzwire/relay/relay_server.h"

namespace {

vzrelay::RelayServer* g_server = nullptr;

void OnStopSignal(int) {
  if (g_server != nullptr) g_server->Stop();
}

void PrintUsage() {
  std::printf(
      "usage: vzrelay [options]\n"
      "  --port N            TCP port on 127.0.0.1 (default 0: a free one, printed)\n"
      "  --secret-file F     the meeting secret: the whole of F but one newline at its end, at\n"
      "                      least 16 bytes (head -c 32 /dev/urandom > F; chmod 600 F). F must be\n"
      "                      this user's own file, not a link, and readable by no one else. A join\n"
      "                      is admitted only with the member token it signs for the join's meeting,\n"
      "                      roster id (never empty) and role (presenter when the join says so,\n"
      "                      else attendee): only the member itself then replaces its connection\n"
      "                      (a roster id is held by one connection; a second join closes the\n"
      "                      first, as a reconnection does), and only a member whose token carries\n"
      "                      the presenter role may present\n"
      "  --member-token MEETING ROSTER ROLE\n"
      "                      with --secret-file: print the member token of ROSTER (not empty) in\n"
      "                      MEETING as ROLE (presenter or attendee) and end\n"
      "  A session belongs to the meeting of its first member: a member of another meeting is\n"
      "  refused (code 401) whatever session id it names. One member (meeting, roster id and\n"
      "  role) is in at most 4 sessions at a time (one of each type is what a member uses);\n"
      "  a join beyond them is refused (code 429).\n"
      "  --token T           the token of every meeting not named by --meeting. For local tests\n"
      "                      only: a token shared by every member tells members apart by nothing,\n"
      "                      so any holder may join as any roster id (closing the connection that\n"
      "                      held it) and as a presenter; use --secret-file where that matters\n"
      "  --meeting ID=T      the token of meeting ID (repeatable; as unprotected as --token)\n"
      "                      (no token at all: a session's first member sets it)\n"
      "  --max-backlog N     bytes queued for a member before it is dropped\n"
      "                      (default 33554432, at least 8388614)\n"
      "  --loss R            drop this share (0..1) of media packets\n"
      "  --delay-ms N        delay media packets by N ms\n"
      "  --jitter-ms N       and by up to N ms more\n"
      "  --reorder R         hold this share (0..1) of media packets behind later ones\n"
      "  --cut-after S       cut every connection once, S seconds after the first member\n"
      "                      joined (with --cut-roster: after that roster id joined)\n"
      "  --cut-for S         refuse connections for S seconds after the cut (default 2)\n"
      "  --cut-roster ID     cut only the members joined with this roster id\n"
      "  --seed N            seed of the fault decisions (default 1)\n"
      "  --join-deadline S   close a connection that has not joined after S seconds (default 10)\n"
      "  --silence-deadline S close a joined member that sent no whole frame, not even a\n"
      "                      ping, for S seconds (default 5). Any frame must arrive within 1 s\n"
      "                      and a second more for each MiB of its size; frames in progress hold\n"
      "                      at most 64 MiB in one meeting and 256 MiB in all (the oldest closes)\n"
      "  --max-connections N joined connections of one meeting; a join beyond them is\n"
      "                      refused (default 256). Unjoined connections: a quarter of N at\n"
      "                      a time (a newcomer closes the oldest); in all: four times N\n"
      "                      (beyond them a newcomer is closed at once)\n"
      "Prints \"vzrelay listening on 127.0.0.1:PORT\" once ready; stops on SIGTERM or SIGINT.\n");
}

// Every connection the caps allow needs a descriptor: the soft limit is
// raised as far as needed (and allowed), and the total cap lowered to what
// is left (logged), so that accepting never fails for want of one.
void RaiseDescriptorLimit(vzrelay::RelayOptions* options) {
  const size_t total = options->max_total_connections != 0 ? options->max_total_connections
                                                            : options->max_connections * 4;
  constexpr size_t kSpare = 64;  // the listener, the waker, the log, the loader
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = static_cast<rlim_t>(total + kSpare);
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
  }
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    const size_t fits = limit.rlim_cur > kSpare ? static_cast<size_t>(limit.rlim_cur) - kSpare : 1;
    VZ_LOG_ERROR("%llu descriptors allowed: at most %zu connections in all",
                 static_cast<unsigned long long>(limit.rlim_cur), fits);
    options->max_total_connections = fits;
  }
}

bool ParseNumber(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  const double parsed = std::strtod(text, &end);
  if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TraceSetAppInfo("vzrelay", "1.0.0");
  vzrelay::RelayOptions options;
  std::string secret_file;
  bool wants_member_token = false;
  std::string member_token_meeting, member_token_roster, member_token_role;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      PrintUsage();
      return 0;
    }
    if (flag == "--member-token") {
      if (i + 3 >= argc) {
        std::fprintf(stderr, "vzrelay: --member-token needs MEETING ROSTER ROLE\n");
        return 2;
      }
      member_token_meeting = argv[i + 1];
      member_token_roster = argv[i + 2];
      member_token_role = argv[i + 3];
      wants_member_token = true;
      i += 3;
      continue;
    }
    static const char* const kValued[] = {"--port", "--secret-file", "--token", "--meeting", "--max-backlog", "--loss",
                                          "--delay-ms", "--jitter-ms", "--reorder", "--cut-after", "--cut-for",
                                          "--cut-roster", "--seed", "--join-deadline", "--silence-deadline",
                                          "--max-connections"};
    bool known = false;
    for (const char* name : kValued) known = known || flag == name;
    if (!known) {
      std::fprintf(stderr, "vzrelay: unknown option %s (see --help)\n", flag.c_str());
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "vzrelay: %s needs a value\n", flag.c_str());
      return 2;
    }
    const char* value = argv[++i];
    double number = 0;
    bool ok = true;
    if (flag == "--port") {
      ok = ParseNumber(value, 0, 65535, &number);
      options.port = static_cast<uint16_t>(number);
    } else if (flag == "--secret-file") {
      secret_file = value;
      ok = !secret_file.empty();
    } else if (flag == "--token") {
      options.hub.default_token = value;
    } else if (flag == "--meeting") {
      const char* equals = std::strchr(value, '=');
      ok = equals != nullptr && equals != value;
      if (ok) options.hub.meeting_tokens[std::string(value, equals)] = equals + 1;
    } else if (flag == "--max-backlog") {
      // At least one frame of the largest kind, or a member would be dropped
      // for one large message instead of for not reading.
      ok = ParseNumber(value, vzrelay::kMaxDataPayload + vzrelay::kFrameHeaderSize, 1u << 30, &number);
      options.backlog_limit = static_cast<size_t>(number);
    } else if (flag == "--loss") {
      ok = ParseNumber(value, 0, 1, &options.faults.loss_rate);
    } else if (flag == "--delay-ms") {
      ok = ParseNumber(value, 0, 60000, &number);
      options.faults.delay_ms = static_cast<uint32_t>(number);
    } else if (flag == "--jitter-ms") {
      ok = ParseNumber(value, 0, 60000, &number);
      options.faults.jitter_ms = static_cast<uint32_t>(number);
    } else if (flag == "--reorder") {
      ok = ParseNumber(value, 0, 1, &options.faults.reorder_rate);
    } else if (flag == "--cut-after") {
      ok = ParseNumber(value, 1, 86400, &number);
      options.faults.cut_after_s = static_cast<uint32_t>(number);
    } else if (flag == "--cut-for") {
      ok = ParseNumber(value, 0, 3600, &number);
      options.faults.cut_for_s = static_cast<uint32_t>(number);
    } else if (flag == "--cut-roster") {
      options.faults.cut_roster = value;
      ok = !options.faults.cut_roster.empty();
    } else if (flag == "--seed") {
      ok = ParseNumber(value, 0, 1e15, &number);
      options.fault_seed = static_cast<uint64_t>(number);
    } else if (flag == "--join-deadline") {
      ok = ParseNumber(value, 1, 3600, &number);
      options.join_deadline_ms = static_cast<uint32_t>(number) * 1000;
    } else if (flag == "--silence-deadline") {
      ok = ParseNumber(value, 1, 3600, &number);
      options.silence_deadline_ms = static_cast<uint32_t>(number) * 1000;
    } else if (flag == "--max-connections") {
      ok = ParseNumber(value, 1, 4096, &number);
      options.max_connections = static_cast<size_t>(number);
    } else {
      std::fprintf(stderr, "vzrelay: unknown option %s (see --help)\n", flag.c_str());
      return 2;
    }
    if (!ok) {
      std::fprintf(stderr, "vzrelay: bad value \"%s\" for %s\n", value, flag.c_str());
      return 2;
    }
  }
  if (!secret_file.empty()) {
    std::string why;
    if (!vzrelay::ReadMemberSecret(secret_file, &options.hub.member_secret, &why)) {
      std::fprintf(stderr, "vzrelay: %s\n", why.c_str());
      return 2;
    }
    if (!options.hub.default_token.empty() || !options.hub.meeting_tokens.empty()) {
      std::fprintf(stderr, "vzrelay: --secret-file admits members by their own tokens; it takes no --token or "
                           "--meeting\n");
      return 2;
    }
  }
  if (wants_member_token) {
    vzrelay::MemberRole role = vzrelay::MemberRole::kAttendee;
    if (secret_file.empty()) {
      std::fprintf(stderr, "vzrelay: --member-token needs --secret-file\n");
      return 2;
    }
    if (member_token_roster.empty()) {
      std::fprintf(stderr, "vzrelay: --member-token needs a roster id: a token is for one member\n");
      return 2;
    }
    if (!vzrelay::ParseMemberRole(member_token_role, &role)) {
      std::fprintf(stderr, "vzrelay: the role \"%s\" is neither presenter nor attendee\n",
                   member_token_role.c_str());
      return 2;
    }
    const std::string token = vzrelay::MakeMemberToken(options.hub.member_secret, member_token_meeting,
                                                       member_token_roster, role);
    if (token.empty()) {
      std::fprintf(stderr, "vzrelay: no member token could be made\n");
      return 1;
    }
    std::printf("%s\n", token.c_str());
    return 0;
  }
  if (options.backlog_limit <= options.hub.media_backlog_limit) {
    options.hub.media_backlog_limit = options.backlog_limit / 2;
  }

  RaiseDescriptorLimit(&options);
  vzrelay::RelayServer server(options);
  vzrelay::InstallRelayRoles(server.Hub());
  if (!server.Start()) {
    std::fprintf(stderr, "vzrelay: cannot listen on 127.0.0.1:%u\n", options.port);
    return 1;
  }
  g_server = &server;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::printf("vzrelay listening on 127.0.0.1:%u\n", server.Port());
  std::fflush(stdout);
  server.Run();
  g_server = nullptr;
  return 0;
}

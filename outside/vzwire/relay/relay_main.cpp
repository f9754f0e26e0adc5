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
#include "outside/vzwire/relay/relay_version.h"

namespace {

vzrelay::RelayServer* g_server = nullptr;

void OnStopSignal(int) {
  if (g_server != nullptr) g_server->Stop();
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

// A whole number in [low, high] into `*out`.
template <typename T>
bool ParseWhole(const char* text, double low, double high, T* out) {
  double number = 0;
  if (!ParseNumber(text, low, high, &number)) return false;
  *out = static_cast<T>(number);
  return true;
}

// Whole seconds in [low, high], kept as milliseconds.
bool ParseSecondsAsMs(const char* text, double low, double high, uint32_t* ms) {
  uint32_t seconds = 0;
  if (!ParseWhole(text, low, high, &seconds)) return false;
  *ms = seconds * 1000;
  return true;
}

// What the command line asks for.
struct Command {
  vzrelay::RelayOptions options;
  std::string secret_file;
  bool wants_help = false;
  bool wants_member_token = false;
  std::string member_token_meeting, member_token_roster, member_token_role;
};

// One option: the usage and the parsing both come from this table, so an
// option is known exactly when it is described.
struct Option {
  const char* name;
  const char* alias;        // another spelling, or null
  int value_count;          // the values that follow it
  const char* value_names;  // as the usage shows them
  const char* help;         // lines of the usage, '\n' between them
  // False for a value it refuses.
  bool (*handle)(const char* const* values, Command* command);
};

const Option kOptions[] = {
    {"--help", "-h", 0, "", "print this usage and end",
     [](const char* const*, Command* c) {
       c->wants_help = true;
       return true;
     }},
    {"--port", nullptr, 1, "N", "TCP port on 127.0.0.1 (default 0: a free one, printed)",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 0, 65535, &c->options.port); }},
    {"--secret-file", nullptr, 1, "F",
     "the meeting secret: the whole of F but one newline at its end, at\n"
     "least 16 bytes (head -c 32 /dev/urandom > F; chmod 600 F). F must be\n"
     "this user's own file, not a link, and readable by no one else. A join\n"
     "is admitted only with the member token it signs for the join's meeting,\n"
     "roster id (never empty) and role (presenter when the join says so,\n"
     "else attendee): only the member itself then replaces its connection\n"
     "(a roster id is held by one connection; a second join closes the\n"
     "first, as a reconnection does), and only a member whose token carries\n"
     "the presenter role may present",
     [](const char* const* v, Command* c) {
       c->secret_file = v[0];
       return !c->secret_file.empty();
     }},
    {"--member-token", nullptr, 3, "MEETING ROSTER ROLE",
     "with --secret-file: print the member token of ROSTER (not empty) in\n"
     "MEETING as ROLE (presenter or attendee) and end",
     [](const char* const* v, Command* c) {
       c->member_token_meeting = v[0];
       c->member_token_roster = v[1];
       c->member_token_role = v[2];
       c->wants_member_token = true;
       return true;
     }},
    {"--token", nullptr, 1, "T",
     "the token of every meeting not named by --meeting. For local tests\n"
     "only: a token shared by every member tells members apart by nothing,\n"
     "so any holder may join as any roster id (closing the connection that\n"
     "held it) and as a presenter; use --secret-file where that matters",
     [](const char* const* v, Command* c) {
       c->options.hub.default_token = v[0];
       return true;
     }},
    {"--meeting", nullptr, 1, "ID=T",
     "the token of meeting ID (repeatable; as unprotected as --token)\n"
     "(no token at all: a session's first member sets it)",
     [](const char* const* v, Command* c) {
       const char* equals = std::strchr(v[0], '=');
       if (equals == nullptr || equals == v[0]) return false;
       c->options.hub.meeting_tokens[std::string(v[0], equals)] = equals + 1;
       return true;
     }},
    {"--max-backlog", nullptr, 1, "N",
     "bytes queued for a member before it is dropped\n"
     "(default 33554432, at least 8388614)",
     [](const char* const* v, Command* c) {
       // At least one frame of the largest kind, or a member would be dropped
       // for one large message instead of for not reading.
       return ParseWhole(v[0], vzrelay::kMaxDataPayload + vzrelay::kFrameHeaderSize, 1u << 30,
                         &c->options.backlog_limit);
     }},
    {"--loss", nullptr, 1, "R", "drop this share (0..1) of media packets",
     [](const char* const* v, Command* c) { return ParseNumber(v[0], 0, 1, &c->options.faults.loss_rate); }},
    {"--delay-ms", nullptr, 1, "N", "delay media packets by N ms",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 0, 60000, &c->options.faults.delay_ms); }},
    {"--jitter-ms", nullptr, 1, "N", "and by up to N ms more",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 0, 60000, &c->options.faults.jitter_ms); }},
    {"--reorder", nullptr, 1, "R", "hold this share (0..1) of media packets behind later ones",
     [](const char* const* v, Command* c) { return ParseNumber(v[0], 0, 1, &c->options.faults.reorder_rate); }},
    {"--cut-after", nullptr, 1, "S",
     "cut every connection once, S seconds after the first member\n"
     "joined (with --cut-roster: after that roster id joined)",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 1, 86400, &c->options.faults.cut_after_s); }},
    {"--cut-for", nullptr, 1, "S", "refuse connections for S seconds after the cut (default 2)",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 0, 3600, &c->options.faults.cut_for_s); }},
    {"--cut-roster", nullptr, 1, "ID", "cut only the members joined with this roster id",
     [](const char* const* v, Command* c) {
       c->options.faults.cut_roster = v[0];
       return !c->options.faults.cut_roster.empty();
     }},
    {"--seed", nullptr, 1, "N", "seed of the fault decisions (default 1)",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 0, 1e15, &c->options.fault_seed); }},
    {"--join-deadline", nullptr, 1, "S", "close a connection that has not joined after S seconds (default 10)",
     [](const char* const* v, Command* c) { return ParseSecondsAsMs(v[0], 1, 3600, &c->options.join_deadline_ms); }},
    {"--silence-deadline", nullptr, 1, "S",
     "close a joined member that sent no whole frame, not even a\n"
     "ping, for S seconds (default 5). Any frame must arrive within 1 s\n"
     "and a second more for each MiB of its size; frames in progress hold\n"
     "at most 64 MiB in one meeting and 256 MiB in all (the oldest closes)",
     [](const char* const* v, Command* c) { return ParseSecondsAsMs(v[0], 1, 3600, &c->options.silence_deadline_ms); }},
    {"--max-connections", nullptr, 1, "N",
     "joined connections of one meeting; a join beyond them is\n"
     "refused (default 256). Unjoined connections: a quarter of N at\n"
     "a time (a newcomer closes the oldest); in all: four times N\n"
     "(beyond them a newcomer is closed at once)",
     [](const char* const* v, Command* c) { return ParseWhole(v[0], 1, 4096, &c->options.max_connections); }},
};

void PrintUsage() {
  constexpr size_t kHelpColumn = 22;
  std::printf("usage: vzrelay [options]\n");
  for (const Option& option : kOptions) {
    std::string head = std::string("  ") + option.name;
    if (option.value_count > 0) head += std::string(" ") + option.value_names;
    if (head.size() < kHelpColumn) {
      head.resize(kHelpColumn, ' ');
    } else {
      head += "\n" + std::string(kHelpColumn, ' ');
    }
    std::string help = option.help;
    for (size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1)) {
      help.insert(at + 1, kHelpColumn, ' ');
    }
    std::printf("%s%s\n", head.c_str(), help.c_str());
  }
  std::printf(
      "A session belongs to one meeting: a join finds the session of its type and id in the\n"
      "meeting it names, so a member of another meeting naming the same session id opens a\n"
      "session of its own meeting and reaches no one of this one. One member (meeting, roster\n"
      "id and role) is in at most 4 sessions at a time (one of each type is what a member\n"
      "uses); a join beyond them is refused (code 429).\n"
      "Prints \"vzrelay listening on 127.0.0.1:PORT\" once ready; stops on SIGTERM or SIGINT.\n");
}

const Option* FindOption(const char* name) {
  for (const Option& option : kOptions) {
    if (std::strcmp(name, option.name) == 0 || (option.alias != nullptr && std::strcmp(name, option.alias) == 0)) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  TraceSetAppInfo("vzrelay", VZ_RELAY_VERSION);
  Command command;
  for (int i = 1; i < argc; ++i) {
    const Option* option = FindOption(argv[i]);
    if (option == nullptr) {
      std::fprintf(stderr, "vzrelay: unknown option %s (see --help)\n", argv[i]);
      return 2;
    }
    if (argc - 1 - i < option->value_count) {
      if (option->value_count == 1) {
        std::fprintf(stderr, "vzrelay: %s needs a value\n", option->name);
      } else {
        std::fprintf(stderr, "vzrelay: %s needs %s\n", option->name, option->value_names);
      }
      return 2;
    }
    const char* const* values = argv + i + 1;
    if (!option->handle(values, &command)) {
      std::fprintf(stderr, "vzrelay: bad value \"%s\" for %s\n", values[0], option->name);
      return 2;
    }
    if (command.wants_help) {
      PrintUsage();
      return 0;
    }
    i += option->value_count;
  }
  vzrelay::RelayOptions& options = command.options;
  const std::string& secret_file = command.secret_file;
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
  if (command.wants_member_token) {
    vzrelay::MemberRole role = vzrelay::MemberRole::kAttendee;
    if (secret_file.empty()) {
      std::fprintf(stderr, "vzrelay: --member-token needs --secret-file\n");
      return 2;
    }
    if (command.member_token_roster.empty()) {
      std::fprintf(stderr, "vzrelay: --member-token needs a roster id: a token is for one member\n");
      return 2;
    }
    if (!vzrelay::ParseMemberRole(command.member_token_role, &role)) {
      std::fprintf(stderr, "vzrelay: the role \"%s\" is neither presenter nor attendee\n",
                   command.member_token_role.c_str());
      return 2;
    }
    const std::string token = vzrelay::MakeMemberToken(options.hub.member_secret, command.member_token_meeting,
                                                       command.member_token_roster, role);
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

#include "client/app/demo/demo_relay.h"

#include <cstdlib>

#include "contracts/member_token.h"
#include "platform/file_system.h"
#include "platform/random_bytes.h"

bool StartDemoRelay(const std::string& bin, const std::vector<std::string>& extra, vz::PipedChild* relay,
                    int32_t* port, std::string* why) {
  const std::string path = bin + "/vzrelay";
  std::vector<std::string> args = {"vzrelay", "--port", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  if (!relay->Start(path, args, {})) {
    *why = "cannot start " + path;
    return false;
  }
  std::string line;
  relay->ReadLine(&line, 200, 10000);
  const std::string prefix = "vzrelay listening on 127.0.0.1:";
  if (line.compare(0, prefix.size(), prefix) != 0) {
    *why = "vzrelay said [" + line + "]";
    return false;
  }
  *port = std::atoi(line.c_str() + prefix.size());
  return true;
}

namespace {

// StartDemoRelay with a fresh meeting secret, kept in `secret`, written to
// `secret_file` (readable by its owner only) and given to vzrelay.
bool StartDemoRelayWithSecret(const std::string& bin, const std::string& secret_file,
                              const std::vector<std::string>& extra, vz::PipedChild* relay, int32_t* port,
                              std::string* secret, std::string* why) {
  unsigned char random[32];
  if (!vz::FillRandomBytes(random, sizeof random)) {
    *why = "no random bytes for the meeting secret";
    return false;
  }
  static const char kHex[] = "0123456789abcdef";
  secret->clear();
  for (const unsigned char byte : random) {
    secret->push_back(kHex[byte >> 4]);
    secret->push_back(kHex[byte & 0x0F]);
  }
  if (!vz::WriteFileAtomic(secret_file, *secret + "\n", 0600)) {
    *why = "cannot write the meeting secret to " + secret_file;
    return false;
  }
  std::vector<std::string> args = {"--secret-file", secret_file};
  args.insert(args.end(), extra.begin(), extra.end());
  return StartDemoRelay(bin, args, relay, port, why);
}

// The member's token under the meeting's secret, as vzrelay checks it.
bool SignMember(const std::string& secret, const std::string& meeting, const std::string& roster, bool presenter,
                std::string* token, std::string* why) {
  *token = MakeMemberToken(secret, meeting, roster, presenter ? MemberRole::kPresenter : MemberRole::kAttendee);
  if (token->empty()) {
    *why = "no member token could be made for " + roster;  // a failed signature is logged
    if (secret.size() < kMinMemberSecret) {
      *why += ": the secret has " + std::to_string(secret.size()) + " bytes; at least " +
              std::to_string(kMinMemberSecret) + " are needed";
    }
    return false;
  }
  return true;
}

}  // namespace

bool DemoMemberToken(const std::string& secret_file, const std::string& meeting, const std::string& roster,
                     bool presenter, std::string* token, std::string* why) {
  token->clear();
  std::string secret;
  if (!ReadMemberSecret(secret_file, &secret, why)) return false;
  return SignMember(secret, meeting, roster, presenter, token, why);
}

bool StartDemoMeetingRelay(const std::string& bin, const std::string& work, const std::vector<std::string>& extra,
                           const std::string& meeting, const std::vector<DemoMember>& members, vz::PipedChild* relay,
                           int32_t* port, std::map<std::string, std::string>* tokens, std::string* why) {
  std::string secret;
  if (!StartDemoRelayWithSecret(bin, work + "/meeting-secret", extra, relay, port, &secret, why)) return false;
  for (const DemoMember& member : members) {
    if (!SignMember(secret, meeting, member.roster, member.presenter, &(*tokens)[member.roster], why)) return false;
  }
  return true;
}

std::string DemoRelayDetail(const vz::PipedChild& relay, int32_t port) {
  return "vzrelay (process " + std::to_string(relay.Pid()) + ") on 127.0.0.1:" + std::to_string(port);
}

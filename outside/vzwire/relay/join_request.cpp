#include "outside/vzwire/relay/join_request.h"

#include "outside/vzwire/relay/relay_frame.h"

namespace vzrelay {

std::vector<uint8_t> EncodeJoinRequest(const JoinRequest& request) {
  std::vector<uint8_t> out;
  out.push_back(request.session_type);
  out.push_back(static_cast<uint8_t>((request.presenter ? 1 : 0) | (request.web_attendee ? 2 : 0)));
  PutU32(&out, request.previous_ssrc);
  for (const std::string* text : {&request.session_id, &request.meet_id, &request.token, &request.roster_id,
                                  &request.application_name, &request.join_parameters}) {
    PutText(&out, text->size() > kMaxJoinText ? text->substr(0, kMaxJoinText) : *text);
  }
  return out;
}

bool DecodeJoinRequest(const uint8_t* data, size_t size, JoinRequest* request) {
  PayloadReader reader(data, size);
  uint8_t flags = 0;
  if (!reader.GetU8(&request->session_type) || !reader.GetU8(&flags) ||
      !reader.GetU32(&request->previous_ssrc)) {
    return false;
  }
  request->presenter = (flags & 1) != 0;
  request->web_attendee = (flags & 2) != 0;
  for (std::string* text : {&request->session_id, &request->meet_id, &request->token, &request->roster_id,
                            &request->application_name, &request->join_parameters}) {
    if (!reader.GetText(text, kMaxJoinText)) return false;
  }
  return reader.Remaining() == 0;
}

}  // namespace vzrelay

#pragma once
// The web page's requests: one kind-1000 text is parsed, its "type" (exact,
// case included) picks what to read, and the records built from it are
// posted in order. Runs on the pipe's I/O thread and takes no lock. A text
// that is not JSON, an unknown type, or a request without the object it
// needs posts nothing. Never throws: a request that runs out of memory is
// logged and dropped.
#include <string>

#include "weblink/json/json_value.h"
#include "weblink/link/link_request_poster.h"

void DispatchLinkRequest(const std::string& payload, LinkRequestPoster& poster);

// The session requests, from the request's "action" object, by message.
void PostSharingRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster);
void PostAudioRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster);
void PostVideoRequest(uint32_t msg, const JsonMembers& action, LinkRequestPoster& poster);

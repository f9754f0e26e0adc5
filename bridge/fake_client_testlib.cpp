// A stand-in for VelzarHub in the host's tests: it writes the arguments it
// was started with to $VZ_FAKE_CLIENT_ARGV_FILE (one a line), connects to the
// pipe named by "/PN:", and then echoes every text frame back, except
// commands: {"type":"FAKE_SEND","kind":K,"payload":"..."} sends one frame,
// {"type":"FAKE_BURST","count":N,"size":S,"kind":K} sends N frames of about
// S bytes (text frames when K is missing or 1000, else S base64 letters),
// {"type":"FAKE_QUIT"} ends it. It ends when the pipe closes.
#include <cstdlib>
#include <fstream>
#include <string>

#include "bridge/message_type_scan.h"
#include "bridge/raw_pipe_client_testlib.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"
#include "weblink/pipe/pipe_frame.h"

int main(int argc, char** argv) {
  std::string pipe_name;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("/PN:", 0) == 0) pipe_name = arg.substr(4);
  }
  if (const char* record = std::getenv("VZ_FAKE_CLIENT_ARGV_FILE")) {
    std::ofstream out(record, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
  }
  if (pipe_name.empty()) return 2;

  RawPipeClient client;
  if (!client.Connect(pipe_name)) return 3;
  // One frame, one output and one payload buffer for the whole run: the
  // relay benchmark times the relay, not this client's heap.
  RawPipeFrame frame;
  std::string out;
  std::string payload;
  auto frame_into = [&out](uint32_t kind, std::string_view bytes) {
    out.resize(PipeFrameHeader::kWireSize);
    PipeFrameHeader{static_cast<uint32_t>(bytes.size()), kind}.WriteTo(out.data());
    out.append(bytes);
  };
  for (;;) {
    bool ended = false;
    if (!client.ReadFrame(&frame, 60000, &ended)) return ended ? 0 : 4;
    if (frame.kind != PIPE_KIND_JSON_TEXT) continue;
    // Echoed texts are only scanned; the client's own commands are parsed.
    std::string_view scanned;
    const bool sure = ScanMessageType(frame.payload, &scanned);
    if (sure && scanned.rfind("FAKE_", 0) != 0) {
      frame_into(PIPE_KIND_JSON_TEXT, frame.payload);
      if (!client.WriteAll(out, 30000)) return 5;
      continue;
    }
    const JsonDocument message = JsonParse(frame.payload);
    const std::string type = message ? JsonGetString(message->members(), "type") : std::string();
    if (type == "FAKE_QUIT") return 0;
    if (type == "FAKE_SEND") {
      frame_into(static_cast<uint32_t>(JsonGetNumber(message->members(), "kind")),
                 JsonGetString(message->members(), "payload"));
    } else if (type == "FAKE_BURST") {
      const int count = JsonGetNumber(message->members(), "count");
      const int size = JsonGetNumber(message->members(), "size");
      const int kind = JsonHasKey(message->members(), "kind") ? JsonGetNumber(message->members(), "kind") : 1000;
      for (int i = 0; i < count; ++i) {
        // Binary frames are all alike: made once, sent count times.
        if (kind == PIPE_KIND_JSON_TEXT || i == 0) {
          if (kind == PIPE_KIND_JSON_TEXT) {
            payload = "{\"type\":\"BURST\",\"n\":";
            payload += std::to_string(i);
            payload += ",\"pad\":\"";
            payload.append(size > 64 ? static_cast<size_t>(size - 64) : 0, 'p');
            payload += "\"}";
          } else {
            payload.assign(size > 0 ? static_cast<size_t>(size) : 1, 'A');
          }
          frame_into(static_cast<uint32_t>(kind), payload);
        }
        // Each frame goes out as it is made, so a long burst is never held whole.
        if (!client.WriteAll(out, 30000)) return 5;
      }
      continue;
    } else {
      frame_into(PIPE_KIND_JSON_TEXT, frame.payload);
    }
    if (!client.WriteAll(out, 30000)) return 5;
  }
}

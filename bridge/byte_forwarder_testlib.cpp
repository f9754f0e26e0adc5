// The relay benchmark's yardstick: a plain byte forwarder that stands where
// vzbridge stands, between the browser and the fake client, and only moves
// bytes. Each native message from standard input goes to the client as one
// text frame, each frame from the client to standard output as one native
// message; no parse, no log, no checks beyond the framing.
//
// byte_forwarder <client program>: makes a pipe, starts the client with
// "/PN:<pipe>", and forwards until either side ends.
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "common/native_message_framing.h"
#include "platform/fatal_signal.h"
#include "platform/local_socket.h"
#include "platform/local_socket_listener.h"
#include "platform/local_socket_poll.h"
#include "platform/pipe_name.h"
#include "platform/process.h"
#include "platform/program_launch.h"
#include "platform/standard_io.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_frame_cutter.h"

namespace {

bool WriteAll(vz::LocalSocket& socket, const char* data, size_t size) {
  while (size > 0) {
    const vz::IoResult result = socket.Write(data, size);
    if (result.status == vz::IoStatus::kOk) {
      data += result.bytes;
      size -= result.bytes;
      continue;
    }
    if (result.status != vz::IoStatus::kWouldBlock) return false;
    vz::PollItem item;
    item.fd = socket.Fd();
    item.wanted = vz::kPollWritable;
    vz::PollDescriptors(&item, 1, -1);
  }
  return true;
}

class StdinSource : public NativeMessageSource {
 public:
  bool ReadExactly(void* buffer, size_t size) override {
    char* bytes = static_cast<char*>(buffer);
    while (size > 0) {
      const long n = vz::ReadStandardInput(bytes, size);
      if (n <= 0) return false;
      bytes += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
};

// Standard input to the client: each message with a frame header in front.
void Upstream(vz::LocalSocket& socket) {
  StdinSource source;
  NativeMessageBuffer message;
  std::string frame;
  for (;;) {
    uint32_t announced = 0;
    if (ReadNativeMessage(source, &message, &announced) != NativeReadResult::kMessage) break;
    frame.resize(PipeFrameHeader::kWireSize);
    PipeFrameHeader{static_cast<uint32_t>(message.size()), PIPE_KIND_JSON_TEXT}.WriteTo(frame.data());
    frame.append(message.view());
    if (!WriteAll(socket, frame.data(), frame.size())) break;
  }
}

// The client to standard output: each frame's payload as one message.
void Downstream(vz::LocalSocket& socket) {
  PipeFrameCutter cutter;
  std::string out;
  for (;;) {
    PipeFrameView view;
    while (cutter.Next(&view) == PipeFrameCutter::Result::kFrame) {
      out.resize(sizeof(NativeMessageHeader));
      FormatNativeMessageHeader(static_cast<uint32_t>(view.payload.size()), out.data());
      out.append(view.payload);
      if (!vz::WriteStandardOutput(out.data(), out.size())) return;
    }
    char* room = cutter.PrepareAppend(0x40000);
    const vz::IoResult result = socket.Read(room, 0x40000);
    if (result.status == vz::IoStatus::kOk) {
      cutter.CommitAppend(result.bytes);
    } else if (result.status == vz::IoStatus::kWouldBlock) {
      cutter.CommitAppend(0);
      vz::PollItem item;
      item.fd = socket.Fd();
      item.wanted = vz::kPollReadable;
      vz::PollDescriptors(&item, 1, -1);
    } else {
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  vz::IgnoreBrokenPipe();
  // The same pipe room as vzbridge asks for, so the two are measured alike.
  vz::EnlargeStandardInputPipe(kNativeMessageMaxToBrowser);
  vz::EnlargeStandardOutputPipe(kNativeMessageMaxToBrowser);
  const std::string pipe_name = std::string(vz::kPipeNamePrefix) + "forwarder-" + std::to_string(vz::ProcessId());
  std::string path;
  vz::LocalSocketListener listener;
  if (!vz::PipeNameToSocketPath(std::string_view(pipe_name), &path) || !listener.Bind(path) ||
      !listener.Listen(1)) {
    return 3;
  }
  int error = 0;
  if (vz::LaunchProgram(argv[1], {argv[1], "/PN:" + pipe_name}, &error) <= 0) return 4;
  vz::LocalSocket socket;
  for (;;) {
    vz::PollItem item;
    item.fd = listener.Fd();
    item.wanted = vz::kPollReadable;
    if (vz::PollDescriptors(&item, 1, 10000) <= 0) return 5;
    if (listener.Accept(&socket).status == vz::IoStatus::kOk) break;
  }
  listener.Close();
  std::thread down([&socket] { Downstream(socket); });
  Upstream(socket);
  // The browser's side ended: so does the forwarder, and with it the pipe.
  vz::ExitProcessNow(0);
}

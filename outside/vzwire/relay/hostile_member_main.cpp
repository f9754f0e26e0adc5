// vzhostile_member: one member of a vzrelay meeting that sends, with its own
// valid member token, what costs the other members the most that a member
// may send. A measurement program (vzhostile_cost) starts it beside real
// programs and watches what it costs them; nothing here checks anything.
//
//   vzhostile_member reconnect --port P --meeting M --roster R --token T --seconds S
//       Fresh video joins, one after another as fast as the relay answers,
//       each replacing the last, for S seconds; then prints
//       "attempts N confirmed N refused N" and ends.
//   vzhostile_member blocks --port P --ds-id D --meeting M --roster R --token T
//                    [--side PIXELS] [--blocks N] [--overlap 1] [--jpeg-library FILE]
//       Joins sharing session D as its presenter, starts it and announces
//       one monitor of PIXELS x PIXELS; prints "ready". On the line "send"
//       on its input: one cache holding a single-colour JPEG of the whole
//       monitor, then one block message of N blocks that each cover the
//       monitor with that cache; prints "sent". With --overlap 1 each block
//       is a little smaller than the monitor and placed a few pixels apart
//       from the others, so that no block covers another wholly.
//   vzhostile_member strokes --port P --ds-id D --meeting M --roster R --token T
//                    --to PRESENTER [--count N] [--points N] [--weight W] [--side PIXELS]
//       Joins sharing session D as an attendee; prints "ready". On "send":
//       N annotation strokes of as many points each, wandering across a
//       monitor of PIXELS x PIXELS, to the presenter; prints "sent".
//
// Both sharing modes stay joined (a ping a second, whatever comes read and
// dropped) until the line "quit" or the end of their input.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/raw_member_testlib.h"
#include "outside/vzwire/relay/token_join_testlib.h"
#include "platform/clock.h"
#include "platform/module_loader.h"

namespace {

using vzrelay_test::RawMember;

// The sharing command that carries an annotation, and the stroke's type.
constexpr int kAnnotationCommand = 30;
constexpr int kStrokeAnnotation = 11;
constexpr uint32_t kStrokeColour = 0xFF0000FF;
// The monitor the presenter shares first (the one a page annotates).
constexpr uint64_t kFirstMonitor = 1;
// A stroke wanders in steps of up to this many pixels each way.
constexpr int kStrokeStep = 64;
// The JPEG's colour (B, G, R, X) and quality, as a presenter encodes a tile.
constexpr uint8_t kPlainColour[4] = {0x40, 0x80, 0xC0, 0};
constexpr int kJpegQuality = 80;
constexpr uint64_t kKeepAliveMs = 1000;
// Overlapping blocks: each is this much narrower and shorter than the
// monitor and offset by its own (column, row) within that margin, so no two
// share a place and none covers another.
constexpr int kOverlapColumns = 64;
constexpr int kOverlapRows = 32;

struct Options {
  std::string mode;
  uint16_t port = 0;
  std::string meeting, roster, token, ds_id, to;
  std::string jpeg_library = "jpeg9b";
  int seconds = 15;
  int side = 4096;
  int blocks = 1500;
  int count = 50;
  int points = 10000;
  int weight = 100;
  int overlap = 0;
};

bool ParseOptions(int argc, char** argv, Options* options) {
  if (argc < 2) return false;
  options->mode = argv[1];
  std::map<std::string, std::string*> texts = {{"--meeting", &options->meeting}, {"--roster", &options->roster},
                                               {"--token", &options->token},     {"--ds-id", &options->ds_id},
                                               {"--to", &options->to},           {"--jpeg-library", &options->jpeg_library}};
  std::map<std::string, int*> numbers = {{"--seconds", &options->seconds}, {"--side", &options->side},
                                         {"--blocks", &options->blocks},   {"--count", &options->count},
                                         {"--points", &options->points},   {"--weight", &options->weight},
                                         {"--overlap", &options->overlap}};
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--port") {
      options->port = static_cast<uint16_t>(std::atoi(argv[i + 1]));
    } else if (texts.count(name) != 0) {
      *texts[name] = argv[i + 1];
    } else if (numbers.count(name) != 0) {
      *numbers[name] = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "vzhostile_member: unknown option %s\n", name.c_str());
      return false;
    }
  }
  return options->port != 0 && !options->roster.empty() && !options->token.empty() && !options->meeting.empty();
}

void Say(const char* line) {
  std::printf("%s\n", line);
  std::fflush(stdout);
}

int Reconnect(const Options& options) {
  const vzrelay::JoinRequest fresh =
      vzrelay_test::Joining(vzrelay_test::kVideo, options.roster, options.token, false, options.meeting);
  int attempts = 0, confirmed = 0, refused = 0;
  std::unique_ptr<RawMember> last;
  const uint64_t began = vz::MonotonicMs();
  while (vz::MonotonicMs() - began < static_cast<uint64_t>(options.seconds) * 1000) {
    auto member = std::make_unique<RawMember>();
    ++attempts;
    if (member->Join(options.port, fresh)) {
      ++confirmed;
      last = std::move(member);  // the connection it replaced goes
    } else if (member->refused == vzrelay::kRefusedJoinsTooOften) {
      ++refused;
    }
  }
  std::printf("attempts %d confirmed %d refused %d\n", attempts, confirmed, refused);
  return 0;
}

// A sharing member kept joined: a thread sends a ping a second and reads
// and drops whatever the relay sends it; writes are one at a time.
class KeptMember {
 public:
  bool Join(const Options& options, bool presenter) {
    vzrelay::JoinRequest join = vzrelay_test::Joining(vzrelay_test::kSharing, options.roster, options.token, presenter,
                                                      options.meeting, options.ds_id);
    if (!member_.Join(options.port, join)) {
      std::fprintf(stderr, "vzhostile_member: the join was refused (%u %s)\n", member_.refused,
                   member_.refusal.c_str());
      return false;
    }
    DsData ask;
    ask.set_type(presenter ? DS_DATA_START : DS_DATA_JOIN);
    ask.set_ds_id(options.ds_id);
    DsData answer;
    if (!member_.Send(ask) || !member_.Next(&answer) || answer.type() != ask.type() ||
        answer.code() != DS_CODE_SUCCESS) {
      std::fprintf(stderr, "vzhostile_member: the sharing session did not take the %s\n",
                   presenter ? "start" : "join");
      return false;
    }
    keeper_ = std::thread([this] { Keep(); });
    return true;
  }
  ~KeptMember() {
    stop_ = true;
    if (keeper_.joinable()) keeper_.join();
  }
  bool Send(const DsData& message) {
    std::lock_guard<std::mutex> hold(write_lock_);
    return member_.Send(message);
  }

 private:
  void Keep() {
    uint32_t sequence = 0;
    uint64_t next_ping = vz::MonotonicMs();
    while (!stop_) {
      if (vz::MonotonicMs() >= next_ping) {
        next_ping += kKeepAliveMs;
        std::lock_guard<std::mutex> hold(write_lock_);
        member_.client.Send(vzrelay::FrameKind::kPing, vzrelay_test::PingPayload(++sequence));
      }
      vzrelay::Frame frame;
      member_.client.Next(&frame, nullptr, 100);
    }
  }

  RawMember member_;
  std::mutex write_lock_;
  std::atomic<bool> stop_{false};
  std::thread keeper_;
};

DsData Message(DsDataType type, const Options& options) {
  DsData message;
  message.set_type(type);
  message.set_ds_id(options.ds_id);
  return message;
}

void SetRect(DsRect* rect, int64_t x, int64_t y, uint64_t width, uint64_t height) {
  rect->set_x(x);
  rect->set_y(y);
  rect->set_width(width);
  rect->set_height(height);
}

// A single-colour JPEG of width x height pixels, made by the picture codec
// library the presenter's engine loads; empty when it cannot be.
std::string PlainJpeg(const Options& options, int width, int height) {
  using Compress = uint8_t* (*)(int, int, int, int, int, const uint8_t*, int*);
  using Free = void (*)(void*);
  const vz::ModuleLoad load = vz::LoadModule(options.jpeg_library);
  if (load.module == nullptr) {
    std::fprintf(stderr, "vzhostile_member: cannot load %s: %s\n", options.jpeg_library.c_str(),
                 load.error.reason.c_str());
    return {};
  }
  auto compress = reinterpret_cast<Compress>(vz::GetModuleSymbol(load.module, "JPEGCompressImage"));
  auto release = reinterpret_cast<Free>(vz::GetModuleSymbol(load.module, "JPEGFreeMem"));
  std::string jpeg;
  if (compress != nullptr && release != nullptr) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> picture(pixels * 4);
    for (size_t i = 0; i < pixels; ++i) std::memcpy(&picture[i * 4], kPlainColour, 4);
    int size = 0;
    uint8_t* bytes = compress(width, height, 32, kJpegQuality, width * 4, picture.data(), &size);
    if (bytes != nullptr) jpeg.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    release(bytes);
  }
  vz::FreeModule(load.module);
  return jpeg;
}

// Waits for "send" on the input; false on "quit" or its end.
bool WaitSend() {
  char line[64];
  while (std::fgets(line, sizeof(line), stdin) != nullptr) {
    if (std::strncmp(line, "send", 4) == 0) return true;
    if (std::strncmp(line, "quit", 4) == 0) return false;
  }
  return false;
}

void WaitQuit() {
  char line[64];
  while (std::fgets(line, sizeof(line), stdin) != nullptr && std::strncmp(line, "quit", 4) != 0) {
  }
}

int Blocks(const Options& options) {
  // A block's picture is the size of the block.
  const int width = options.overlap != 0 ? options.side - kOverlapColumns : options.side;
  const int height = options.overlap != 0 ? options.side - kOverlapRows : options.side;
  const std::string jpeg = PlainJpeg(options, width, height);
  if (jpeg.empty()) return 1;
  KeptMember presenter;
  if (!presenter.Join(options, true)) return 1;
  DsData info = Message(DS_DATA_CREATE_SHARINGINFO, options);
  DsSharingInfo* sharing = info.mutable_sharing_info();
  sharing->set_capture_mode(0);
  sharing->set_is_desktop_sharing(1);
  SetRect(sharing->mutable_rect(), 0, 0, static_cast<uint64_t>(options.side), static_cast<uint64_t>(options.side));
  DsMonitor* monitor = sharing->add_monitors();
  monitor->set_monitor_id(kFirstMonitor);
  monitor->set_monitor_name("monitor");
  SetRect(monitor->mutable_rect(), 0, 0, static_cast<uint64_t>(options.side), static_cast<uint64_t>(options.side));
  monitor->set_bits_pixel(32);
  monitor->set_background_color(0);
  if (!presenter.Send(info)) return 1;
  Say("ready");
  if (!WaitSend()) return 0;

  DsData cache = Message(DS_DATA_CREATE_CACHES, options);
  vzrelay_test::AddCache(&cache, 1, 1, jpeg);
  DsData blocks = Message(DS_DATA_CREATE_BLOCKS, options);
  for (int i = 0; i < options.blocks; ++i) {
    DsBlock* block = blocks.add_blocks();
    block->set_index(static_cast<uint64_t>(i));
    block->set_pdu_id(static_cast<uint64_t>(i) + 1);
    block->set_monitor_id(kFirstMonitor);
    // Each at a position of its own: the relay keeps the latest block of
    // each position for a late joiner, so it keeps them all.
    block->set_position(static_cast<uint64_t>(i));
    block->set_cache_index(1);
    block->set_cache_pdu_id(1);
    if (options.overlap != 0) {
      SetRect(block->mutable_rect(), i % kOverlapColumns, i / kOverlapColumns % kOverlapRows,
              static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    } else {
      SetRect(block->mutable_rect(), 0, 0, static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    }
  }
  if (!presenter.Send(cache) || !presenter.Send(blocks)) return 1;
  std::printf("sent cache of %zu bytes, %d blocks in %zu bytes\n", jpeg.size(), options.blocks,
              blocks.ByteSizeLong());
  std::fflush(stdout);
  WaitQuit();
  return 0;
}

int Strokes(const Options& options) {
  KeptMember attendee;
  if (!attendee.Join(options, false)) return 1;
  Say("ready");
  if (!WaitSend()) return 0;
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) & 0x7FFF);
  };
  const int last = std::max(1, options.side - 1);
  for (int stroke = 0; stroke < options.count; ++stroke) {
    DsData message = Message(DS_DATA_COMMAND, options);
    DsCommand* command = message.mutable_command();
    command->set_type(kAnnotationCommand);
    command->set_src_roster_id(options.roster);
    command->set_dst_roster_id(options.to);
    DsAnnotationEvent* event = command->mutable_annotation_event();
    event->set_type(kStrokeAnnotation);
    event->set_monitor_id(kFirstMonitor);
    event->set_color(kStrokeColour);
    event->set_weight(static_cast<uint64_t>(options.weight));
    int x = next() % last, y = next() % last;
    for (int i = 0; i < options.points; ++i) {
      x = std::clamp(x + next() % (2 * kStrokeStep + 1) - kStrokeStep, 0, last);
      y = std::clamp(y + next() % (2 * kStrokeStep + 1) - kStrokeStep, 0, last);
      DsPoint* point = event->add_points();
      point->set_x(x);
      point->set_y(y);
    }
    if (!attendee.Send(message)) return 1;
  }
  std::printf("sent %d strokes of %d points\n", options.count, options.points);
  std::fflush(stdout);
  WaitQuit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s reconnect|blocks|strokes --port P --meeting M --roster R --token T [--ds-id D]\n"
                 "          [--seconds S] [--side PIXELS] [--blocks N] [--to ROSTER] [--count N] [--points N]\n"
                 "          [--weight W] [--jpeg-library FILE]\n",
                 argv[0]);
    return 2;
  }
  if (options.mode == "reconnect") return Reconnect(options);
  if (options.mode == "blocks") return Blocks(options);
  if (options.mode == "strokes") return Strokes(options);
  std::fprintf(stderr, "vzhostile_member: unknown mode %s\n", options.mode.c_str());
  return 2;
}

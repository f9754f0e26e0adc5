#include "platform/fatal_signal_settings.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/user_folders.h"

namespace vz {
namespace {

// The first line of every settings file (see the settings store's text form).
constexpr char kHeader[] = "velzar-settings 1";
constexpr size_t kReadChunk = 4096;

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exact comparison of `size` bytes (which may hold zero bytes) with a word.
bool IsWord(const char* bytes, size_t size, const char* word) {
  for (size_t i = 0; i < size; ++i) {
    if (word[i] == '\0' || word[i] != bytes[i]) return false;
  }
  return word[size] == '\0';
}

}  // namespace

std::string UserSettingsFilePath() {
  // Taken when the crash handler is set up, in every program: a folder not
  // there yet is not made for it (a store that writes later makes it where
  // this path points); one that is there must be private to count.
  std::string folder = ConfigFolderPath();
  struct stat info {};
  if (!folder.empty() && ::stat(folder.c_str(), &info) == 0) folder = ConfigFolder();
  return folder.empty() ? std::string() : JoinPath(folder, "settings");
}

void SettingsDwordScanner::Matcher::Start(const char* text) {
  target = text;
  position = 0;
  equal = true;
}

void SettingsDwordScanner::Matcher::Add(unsigned char byte) {
  if (!equal) return;
  const auto expected = static_cast<unsigned char>(target[position]);
  if (expected == '\0' || Lower(expected) != Lower(byte)) {
    equal = false;
    return;
  }
  ++position;
}

bool SettingsDwordScanner::Matcher::Matches() const { return equal && target[position] == '\0'; }

SettingsDwordScanner::SettingsDwordScanner(const char* key, const char* name) : key_(key), name_(name) {}

void SettingsDwordScanner::Feed(const char* bytes, size_t size) {
  for (size_t i = 0; i < size && state_ != State::kMalformed; ++i) Step(bytes[i]);
  if (size > 0) {
    any_bytes_ = true;
    last_ = bytes[size - 1];
  }
}

bool SettingsDwordScanner::Finish(uint32_t* value) {
  // A file always ends with a line break; one that does not was cut short.
  if (state_ == State::kMalformed || (any_bytes_ && last_ != '\n')) return false;
  if (!found_ || !found_dword_) return false;
  *value = found_value_;
  return true;
}

bool SettingsDwordScanner::StepEscape(char c, unsigned char* byte, bool* complete) {
  const int digit = HexValue(c);
  if (digit < 0) return false;
  escaped_ = static_cast<unsigned char>(escaped_ * 16 + digit);
  *complete = --escape_ == 0;
  *byte = escaped_;
  return true;
}

void SettingsDwordScanner::Record(bool is_dword, uint32_t value) {
  // A later line of the same key and name replaces an earlier one, whatever its type.
  if (!in_key_ || !name_matches_) return;
  found_ = true;
  found_dword_ = is_dword;
  found_value_ = value;
}

void SettingsDwordScanner::Step(char c) {
  const auto byte = static_cast<unsigned char>(c);
  // A %XX escape in a key, a value name or a string value.
  if (escape_ > 0) {
    unsigned char decoded = 0;
    bool complete = false;
    if (!StepEscape(c, &decoded, &complete)) {
      state_ = State::kMalformed;
      return;
    }
    if (complete && state_ != State::kString) matcher_.Add(decoded);
    return;
  }
  switch (state_) {
    case State::kHeader:
      if (c == '\n') {
        state_ = kHeader[position_] == '\0' ? State::kLineStart : State::kMalformed;
      } else if (kHeader[position_] != '\0' && kHeader[position_] == c) {
        ++position_;
      } else {
        state_ = State::kMalformed;
      }
      return;

    case State::kLineStart:
      if (c == '\n') return;  // an empty line
      if (c == '[') {
        state_ = State::kKey;
        close_pending_ = false;
        matcher_.Start(key_);
        return;
      }
      if (!seen_key_) {
        state_ = State::kMalformed;  // a value before any key
        return;
      }
      state_ = State::kName;
      matcher_.Start(name_);
      Step(c);
      return;

    case State::kKey:
      if (c == '\n') {
        // The line must end with ']'.
        if (!close_pending_) {
          state_ = State::kMalformed;
          return;
        }
        seen_key_ = true;
        in_key_ = matcher_.Matches();
        state_ = State::kLineStart;
        return;
      }
      if (close_pending_) {
        matcher_.Add(']');  // it was part of the key after all
        close_pending_ = false;
      }
      if (c == ']') {
        close_pending_ = true;
      } else if (c == '%') {
        escape_ = 2;
        escaped_ = 0;
      } else {
        matcher_.Add(byte);
      }
      return;

    case State::kName:
      if (c == '\n') {
        state_ = State::kMalformed;  // no '='
      } else if (c == '=') {
        name_matches_ = matcher_.Matches();
        state_ = State::kType;
        position_ = 0;
      } else if (c == '%') {
        escape_ = 2;
        escaped_ = 0;
      } else {
        matcher_.Add(byte);
      }
      return;

    case State::kType:
      if (c == '\n') {
        state_ = State::kMalformed;  // no ':'
      } else if (c == ':') {
        // position_ is past the buffer when the word was too long for any type.
        const size_t size = position_;
        position_ = 0;
        number_ = 0;
        if (size <= sizeof(type_) && IsWord(type_, size, "dword")) {
          state_ = State::kDword;
        } else if (size <= sizeof(type_) && IsWord(type_, size, "string")) {
          state_ = State::kString;
        } else if (size <= sizeof(type_) && IsWord(type_, size, "binary")) {
          state_ = State::kBinary;
        } else {
          state_ = State::kMalformed;
        }
      } else if (position_ < sizeof(type_)) {
        type_[position_++] = c;
      } else {
        position_ = sizeof(type_) + 1;
      }
      return;

    case State::kDword:
      if (c == '\n') {
        if (position_ != 8) {
          state_ = State::kMalformed;
          return;
        }
        Record(true, number_);
        state_ = State::kLineStart;
        return;
      }
      if (position_ == 8 || HexValue(c) < 0) {
        state_ = State::kMalformed;
        return;
      }
      number_ = number_ * 16 + static_cast<uint32_t>(HexValue(c));
      ++position_;
      return;

    case State::kString:
      if (c == '\n') {
        Record(false, 0);
        state_ = State::kLineStart;
      } else if (c == '%') {
        escape_ = 2;
        escaped_ = 0;
      }
      return;

    case State::kBinary:
      if (c == '\n') {
        if (position_ % 2 != 0) {
          state_ = State::kMalformed;
          return;
        }
        Record(false, 0);
        state_ = State::kLineStart;
        return;
      }
      if (HexValue(c) < 0) {
        state_ = State::kMalformed;
        return;
      }
      ++position_;
      return;

    case State::kMalformed:
      return;
  }
}

bool ReadSettingsDwordSafely(const char* path, const char* key, const char* name, uint32_t* value) {
  if (path == nullptr || path[0] == '\0') return false;
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  SettingsDwordScanner scanner(key, name);
  char chunk[kReadChunk];
  bool read_whole = false;
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) {
      read_whole = true;
      break;
    }
    scanner.Feed(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return read_whole && scanner.Finish(value);
}

}  // namespace vz

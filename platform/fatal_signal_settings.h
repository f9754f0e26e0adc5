#pragma once
// Reading one stored setting from inside the fatal-signal handler, where the
// settings store cannot be used (it allocates and takes locks). The file is
// read with open/read only and scanned in place; the answer is the one the
// file store would give for the same bytes: a value counts only when the
// whole file is well formed, the last value of that key and name wins, and
// key and value names compare case-insensitively (ASCII).
#include <cstddef>
#include <cstdint>
#include <string>

namespace vz {

// The user's settings file (the file the user store keeps in ConfigFolder()),
// or "" when there is no settings folder. Not async-signal-safe: take it
// before the handler may need it. A store set for testing is not a file and
// is not seen by the reads below.
std::string UserSettingsFilePath();

// Scans settings text fed in pieces of any size. No allocation.
class SettingsDwordScanner {
 public:
  // `key` and `name` must outlive the scanner.
  SettingsDwordScanner(const char* key, const char* name);
  void Feed(const char* bytes, size_t size);
  // After the last piece: true with the value when the text is well formed
  // and its last value of the key and name is a 32-bit value.
  bool Finish(uint32_t* value);

 private:
  // Case-insensitive comparison of an unescaped text with a target, a byte at a time.
  struct Matcher {
    const char* target = nullptr;
    size_t position = 0;
    bool equal = true;
    void Start(const char* text);
    void Add(unsigned char byte);
    bool Matches() const;
  };
  enum class State { kHeader, kLineStart, kKey, kName, kType, kDword, kString, kBinary, kMalformed };

  void Step(char c);
  // Collects a %XX escape; false when the character cannot continue it.
  bool StepEscape(char c, unsigned char* byte, bool* complete);
  void Record(bool is_dword, uint32_t value);

  const char* key_;
  const char* name_;
  State state_ = State::kHeader;
  size_t position_ = 0;  // in the header, the type word or the digits
  char type_[8] = {};
  int escape_ = 0;       // hex digits of a %XX escape still to come
  unsigned char escaped_ = 0;
  bool close_pending_ = false;  // a ']' that ends the key line if the line ends next
  bool seen_key_ = false;
  bool in_key_ = false;         // the current key line names the key
  bool name_matches_ = false;
  uint32_t number_ = 0;
  bool any_bytes_ = false;
  char last_ = '\0';
  bool found_ = false;
  bool found_dword_ = false;
  uint32_t found_value_ = 0;
  Matcher matcher_;
};

// Reads `key`/`name` from the settings file at `path` with async-signal-safe
// calls only (open, read, close). False when the file is missing, unreadable
// or malformed, when the value is missing, or when it is not a 32-bit value.
bool ReadSettingsDwordSafely(const char* path, const char* key, const char* name, uint32_t* value);

}  // namespace vz

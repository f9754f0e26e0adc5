#pragma once
// An engine library's two exports for tests, as plain functions over static
// state (an export is a function pointer): ordinal 1 hands out `engine` and
// records its arguments, ordinal 2 records what it released. One set of
// state per (engine, sink) pair; Reset() between tests.
#include <cstdint>
#include <map>

template <typename Engine, typename Sink>
class FakeEngineLibrary {
 public:
  static inline Engine* engine = nullptr;  // what ordinal 1 returns
  static inline Sink* last_sink = nullptr;
  static inline int32_t last_mode = 0;
  static inline int create_calls = 0;
  static inline int release_calls = 0;
  static inline Engine* last_released = nullptr;

  static void Reset() {
    engine = nullptr;
    last_sink = nullptr;
    last_mode = 0;
    create_calls = 0;
    release_calls = 0;
    last_released = nullptr;
  }

  static Engine* Create(Sink* sink) {
    ++create_calls;
    last_sink = sink;
    return engine;
  }
  // The sharing engine's factory takes a mode too.
  static Engine* CreateWithMode(Sink* sink, int32_t mode) {
    last_mode = mode;
    return Create(sink);
  }
  static int32_t Release(Engine* released) {
    ++release_calls;
    last_released = released;
    return 1;
  }

  static std::map<int, void*> Exports() {
    return {{1, reinterpret_cast<void*>(&Create)}, {2, reinterpret_cast<void*>(&Release)}};
  }
  static std::map<int, void*> ExportsWithMode() {
    return {{1, reinterpret_cast<void*>(&CreateWithMode)}, {2, reinterpret_cast<void*>(&Release)}};
  }
};

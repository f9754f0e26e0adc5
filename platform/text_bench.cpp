// UTF-16 <-> UTF-8 conversion of wide log lines and record texts, beside
// the C library's iconv converting the same bytes in the same run.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>

#include "platform/text.h"

namespace {

// A log line's mix: mostly ASCII, some Latin, CJK and one pair.
std::u16string MixedText(size_t units) {
  const std::u16string piece = u"roster participant-\u00e9\u00fc [line# 1234] : >\u4f1a\u8bae \U0001F600 status=2 ";
  std::u16string text;
  while (text.size() + piece.size() <= units) text += piece;
  return text;
}

void BM_Utf16ToUtf8(benchmark::State& state) {
  const std::u16string text = MixedText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string out = vz::Utf16ToUtf8(text);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_Utf16ToUtf8)->Arg(128)->Arg(4096);

void BM_IconvUtf16ToUtf8(benchmark::State& state) {
  const std::u16string text = MixedText(static_cast<size_t>(state.range(0)));
  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv has no UTF-16LE");
    return;
  }
  std::string out;
  for (auto _ : state) {
    // The same contract as ours: a string sized for the worst case, cut to fit.
    out.resize(text.size() * 3);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t in_left = text.size() * sizeof(char16_t);
    char* to = out.data();
    size_t to_left = out.size();
    iconv(cd, &in, &in_left, &to, &to_left);
    out.resize(out.size() - to_left);
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_IconvUtf16ToUtf8)->Arg(128)->Arg(4096);

void BM_Utf8ToUtf16(benchmark::State& state) {
  const std::string text = vz::Utf16ToUtf8(MixedText(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    std::u16string out = vz::Utf8ToUtf16(text);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToUtf16)->Arg(128)->Arg(4096);

void BM_IconvUtf8ToUtf16(benchmark::State& state) {
  const std::string text = vz::Utf16ToUtf8(MixedText(static_cast<size_t>(state.range(0))));
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv has no UTF-16LE");
    return;
  }
  std::u16string out;
  for (auto _ : state) {
    out.resize(text.size());
    char* in = const_cast<char*>(text.data());
    size_t in_left = text.size();
    char* to = reinterpret_cast<char*>(out.data());
    size_t to_left = out.size() * sizeof(char16_t);
    iconv(cd, &in, &in_left, &to, &to_left);
    out.resize(out.size() - to_left / sizeof(char16_t));
    benchmark::DoNotOptimize(out.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_IconvUtf8ToUtf16)->Arg(128)->Arg(4096);

}  // namespace

BENCHMARK_MAIN();

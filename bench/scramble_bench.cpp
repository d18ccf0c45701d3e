// Throughput of the scramble engine on prose (classic and careful, and the
// count of draws in both modes; careful mode also straight on UTF-8), on one
// huge word, and on punctuation-heavy and combining-mark text.
#include <benchmark/benchmark.h>

#include "cli/utf8.hpp"
#include "engine/internal/careful_utf8.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "german_text.hpp"

namespace {

void run(benchmark::State& state, const std::u16string& text, const textquirl::ScrambleOptions& options = {}) {
  textquirl::DefaultRandom random;
  for (auto _ : state) {
    std::u16string out = textquirl::scramble(text, random, options);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()) * 2);
}

void BM_GermanProse(benchmark::State& state) {
  const std::u16string text = textquirl::bench::german_text(static_cast<std::size_t>(state.range(0)) << 20);
  run(state, text);
}
BENCHMARK(BM_GermanProse)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// The same prose in careful mode, and the count of its draws that the
// filter's second thread needs ahead of each line.
void BM_GermanProseCareful(benchmark::State& state) {
  const std::u16string text = textquirl::bench::german_text(static_cast<std::size_t>(state.range(0)) << 20);
  textquirl::ScrambleOptions careful;
  careful.mode = textquirl::Mode::careful;
  run(state, text, careful);
}
BENCHMARK(BM_GermanProseCareful)->Arg(10)->Unit(benchmark::kMillisecond);

// 2 MB of UTF-8 prose with LF line breaks in careful mode, with the count of
// its draws that the filter needs ahead: range(0) 0 goes the UTF-16 road
// (decoded with CR LF, counted, scrambled, encoded back), 1 straight on
// UTF-8. range(1) 1 gives the prose „“ quotes and a price in euros now and
// then.
void BM_CarefulUtf8(benchmark::State& state) {
  std::u16string prose = textquirl::bench::german_text(std::size_t{2} << 20, u"\n");
  if (state.range(1) == 1) {
    std::u16string quoted;
    bool open = true;
    std::size_t spaces = 0;
    for (const char16_t c : prose) {
      if (c == u'"') {
        quoted += open ? u'\u201E' : u'\u201C';
        open = !open;
      } else if (c == u' ' && ++spaces % 16 == 0) {
        quoted += u" 20 \u20AC ";
      } else {
        quoted += c;
      }
    }
    prose = quoted;
  }
  std::string text;
  textquirl::cli::append_utf8_lf(prose, text);
  textquirl::ScrambleOptions careful;
  careful.mode = textquirl::Mode::careful;
  textquirl::DefaultRandom random;
  std::string out(text.size(), '\0');
  for (auto _ : state) {
    if (state.range(0) == 0) {
      std::u16string units;
      textquirl::cli::append_utf16_crlf(text, false, units);
      benchmark::DoNotOptimize(textquirl::count_draws(units, careful));
      out.clear();
      textquirl::cli::append_utf8_lf(textquirl::scramble(units, random, careful), out);
    } else {
      benchmark::DoNotOptimize(textquirl::internal::careful_count_draws_utf8(text, careful));
      textquirl::internal::careful_scramble_utf8(text, random, careful, out.data());
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CarefulUtf8)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_CountDraws(benchmark::State& state) {
  const std::u16string text = textquirl::bench::german_text(std::size_t{10} << 20);
  textquirl::ScrambleOptions options;
  options.mode = static_cast<textquirl::Mode>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(textquirl::count_draws(text, options));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_CountDraws)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same prose with every option but the mode away from its default.
void BM_GermanProseWithOptions(benchmark::State& state) {
  const std::u16string text = textquirl::bench::german_text(static_cast<std::size_t>(state.range(0)) << 20);
  textquirl::ScrambleOptions options;
  options.min_length = 5;
  options.rate = 0.5;
  options.always_change = true;
  options.keep = {u"Buchstaben", u"Wort", u"Text"};
  textquirl::DefaultRandom random;
  for (auto _ : state) {
    std::u16string out = textquirl::scramble(text, random, options);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_GermanProseWithOptions)->Arg(10)->Unit(benchmark::kMillisecond);

// The same prose line by line, each line a record with a generator of its own.
void BM_GermanProsePerLine(benchmark::State& state) {
  const std::u16string text = textquirl::bench::german_text(static_cast<std::size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    std::u16string out;
    std::uint64_t number = 1;
    for (std::size_t begin = 0; begin < text.size(); ++number) {
      std::size_t end = text.find(u"\r\n", begin);
      if (end == std::u16string::npos) end = text.size();
      out += textquirl::scramble_record(std::u16string_view(text).substr(begin, end - begin), 5489,
                                        textquirl::RecordKey::number(number));
      out += u"\r\n";
      begin = end + 2;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()) * 2);
}
BENCHMARK(BM_GermanProsePerLine)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_OneLongWord(benchmark::State& state) {
  std::u16string text;
  const std::size_t units = static_cast<std::size_t>(state.range(0)) << 20;
  for (std::size_t i = 0; i < units; ++i) text += static_cast<char16_t>(u'a' + (i * 7) % 26);
  run(state, text);
}
BENCHMARK(BM_OneLongWord)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OneLongWordOfCombiningMarks(benchmark::State& state) {
  std::u16string text;
  while (text.size() < (1u << 20)) text += u"e\u0301";
  run(state, text);
}
BENCHMARK(BM_OneLongWordOfCombiningMarks)->Unit(benchmark::kMillisecond);

void BM_MarksOnly(benchmark::State& state) {
  std::u16string text;
  while (text.size() < (1u << 20)) text += u".,!?\"'()[]-:= \r\n";
  run(state, text);
}
BENCHMARK(BM_MarksOnly)->Unit(benchmark::kMillisecond);

// One 10 MB word (UTF-8 size, as make-sample-text writes it) of `unit`.
void BM_OneWordOf10MB(benchmark::State& state, std::u16string_view unit, std::size_t utf8_bytes) {
  std::u16string text;
  for (std::size_t i = 0; i < (std::size_t{10} << 20) / utf8_bytes; ++i) text += unit;
  run(state, text);
}
BENCHMARK_CAPTURE(BM_OneWordOf10MB, letters, u"a", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OneWordOf10MB, nul, std::u16string_view(u"\0", 1), 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OneWordOf10MB, accents, u"a\u0301", 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OneWordOf10MB, thumbs, u"\U0001F44D\U0001F3FD", 8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The options and the generator per record: against the slow version on
// random texts, their fixed results, their errors.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/error.hpp"
#include "engine/internal/word_rule.hpp"
#include "engine/options.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"
#include "test_support.hpp"
#include "tests/support/engine_reference.hpp"
#include "tests/support/options_reference.hpp"

namespace textquirl {
namespace {

using testing::CountingSource;
using testing::random_text;

// Random options; the words to keep are cut from the text's own words, so
// that they are found.
ScrambleOptions random_options(std::mt19937& gen, std::u16string_view text) {
  ScrambleOptions options;
  options.min_length = 4 + gen() % 4;
  constexpr double kRates[] = {0.0, 0.3, 0.7, 1.0, 1.0};
  options.rate = kRates[gen() % 5];
  options.always_change = gen() % 2 == 0;
  for (unsigned k = gen() % 3; k > 0 && !text.empty(); --k) {
    const std::size_t start = gen() % text.size();
    std::size_t end = text.find(u' ', start);
    if (end == std::u16string_view::npos) end = text.size();
    options.keep.emplace_back(text.substr(start, end - start));
  }
  if (gen() % 4 == 0) options.keep.emplace_back(u"aber");
  return options;
}

TEST(ScrambleOptions, AgreeWithTheSlowVersionOnRandomTextsAndOptions) {
  std::mt19937 gen(22);
  for (int round = 0; round < 5000; ++round) {
    const std::u16string text = random_text(gen, 1 + round % 40);
    const ScrambleOptions options = random_options(gen, text);
    const std::uint32_t seed = gen();

    CountingSource slow_random(seed);
    const std::u16string expected = reference::scramble_with_options(text, slow_random, options);
    CountingSource fast_random(seed);
    ASSERT_EQ(scramble(text, fast_random, options), expected) << "round " << round;
    ASSERT_EQ(fast_random.draws, slow_random.draws) << "round " << round;
    ASSERT_EQ(count_draws(text, options), fast_random.draws) << "round " << round;

    // In pieces, cut anywhere, and through the programs' own generator.
    DefaultRandom pieces_random(seed);
    Scrambler scrambler(pieces_random, options);
    std::u16string out;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t length = std::min<std::size_t>(gen() % 5, text.size() - at);
      scrambler.push(std::u16string_view(text).substr(at, length), out);
      at += length;
    }
    scrambler.push_last(u"", out);
    ASSERT_EQ(out, expected) << "round " << round;
    ASSERT_EQ(pieces_random.drawn(), slow_random.draws);

    // With the default options the slow version is the classic composition.
    if (round % 10 == 0) {
      CountingSource classic(seed), plain(seed);
      ASSERT_EQ(reference::scramble_with_options(text, plain, {}), reference::compose_scramble(text, classic));
    }
  }
}

TEST(ScrambleOptions, ValidateNamesTheFieldOutOfRange) {
  const auto refused = [](ScrambleOptions options) -> std::string {
    try {
      validate(options);
    } catch (const InvalidOption& error) {
      // The scramble and the count refuse them too.
      DefaultRandom random;
      EXPECT_THROW(scramble(u"Hallo", random, options), InvalidOption);
      EXPECT_THROW(count_draws(u"Hallo", options), InvalidOption);
      return error.option();
    }
    return "";
  };
  ScrambleOptions o;
  EXPECT_EQ(refused(o), "");
  o.mode = Mode::careful;
  EXPECT_EQ(refused(o), "");
  o.mode = static_cast<Mode>(2);
  EXPECT_EQ(refused(o), "mode");
  o = {};
  o.min_length = 3;
  EXPECT_EQ(refused(o), "min_length");
  for (const double rate : {-0.01, 1.01, std::nan("")}) {
    o = {};
    o.rate = rate;
    EXPECT_EQ(refused(o), "rate") << rate;
  }
  o = {};
  o.rate = 0.0;
  o.min_length = 100;
  EXPECT_EQ(refused(o), "");
}

TEST(RecordKey, TellsNumbersFromTextsAndRefusesWhatIsNotUtf8) {
  EXPECT_NE(RecordKey::number(7).hash(), RecordKey::text("7").hash());
  EXPECT_NE(RecordKey::number(7).hash(), RecordKey::number(8).hash());
  EXPECT_EQ(RecordKey::text("Zeile \xC3\xA4").hash(), RecordKey::text("Zeile \xC3\xA4").hash());
  EXPECT_NO_THROW(RecordKey::text(""));
  EXPECT_NO_THROW(RecordKey::text("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  for (const char* bad : {"\xED\xA0\x80", "\xED\xBF\xBF", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xF4\x90\x80\x80",
                          "\xFF", "a\x80"}) {
    EXPECT_THROW(RecordKey::text(bad), std::invalid_argument) << bad;
  }
}

// The seeding function, written out step by step as record.hpp states it.
TEST(RecordRandom, FollowsTheDocumentedSeedingAndGenerator) {
  std::uint64_t h = 0xCBF29CE484222325u;
  for (const unsigned byte : {1u, unsigned{'7'}}) h = (h ^ byte) * 0x100000001B3u;
  EXPECT_EQ(RecordKey::text("7").hash(), h);

  std::uint64_t state = internal::record_mix(h ^ 5489u);
  RecordRandom random(5489, RecordKey::text("7"));
  for (int i = 0; i < 100; ++i) {
    state += 0x9E3779B97F4A7C15u;
    const auto x = static_cast<std::uint32_t>(internal::record_mix(state) >> 32);
    ASSERT_EQ(random.next(), static_cast<float>(x >> 8) * 0x1p-24f);
  }
  // next_index is pick_index(next(), n).
  RecordRandom a(1, RecordKey::number(2)), b(1, RecordKey::number(2));
  for (std::size_t n = 1; n < 5000; n += 7) ASSERT_EQ(a.next_index(n), pick_index(b.next(), n));
}

// Fixed results: any later version, however fast, gives these bytes.
TEST(ScrambleOptions, KeepTheirFixedResults) {
  const std::u16string sentence = u"Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich.";
  struct Vector {
    std::size_t min_length;
    double rate;
    bool always_change;
    bool keep;
    std::u16string plain, keyed;  // DefaultRandom(5489); RecordRandom(5489, RecordKey::number(1))
  };
  const Vector vectors[] = {
      {4, 1.0, false, false, u"Zlwöf Bfoepxäkmr jgaen Vtokir qeur über den geßorn Sletyr Deich.",
       u"Zwölf Bpexoäkmfr jgean Vitokr quer üebr den gerßon Sltyer Deich."},
      {4, 1.0, false, true, u"Zlwöf Bfoepxäkmr jgaen Viktor quer üebr den geßorn Syetlr Dceih.",
       u"Zwölf Bpexoäkmfr jgean Viktor quer über den geroßn Stleyr Dceih."},
      {4, 1.0, true, false, u"Zlwöf Bfoepxäkmr jgaen Vtokir qeur üebr den geßorn Sletyr Diceh.",
       u"Zölwf Bpexoäkmfr jgean Vitokr qeur üebr den gerßon Sltyer Diceh."},
      {4, 1.0, true, true, u"Zlwöf Bfoepxäkmr jgaen Viktor quer üebr den geßorn Syetlr Dceih.",
       u"Zölwf Bpexoäkmfr jgean Viktor quer üebr den geroßn Stleyr Dceih."},
      {4, 0.5, false, false, u"Zwölf Befxmkopär jgean Viktor quer über den großen Seltyr Deich.",
       u"Zöwlf Boxkämpfer jaegn Viotkr quer über den großen Sylter Diech."},
      {4, 0.5, false, true, u"Zwölf Befxmkopär jgean Viktor quer über den gßeorn Sletyr Deich.",
       u"Zöwlf Boxkämpfer jaegn Viktor quer über den großen Sltyer Diceh."},
      {4, 0.5, true, false, u"Zwölf Befxmkopär jgean Viktor quer üebr den großen Seltyr Deich.",
       u"Zöwlf Boxkämpfer jaegn Viotkr quer üebr den goßern Sylter Diech."},
      {4, 0.5, true, true, u"Zwölf Befxmkopär jgean Viktor quer über den gßeorn Sletyr Diceh.",
       u"Zöwlf Boxkämpfer jaegn Viktor quer üebr den großen Sltyer Diceh."},
      {6, 1.0, false, false, u"Zwölf Bfoepxmäkr jagen Vtikor quer über den goreßn Setlyr Deich.",
       u"Zwölf Bomxfekäpr jagen Vikotr quer über den gßoren Seyltr Deich."},
      {6, 1.0, false, true, u"Zwölf Bfoepxmäkr jagen Viktor quer über den gßroen Slyetr Deich.",
       u"Zwölf Bomxfekäpr jagen Viktor quer über den groeßn Stlyer Deich."},
      {6, 1.0, true, false, u"Zwölf Bfoepxmäkr jagen Vtikor quer über den goreßn Setlyr Deich.",
       u"Zwölf Bomxfekäpr jagen Vikotr quer über den gßoren Seyltr Deich."},
      {6, 1.0, true, true, u"Zwölf Bfoepxmäkr jagen Viktor quer über den gßroen Slyetr Deich.",
       u"Zwölf Bomxfekäpr jagen Viktor quer über den groeßn Stlyer Deich."},
      {6, 0.5, false, false, u"Zwölf Boxkämpfer jagen Vitkor quer über den großen Sylter Deich.",
       u"Zwölf Bäopexkmfr jagen Vtkoir quer über den gßeron Sylter Deich."},
      {6, 0.5, false, true, u"Zwölf Boxkämpfer jagen Viktor quer über den grßoen Sylter Deich.",
       u"Zwölf Bäopexkmfr jagen Viktor quer über den gßoern Steylr Deich."},
      {6, 0.5, true, false, u"Zwölf Boxkämpfer jagen Vitkor quer über den großen Sylter Deich.",
       u"Zwölf Bäopexkmfr jagen Vtkoir quer über den gßeron Sylter Deich."},
      {6, 0.5, true, true, u"Zwölf Boxkämpfer jagen Viktor quer über den grßoen Sylter Deich.",
       u"Zwölf Bäopexkmfr jagen Viktor quer über den gßoern Steylr Deich."},
  };
  std::size_t i = 0;
  for (const std::size_t min_length : {4, 6}) {
    for (const double rate : {1.0, 0.5}) {
      for (const bool always_change : {false, true}) {
        for (const bool keep : {false, true}) {
          ScrambleOptions options;
          options.min_length = min_length;
          options.rate = rate;
          options.always_change = always_change;
          if (keep) options.keep = {u"Viktor", u"quer"};
          DefaultRandom random;
          const std::u16string plain = scramble(sentence, random, options);
          const std::u16string keyed = scramble_record(sentence, 5489, RecordKey::number(1), options);
          const Vector& v = vectors[i++];
          EXPECT_EQ(v.min_length, min_length);
          EXPECT_EQ(v.rate, rate);
          EXPECT_EQ(v.always_change, always_change);
          EXPECT_EQ(v.keep, keep);
          EXPECT_EQ(plain, v.plain) << "vector " << i;
          EXPECT_EQ(keyed, v.keyed) << "vector " << i;
        }
      }
    }
  }
  EXPECT_EQ(scramble_record(sentence, 7, RecordKey::text("Zeile 1")),
            u"Zwlöf Bäofekxmpr jagen Vtoikr qeur üebr den gßreon Syetlr Decih.");
}

TEST(HeaderExamples, OptionsAndRecords) {
  EXPECT_STREQ(InvalidOption("rate").option(), "rate");

  ScrambleOptions six;
  six.min_length = 6;
  six.keep = {u"Textquirl"};
  EXPECT_NO_THROW(validate(six));
  DefaultRandom six_random;
  const std::u16string six_out = scramble(u"Hallo Textquirl Wortsalat", six_random, six);
  EXPECT_EQ(six_out.substr(0, 16), u"Hallo Textquirl ");
  EXPECT_NE(six_out.substr(16), u"Wortsalat");
  six.min_length = 3;
  EXPECT_THROW(validate(six), InvalidOption);

  ScrambleOptions keep;
  keep.keep = {u"Hallo"};
  CountingSource counted;
  EXPECT_EQ(scramble(u"Hallo Hallo!", counted, keep), u"Hallo Hallo!");
  EXPECT_EQ(counted.draws, 0u);

  ScrambleOptions o;
  o.min_length = 5;
  o.rate = 0.5;
  const internal::WordRule rule(o);
  std::vector<std::uint32_t> bounds;
  EXPECT_EQ(rule.draws(u"Hund", true, bounds), 0u);
  EXPECT_EQ(rule.draws(u"Hallo", true, bounds), 4u);
  std::u16string hallo = u"Hallo";
  internal::rotate_inner(hallo.data(), hallo.size(), {});
  EXPECT_EQ(hallo, u"Hllao");

  EXPECT_EQ(internal::record_mix(0), 0u);
  RecordRandom random(5489, RecordKey::number(1));
  EXPECT_EQ(scramble_record(u"Hallo Welt", 5489, RecordKey::number(1)), scramble(u"Hallo Welt", random));
}

}  // namespace
}  // namespace textquirl

#include "engine/letter_shuffle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <random>

#include "engine/internal/shuffle.hpp"
#include "test_support.hpp"
#include "tests/support/engine_reference.hpp"

namespace textquirl {
namespace {

using testing::CountingSource;
using testing::ZeroSource;

StringArray letters(std::u16string_view text) {
  StringArray arr(1);
  for (const char16_t c : text) arr.emplace_back(1, c);
  return arr;
}

TEST(pick_index, CoversOneToN) {
  EXPECT_EQ(pick_index(0.0f, 1), 1u);
  EXPECT_EQ(pick_index(0.0f, 5), 1u);
  EXPECT_EQ(pick_index(0.5f, 5), 3u);
  EXPECT_EQ(pick_index(0.99999994f, 5), 5u);  // largest float below 1
  // The product is formed in double precision: (1 - 2^-24) * 2^30 + 1.
  EXPECT_EQ(pick_index(0.99999994f, 1u << 30), std::size_t{(1u << 30) - 63});
  // A faulty source cannot push the index out of range.
  EXPECT_EQ(pick_index(1.0f, 5), 5u);
  EXPECT_EQ(pick_index(-0.5f, 5), 1u);
  EXPECT_EQ(pick_index(std::numeric_limits<float>::quiet_NaN(), 5), 1u);
}

TEST(Mt19937, MatchesTheStandardEngine) {
  for (const std::uint32_t seed : {5489u, 0u, 1u, 4294967295u}) {
    Mt19937 ours(seed);
    std::mt19937 standard(seed);
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(ours(), standard()) << seed << " " << i;
  }
}

TEST(DefaultRandom, IsPortableAndFixedAtStart) {
  // mt19937's first output from seed 5489 is 3499211612.
  DefaultRandom a;
  EXPECT_EQ(a.next(), static_cast<float>(3499211612u >> 8) * 0x1p-24f);

  DefaultRandom unseeded, explicit_default(DefaultRandom::kDefaultSeed), other(1);
  int differs = 0;
  for (int i = 0; i < 1000; ++i) {
    const float x = unseeded.next();
    ASSERT_EQ(x, explicit_default.next());
    ASSERT_GE(x, 0.0f);
    ASSERT_LT(x, 1.0f);
    differs += x != other.next();
  }
  EXPECT_GT(differs, 990);
}

TEST(DefaultRandom, IndexShortcutMatchesTheFloatingPointFormula) {
  DefaultRandom shortcut(7), plain(7);
  std::mt19937 gen(8);
  for (int i = 0; i < 200000; ++i) {
    // Small counts, counts near the powers of two, and huge ones.
    const std::size_t n = i % 3 == 0 ? 1 + gen() % 20 : (i % 3 == 1 ? (std::size_t{1} << (gen() % 31)) + gen() % 3 : gen());
    ASSERT_EQ(shortcut.next_index(n), pick_index(plain.next(), n)) << n;
  }
}

TEST(verwurschteln, ConsumesItsArgument) {
  ZeroSource zero;
  StringArray arr = letters(u"abc");
  EXPECT_EQ(verwurschteln(arr, zero), u"abc");
  EXPECT_EQ(arr, StringArray{u""});
  EXPECT_EQ(zero.draws, 3u);

  // Nothing to shuffle: nothing drawn.
  ZeroSource none;
  EXPECT_EQ(verwurschteln(arr, none), u"");
  EXPECT_EQ(none.draws, 0u);
  EXPECT_EQ(arr, StringArray{u""});
}

TEST(verwurschteln, IsAPermutationOfTheElements) {
  CountingSource random;
  // Repeated letters, as in the inside of "Kaffee".
  StringArray arr = letters(u"affe");
  std::u16string out = verwurschteln(arr, random);
  std::u16string sorted = out;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, u"aeff");
  // Elements are moved whole.
  arr = {u"", u"e\u0301", u"\U0001F600", u"x"};
  out = verwurschteln(arr, random);
  EXPECT_EQ(out.size(), 5u);
  EXPECT_NE(out.find(u"e\u0301"), std::u16string::npos);
  EXPECT_NE(out.find(u"\U0001F600"), std::u16string::npos);
}

TEST(verwurschteln, TwoElementsComeOutInEitherOrderEquallyOften) {
  CountingSource random;
  int ab = 0;
  constexpr int kRounds = 20000;
  for (int i = 0; i < kRounds; ++i) {
    StringArray arr = letters(u"ab");
    ab += verwurschteln(arr, random) == u"ab";
  }
  EXPECT_NEAR(ab, kRounds / 2, kRounds / 50);  // about 7 standard deviations
}

TEST(verwurschteln, DrawsLikeTheTextbookVersion) {
  // Short and long arrays (the long ones take the tree-based path), each
  // from the same start: same results, same number of draws.
  std::mt19937 gen(4);
  for (const std::size_t n : {1u, 2u, 3u, 10u, 95u, 96u, 97u, 200u, 1000u, 4099u}) {
    for (int round = 0; round < 5; ++round) {
      StringArray arr(1);
      for (std::size_t i = 0; i < n; ++i) arr.push_back(std::u16string(1 + gen() % 2, static_cast<char16_t>(u'A' + gen() % 50)));
      StringArray copy = arr;
      CountingSource fast_random(gen()), slow_random = fast_random;
      ASSERT_EQ(verwurschteln(arr, fast_random), reference::verwurschteln(copy, slow_random)) << n;
      ASSERT_EQ(fast_random.draws, n);
      ASSERT_EQ(slow_random.draws, n);
    }
  }
}

TEST(lower_lanes_above, LowersTheLanesAboveTheKeyAndGivesTheChild) {
  // The example of its contract, for both widths, with counts past the
  // signed range of the lanes too.
  const auto check = [](auto lane, std::uint32_t large) {
    using Lane = decltype(lane);
    constexpr unsigned kFan = internal::kFan<Lane>;
    std::array<Lane, kFan> node{}, expected{};
    const std::array<std::uint32_t, 3> front{0, 3, 5};
    for (unsigned j = 0; j < kFan; ++j) {
      const std::uint32_t count = j < 3 ? front[j] : 5;
      node[j] = static_cast<Lane>(count ^ internal::kLaneBias<Lane>);
      expected[j] = static_cast<Lane>((count - (count > 3)) ^ internal::kLaneBias<Lane>);
    }
    EXPECT_EQ(internal::lower_lanes_above(node.data(), Lane{3}), 1u);
    EXPECT_EQ(node, expected);
    for (unsigned j = 0; j < kFan; ++j) node[j] = static_cast<Lane>((j < 2 ? j * large : 2 * large) ^ internal::kLaneBias<Lane>);
    EXPECT_EQ(internal::lower_lanes_above(node.data(), static_cast<Lane>(large)), 1u);  // a lane of 2 * large lies above
    EXPECT_EQ(internal::lower_lanes_above(node.data(), static_cast<Lane>(2 * large - 1)), kFan - 1);
  };
  check(std::uint16_t{}, 40000u / 2 + 7000u);
  check(std::uint32_t{}, 0xC0000000u / 2 + 1000u);
}

TEST(RemainingIndices, TakesTheKthRemainingLikeAPlainList) {
  // Sizes across the levels of the rank tree over the words: one word, one
  // node, two and three levels.
  std::mt19937 gen(5);
  for (const std::size_t n : {65u, 4097u, 16385u, 70001u}) {
    internal::RemainingIndices<> fast(n);
    std::vector<std::size_t> plain(n);
    for (std::size_t i = 0; i < n; ++i) plain[i] = i;
    for (std::size_t m = n; m > 0; --m) {
      const std::size_t k = 1 + gen() % m;
      ASSERT_EQ(fast.take(k), plain[k - 1]) << n;
      plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(k - 1));
    }
  }
  // A long one, alternately from both ends.
  const std::size_t n = 3000001;
  internal::RemainingIndices<> fast(n);
  for (std::size_t low = 0, high = n, m = n; m > 0; --m) {
    ASSERT_EQ(fast.take(m % 2 ? 1 : m), m % 2 ? low++ : --high);
  }
}

TEST(shuffle_values, LongRunsDrawLikeRemainingIndices) {
  // Around the threshold of the blockwise pass and across several blocks,
  // through the generator's shortcut and through the plain interface, with
  // values of 32 bits and of 16 (which the blockwise pass keeps narrower).
  constexpr std::size_t kLong = internal::kLongShuffle;
  const auto check = [&](auto value) {
    using Value = decltype(value(std::size_t{0}));
    for (const std::size_t n : {kLong - 1, kLong, kLong + 1, 2 * kLong - 1, 3 * kLong + 7}) {
      for (const std::uint32_t seed : {1u, 2u}) {
        DefaultRandom fast_random(seed), slow_random(seed);
        CountingSource virtual_random(seed);
        std::vector<Value> fast, through_virtual, wide_blocks, slow;
        internal::shuffle_values(n, fast_random, value, [&](Value v) { fast.push_back(v); });
        internal::shuffle_values(n, virtual_random, value, [&](Value v) { through_virtual.push_back(v); });
        // The blockwise pass as it runs past 256 blocks, on fewer.
        DefaultRandom wide_random(seed);
        const auto keep = [&](Value v) { wide_blocks.push_back(v); };
        internal::shuffle_in_blocks_noting<std::uint16_t>(n, wide_random, value, keep);
        internal::RemainingIndices<> remaining(n);
        for (std::size_t m = n; m > 0; --m) slow.push_back(value(remaining.take(slow_random.next_index(m))));
        ASSERT_EQ(fast, slow) << n;
        ASSERT_EQ(through_virtual, slow) << n;
        ASSERT_EQ(wide_blocks, slow) << n;
        ASSERT_EQ(virtual_random.draws, n);
      }
    }
  };
  check([](std::size_t i) { return static_cast<std::uint32_t>(i * 2654435761u); });
  check([](std::size_t i) { return static_cast<char16_t>(i * 2654435761u >> 16); });
}

TEST(shuffle_indices, RefusesWordsTooLongToIndex) {
  if constexpr (sizeof(std::size_t) > 4) {
    ZeroSource zero;
    EXPECT_THROW(internal::shuffle_indices(std::size_t{1} << 32, zero, [](std::size_t) {}), std::length_error);
    EXPECT_EQ(zero.draws, 0u);
  }
}

}  // namespace
}  // namespace textquirl

// The command line of textquirl-cli: options and input names.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/random_source.hpp"

namespace textquirl::cli {

struct Options {
  bool help = false;
  bool version = false;
  std::uint32_t seed = DefaultRandom::kDefaultSeed;
  std::vector<std::string> inputs;  // in order; "-" is standard input; empty: none given
};

// A command line that cannot be understood; `what()` is the German message
// without the program-name prefix.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A name or value as the messages show it, in German quotation marks.
//   quoted("a.txt") == "„a.txt“"
std::string quoted(std::string_view text);

// Parses `args` (without the program name). Options may stand anywhere before
// "--"; after it everything is an input name; "-" alone is an input. The
// first --help (-h) or --version (-V) ends parsing. The last --seed wins. Throws
// UsageError for an unknown option or a bad seed.
//   const std::vector<std::string_view> args = {"--seed=7", "a.txt", "--", "-x"};
//   parse_options(args).seed == 7;  parse_options(args).inputs == std::vector<std::string>{"a.txt", "-x"}
Options parse_options(std::span<const std::string_view> args);

}  // namespace textquirl::cli

// The command line of textquirl-cli: options and input names.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/options.hpp"
#include "engine/random_source.hpp"

namespace textquirl::cli {

struct Options {
  bool help = false;
  bool version = false;
  std::uint32_t seed = DefaultRandom::kDefaultSeed;
  std::vector<std::string> inputs;  // in order; "-" is standard input; empty: none given
  std::string output;               // -o FILE: the file the result replaces; empty: standard output
  // --mode, --min-length, --rate, --always-change and the words of --keep;
  // the words of the --keep-file files are added when they are read.
  ScrambleOptions scramble;
  std::vector<std::string> keep_files;  // --keep-file, in order
  bool per_line = false;                // --per-line: each line a record of its own
  std::uint64_t first_line = 1;         // --first-line: the number of the first line
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
// first --help (-h) or --version (-V) ends parsing. An option's value follows
// as the next argument or after "=". The last --seed, --output (-o), --mode,
// --min-length, --rate and --first-line win; --keep and --keep-file add up.
// Throws UsageError for an unknown option, a missing or bad value (naming the
// option and what it allows), or --first-line without --per-line.
//   const std::vector<std::string_view> args = {"--seed=7", "a.txt", "--", "-x"};
//   parse_options(args).seed == 7;  parse_options(args).inputs == std::vector<std::string>{"a.txt", "-x"}
//   parse_options(std::vector<std::string_view>{"-o", "a.txt", "a.txt"}).output == "a.txt"
//   const std::vector<std::string_view> rate = {"--rate", "0,5", "--keep=Hund,Katze"};
//   parse_options(rate).scramble.rate == 0.5;
//   parse_options(rate).scramble.keep == std::vector<std::u16string>{u"Hund", u"Katze"}
Options parse_options(std::span<const std::string_view> args);

}  // namespace textquirl::cli

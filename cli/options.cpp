#include "cli/options.hpp"

#include <charconv>
#include <limits>
#include <optional>

#include "cli/utf8.hpp"

namespace textquirl::cli {

std::string quoted(std::string_view text) { return "„" + std::string(text) + "“"; }

namespace {

bool all_digits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::uint32_t parse_seed(std::string_view text) {
  if (text.empty()) throw UsageError("Bei --seed fehlt der Startwert.");
  if (text.starts_with('-') && all_digits(text.substr(1))) {
    if (text.find_first_not_of("-0") == std::string_view::npos) return 0;  // "-0"
    throw UsageError("Startwert für --seed zu klein: " + quoted(text) +
                     " (erlaubt sind ganze Zahlen von 0 bis 4294967295).");
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      throw UsageError("Ungültiger Startwert für --seed: " + quoted(text) +
                       " ist keine Zahl (erlaubt sind ganze Zahlen von 0 bis 4294967295).");
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      throw UsageError("Startwert für --seed zu groß: " + quoted(text) +
                       " (höchstens 4294967295).");
    }
  }
  return static_cast<std::uint32_t>(value);
}

// An unsigned integer from `low` to UINT64_MAX for `option`; `allowed` says
// in words what is allowed.
std::uint64_t parse_count(std::string_view text, std::string_view option, std::uint64_t low, std::string_view allowed) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (all_digits(text) && error == std::errc::result_out_of_range) {
    throw UsageError("Wert für " + std::string(option) + " zu groß: " + quoted(text) + " (" + std::string(allowed) + ").");
  }
  if (!all_digits(text) || error != std::errc() || end != text.data() + text.size()) {
    throw UsageError("Ungültiger Wert für " + std::string(option) + ": " + quoted(text) + " ist keine ganze Zahl (" +
                     std::string(allowed) + ").");
  }
  if (value < low) {
    throw UsageError("Wert für " + std::string(option) + " zu klein: " + quoted(text) + " (" + std::string(allowed) + ").");
  }
  return value;
}

// A share from 0 to 1, with a decimal point or comma: "1", "0.25", "0,5", ",5".
double parse_rate(std::string_view text) {
  constexpr std::string_view kAllowed = " (erlaubt sind Zahlen von 0 bis 1, mit Punkt oder Komma, etwa 0,5).";
  std::string number(text);
  const std::size_t comma = number.find(',');
  if (comma != std::string::npos) number[comma] = '.';
  const std::size_t point = number.find('.');
  const std::string_view whole = std::string_view(number).substr(0, point);
  const std::string_view fraction =
      point == std::string::npos ? std::string_view() : std::string_view(number).substr(point + 1);
  const bool digits_only = (whole.empty() || all_digits(whole)) && (fraction.empty() || all_digits(fraction));
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (!digits_only || whole.size() + fraction.size() == 0 || error != std::errc() ||
      end != number.data() + number.size()) {
    throw UsageError("Ungültiger Wert für --rate: " + quoted(text) + " ist keine Zahl" + std::string(kAllowed));
  }
  if (value > 1.0) throw UsageError("Wert für --rate zu groß: " + quoted(text) + std::string(kAllowed));
  return value;
}

Mode parse_mode(std::string_view text) {
  if (text == "classic") return Mode::classic;
  if (text == "careful") return Mode::careful;
  throw UsageError("Unbekannter Modus für --mode: " + quoted(text) + " (erlaubt sind classic und careful).");
}

// The words of --keep, separated by commas; empty ones are skipped.
void add_keep_words(std::string_view list, std::vector<std::u16string>& keep) {
  try {
    check_utf8(list);
  } catch (const InvalidUtf8& error) {
    throw UsageError("Ungültiges UTF-8 im Wert von --keep bei Byte " + std::to_string(error.offset()) + ": " +
                     error.what() + ".");
  }
  for (std::size_t begin = 0; begin <= list.size();) {
    std::size_t end = list.find(',', begin);
    if (end == std::string_view::npos) end = list.size();
    if (end > begin) {
      std::u16string word;
      append_utf16_crlf(list.substr(begin, end - begin), false, word);
      keep.push_back(std::move(word));
    }
    begin = end + 1;
  }
}

// The value of option `name` at args[i], given as "name value" or
// "name=value", with i moved past it; nothing when args[i] is another option.
std::optional<std::string_view> value_of(std::string_view name, std::span<const std::string_view> args, std::size_t& i) {
  const std::string_view arg = args[i];
  if (arg == name) {
    if (i + 1 == args.size()) throw UsageError("Bei " + std::string(name) + " fehlt der Wert.");
    return args[++i];
  }
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') return arg.substr(name.size() + 1);
  return std::nullopt;
}

}  // namespace

Options parse_options(std::span<const std::string_view> args) {
  Options options;
  bool options_ended = false, first_line_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (options_ended || arg == "-" || !arg.starts_with('-')) {
      options.inputs.emplace_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    } else if (arg == "--version" || arg == "-V") {
      options.version = true;
      return options;
    } else if (arg == "--seed") {
      if (i + 1 == args.size()) throw UsageError("Bei --seed fehlt der Startwert.");
      options.seed = parse_seed(args[++i]);
    } else if (arg.starts_with("--seed=")) {
      options.seed = parse_seed(arg.substr(7));
    } else if (arg == "-o" || arg == "--output" || arg.starts_with("--output=")) {
      const std::string_view name = arg.starts_with("--output=") ? arg.substr(9)
                                    : i + 1 < args.size()        ? args[++i]
                                                                 : std::string_view();
      if (name.empty()) throw UsageError("Bei " + std::string(arg.substr(0, arg.find('='))) + " fehlt der Dateiname.");
      options.output = name;
    } else if (const auto mode = value_of("--mode", args, i)) {
      options.scramble.mode = parse_mode(*mode);
    } else if (const auto length = value_of("--min-length", args, i)) {
      options.scramble.min_length = static_cast<std::size_t>(
          parse_count(*length, "--min-length", 4, "erlaubt sind ganze Zahlen ab 4"));
    } else if (const auto rate = value_of("--rate", args, i)) {
      options.scramble.rate = parse_rate(*rate);
    } else if (arg == "--always-change") {
      options.scramble.always_change = true;
    } else if (const auto words = value_of("--keep", args, i)) {
      add_keep_words(*words, options.scramble.keep);
    } else if (const auto file = value_of("--keep-file", args, i)) {
      options.keep_files.emplace_back(*file);
    } else if (arg == "--per-line") {
      options.per_line = true;
    } else if (const auto line = value_of("--first-line", args, i)) {
      options.first_line = parse_count(*line, "--first-line", 1, "erlaubt sind ganze Zahlen von 1 bis 18446744073709551615");
      first_line_given = true;
    } else {
      throw UsageError("Unbekannte Option " + quoted(arg) +
                       ". Hilfe gibt „textquirl-cli --help“.");
    }
  }
  if (first_line_given && !options.per_line) {
    throw UsageError("--first-line gilt nur zusammen mit --per-line.");
  }
  return options;
}

}  // namespace textquirl::cli

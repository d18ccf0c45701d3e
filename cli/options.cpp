#include "cli/options.hpp"

#include <limits>

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

}  // namespace

Options parse_options(std::span<const std::string_view> args) {
  Options options;
  bool options_ended = false;
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
    } else {
      throw UsageError("Unbekannte Option " + quoted(arg) +
                       ". Hilfe gibt „textquirl-cli --help“.");
    }
  }
  return options;
}

}  // namespace textquirl::cli

#include "engine/options.hpp"

#include "engine/error.hpp"

namespace textquirl {

const char* invalid_option(const ScrambleOptions& options) noexcept {
  if (options.mode != Mode::classic && options.mode != Mode::careful) return "mode";
  if (options.min_length < 4) return "min_length";
  if (!(options.rate >= 0.0 && options.rate <= 1.0)) return "rate";  // also NaN
  return nullptr;
}

void validate(const ScrambleOptions& options) {
  if (const char* option = invalid_option(options)) internal::fail_option(option);
}

bool is_classic_default(const ScrambleOptions& options) {
  return options.mode == Mode::classic && options.min_length == 4 && options.rate >= 1.0 && !options.always_change &&
         options.keep.empty();
}

}  // namespace textquirl

#include "engine/options.hpp"

#include "engine/error.hpp"

namespace textquirl {

void validate(const ScrambleOptions& options) {
  if (options.mode != Mode::classic && options.mode != Mode::careful) internal::fail_option("mode");
  if (options.min_length < 4) internal::fail_option("min_length");
  if (!(options.rate >= 0.0 && options.rate <= 1.0)) internal::fail_option("rate");  // also NaN
}

bool is_classic_default(const ScrambleOptions& options) {
  return options.mode == Mode::classic && options.min_length == 4 && options.rate >= 1.0 && !options.always_change &&
         options.keep.empty();
}

}  // namespace textquirl

// What stands behind a Scrambler: one implementation per mode of the
// scramble. Internal to the engine.
#pragma once

#include <string>
#include <string_view>

#include "engine/scramble.hpp"

namespace textquirl {

class Scrambler::Impl {
 public:
  virtual ~Impl() = default;
  // Scrambles the next piece; `last` ends the text.
  virtual void push(std::u16string_view piece, bool last, std::u16string& out) = 0;
};

}  // namespace textquirl

// The scramble's output under construction. Internal to the engine.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/internal/units.hpp"

namespace textquirl::internal {

// Appends to the caller's text through a cursor: room is reserved once for
// what is expected, grown (rarely: texts with many marks touching words)
// when a token might not fit, and the text is cut to what was written when
// the Output goes out of scope.
//   std::u16string text = u"ab";
//   { Output out(text, 4); out.reserve_more(1); out.put(u'c'); }  // text == u"abc"
class Output {
 public:
  Output(std::u16string& text, std::size_t expected) : text_(text), length_(text.size()) {
    text_.resize(length_ + expected);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { text_.resize(length_); }

  // Makes room for `units` more units at the cursor.
  void reserve_more(std::size_t units) {
    if (units > text_.size() - length_) text_.resize(std::max(text_.size() + text_.size() / 2, length_ + units));
  }
  // Callers reserve first.
  void put(char16_t c) { text_[length_++] = c; }
  // Puts `c` when `really`, without a branch.
  void put_if(char16_t c, bool really) {
    text_[length_] = c;
    length_ += really;
  }
  void put(std::u16string_view s) {
    char16_t* to = text_.data() + length_;
    for (const char16_t c : s) *to++ = c;  // mostly short: cheaper than a memmove call
    length_ += s.size();
  }
  // The cursor, for callers that write many units in a row (reserved
  // first) and then move it with advance_to.
  char16_t* cursor() { return text_.data() + length_; }
  void advance_to(const char16_t* to) { length_ = static_cast<std::size_t>(to - text_.data()); }
  bool ends_with_line_break() const {
    return internal::ends_with_line_break(std::u16string_view(text_.data(), length_));
  }

 private:
  std::u16string& text_;
  std::size_t length_;
};

}  // namespace textquirl::internal

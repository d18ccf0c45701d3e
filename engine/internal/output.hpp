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
  Output(std::u16string& text, std::size_t expected) : text_(text) {
    const std::size_t length = text_.size();
    text_.resize(length + expected);
    point_at(length);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { text_.resize(length()); }

  // Makes room for `units` more units at the cursor.
  void reserve_more(std::size_t units) {
    if (units > static_cast<std::size_t>(end_ - cursor_)) grow(units);
  }
  // Callers reserve first.
  void put(char16_t c) { *cursor_++ = c; }
  // Puts `c` when `really`, without a branch.
  void put_if(char16_t c, bool really) {
    *cursor_ = c;
    cursor_ += really;
  }
  void put(std::u16string_view s) {
    char16_t* to = cursor_;
    for (const char16_t c : s) *to++ = c;  // mostly short: cheaper than a memmove call
    cursor_ = to;
  }
  // The cursor, for callers that write many units in a row (reserved
  // first) and then move it with advance_to.
  char16_t* cursor() { return cursor_; }
  void advance_to(char16_t* to) { cursor_ = to; }
  bool ends_with_line_break() const {
    return internal::ends_with_line_break(std::u16string_view(text_.data(), length()));
  }

 private:
  // The units written: the cursor and the end of the room are kept as
  // pointers, so that writing and reserving touch no string.
  std::size_t length() const { return static_cast<std::size_t>(cursor_ - text_.data()); }
  void point_at(std::size_t length) {
    cursor_ = text_.data() + length;
    end_ = text_.data() + text_.size();
  }
  void grow(std::size_t units) {
    const std::size_t written = length();
    text_.resize(std::max(text_.size() + text_.size() / 2, written + units));
    point_at(written);
  }

  std::u16string& text_;
  char16_t* cursor_;
  char16_t* end_;
};

}  // namespace textquirl::internal

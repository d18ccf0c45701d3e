#include "cli/line_breaks.hpp"

#include <cstddef>

namespace textquirl::cli {
namespace {

bool is_lone_lf(std::u16string_view text, std::size_t i) {
  return i == 0 || text[i - 1] != u'\r';
}

}  // namespace

std::u16string to_crlf(std::u16string_view text) {
  std::size_t lone_lfs = 0;
  for (std::size_t i = text.find(u'\n'); i != text.npos; i = text.find(u'\n', i + 1)) {
    lone_lfs += is_lone_lf(text, i);
  }
  std::u16string out;
  out.reserve(text.size() + lone_lfs);
  std::size_t copied = 0;
  for (std::size_t i = text.find(u'\n'); i != text.npos; i = text.find(u'\n', i + 1)) {
    if (!is_lone_lf(text, i)) continue;
    out.append(text, copied, i - copied);
    out.push_back(u'\r');
    copied = i;  // the LF itself goes out with the next run
  }
  out.append(text, copied);
  return out;
}

std::u16string crlf_to_lf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for (std::size_t i = text.find(u'\r'); i != text.npos; i = text.find(u'\r', i + 1)) {
    if (i + 1 == text.size() || text[i + 1] != u'\n') continue;
    out.append(text, copied, i - copied);
    copied = i + 1;  // drop the CR, keep the LF
  }
  out.append(text, copied);
  return out;
}

}  // namespace textquirl::cli

// The filter's reading, UTF-8 decoding and line-break handling on arbitrary
// bytes given as standard input. Either the run fails cleanly (exit status 1,
// a German message about invalid UTF-8, nothing on standard output), or it
// succeeds with valid UTF-8 that has as many line breaks as the input, no
// CR LF, and the same characters once spaces and line breaks are removed.
// The same input cut into small pieces (4 to 32 bytes), on one thread or two,
// gives the same run.
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/filter.hpp"
#include "fuzz_common.hpp"
#include "tests/cli/memory_io.hpp"

namespace {

using textquirl::fuzz::check;

using textquirl::cli::testing::MemoryIo;

bool valid_utf8(std::string_view s) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, s.data(), static_cast<int32_t>(s.size()), &status);
  return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

std::string sorted_without_breaks(std::string_view s) {
  std::string out;
  for (const char c : s) {
    if (c != ' ' && c != '\r' && c != '\n') out += c;
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  MemoryIo io(input);
  const int status = textquirl::cli::run_filter({}, io);
  MemoryIo small_pieces(input);
  check(textquirl::cli::detail::run_filter({}, small_pieces, 4 + size % 29, 1 + size % 2) == status,
        "same status in pieces");
  check(small_pieces.out == io.out && small_pieces.err == io.err, "same output in pieces");
  if (status != 0) {
    check(status == 1, "exit status 1");
    check(io.out.empty(), "nothing on standard output");
    check(io.err.starts_with("textquirl-cli: Ungültiges UTF-8 in der Standardeingabe bei Byte "), "message");
    check(!valid_utf8(input), "rejects only invalid input");
    return 0;
  }
  check(io.err.empty(), "no message on success");
  check(valid_utf8(input), "accepts only valid input");
  check(valid_utf8(io.out), "valid output");
  check(io.out.find("\r\n") == std::string::npos, "no CR LF in the output");
  check(std::count(io.out.begin(), io.out.end(), '\n') == std::count(input.begin(), input.end(), '\n'),
        "every line break kept");
  std::string_view body = input;
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  check(sorted_without_breaks(body) == sorted_without_breaks(io.out), "same characters");
  return 0;
}

// The real Io of textquirl-cli: file descriptors 0, 1 and 2 and files opened
// by name, read and written with large read()/write() calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/filter.hpp"

namespace textquirl::cli {

class PosixIo final : public Io {
 public:
  // Inputs are bounded by max_input_bytes(`memory_bytes`); by default the
  // machine's physical memory, 0 for no bound. Reading stops with a "zu groß"
  // error at the bound, for files and for endless streams alike.
  PosixIo();
  explicit PosixIo(std::uint64_t memory_bytes) : memory_bytes_(memory_bytes) {}

  // Reads standard input into an anonymous mapping that mremap() grows in
  // place, so that the input costs about its own size in memory.
  IoStatus map_stdin(InputBytes& contents) override;
  // Regular files of kMapAtLeast bytes or more are mapped (read-only,
  // private, all pages at once), everything else is read.
  IoStatus map_file(const std::string& path, InputBytes& contents) override;
  // A reader that has gone away (EPIPE) ends the process by SIGPIPE, quietly,
  // as it ends other filters; any other failure comes back as the status.
  IoStatus write_stdout(std::string_view data) override;
  void write_stderr(std::string_view message) override;

 private:
  std::uint64_t memory_bytes_;
};

// Below this size reading a file costs less than mapping it.
inline constexpr std::uint64_t kMapAtLeast = std::uint64_t{1} << 20;

// The German reason for the system error `errnum`; the rarer ones are named
// by their symbol and number.
//   system_error_text(ENOENT) == "Datei oder Verzeichnis nicht gefunden"
//   system_error_text(EDOM) == "Systemfehler EDOM (Nummer 33)"
std::string system_error_text(int errnum);

// The most bytes one input may have on a machine with `memory_bytes` of
// physical memory (0: unknown, no bound): the filter needs several bytes of
// memory per input byte (UTF-8, UTF-16 copies, the scrambled result).
//   max_input_bytes(12'000'000) == 1'000'000
std::uint64_t max_input_bytes(std::uint64_t memory_bytes);

}  // namespace textquirl::cli

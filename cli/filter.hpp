// The textquirl-cli filter: reads the inputs, scrambles them as one text and
// writes the result. `Io` is its only contact with the outside world, so tests
// can run it without processes or files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace textquirl::cli {

// Outcome of an Io call: an empty `error` is success, otherwise it holds the
// German reason, e.g. "Datei oder Verzeichnis nicht gefunden".
struct IoStatus {
  std::string error;
  bool ok() const { return error.empty(); }
};

// The bytes of one input, either read into `read` or mapped into memory
// (`mapped` owns the mapping and releases it).
struct InputBytes {
  std::string read;
  std::shared_ptr<const char> mapped;
  std::size_t mapped_size = 0;

  std::string_view bytes() const {
    return mapped ? std::string_view(mapped.get(), mapped_size) : std::string_view(read);
  }
};

class Io {
 public:
  virtual ~Io() = default;
  // Replaces `contents` with everything left on standard input, a stream
  // read to its end (in memory that grows without copying where the system
  // has it).
  virtual IoStatus map_stdin(InputBytes& contents) = 0;
  // Replaces `contents` with the whole file at `path`, mapped into memory
  // where that is cheaper than reading it.
  virtual IoStatus map_file(const std::string& path, InputBytes& contents) = 0;
  // Writes all of `data` to standard output, or to the output file while
  // one is open.
  virtual IoStatus write_stdout(std::string_view data) = 0;
  // Opens the output file for `path`: from now on write_stdout writes to a
  // new temporary file beside `path` (beside the file a symbolic link
  // `path` leads to) instead of standard output. `path` must not be a
  // directory or other special file.
  virtual IoStatus open_output_file(const std::string& path) = 0;
  // The `path` of the open output file; empty while output goes to standard output.
  virtual const std::string& output_file() const = 0;
  // Puts the temporary file in the place of the file `path` names, whole,
  // with the permission bits of the file it replaces; a symbolic link stays
  // and leads to the new file. On failure the temporary file is still there
  // for discard_output_file.
  virtual IoStatus commit_output_file() = 0;
  // Removes the temporary file, if any, and leaves `path` as it was;
  // output goes to standard output again.
  virtual void discard_output_file() = 0;
  // Writes a message to standard error; failures there cannot be reported.
  virtual void write_stderr(std::string_view message) = 0;
};

// Runs the program for `args` (without the program name) and returns its exit
// status: 0 on success, 1 on any error, after a German message on standard
// error that starts with "textquirl-cli: ". Standard output gets either the
// complete result or, on an input error, nothing at all; with --output FILE,
// FILE is replaced by the complete result or, on any error, left as it
// was (the result goes to a temporary file first). Every input is read
// and checked first, then the text is decoded, scrambled, encoded and written
// in pieces of about kPieceBytes input bytes.
int run_filter(std::span<const std::string_view> args, Io& io);

inline constexpr std::size_t kPieceBytes = std::size_t{1} << 16;

// A number as the messages write it, with a point every three digits.
//   with_separators(1234567) == "1.234.567"
std::string with_separators(std::uint64_t value);

// The German reason an Io gives for an input beyond what fits in `memory`
// bytes; `size` is the input's size as the message shows it.
//   too_large("Die Datei", "5.000", 12000) ==
//     "Die Datei ist mit 5.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners (12.000 Bytes)"
std::string too_large(std::string_view input, std::string_view size, std::uint64_t memory);

namespace detail {
// The same with pieces of at most `piece_bytes` input bytes (at least 4),
// for tests and fuzzing, which cut small texts into many pieces; and on
// `workers` threads (0: two for texts of a megabyte or more, else one).
int run_filter(std::span<const std::string_view> args, Io& io, std::size_t piece_bytes, unsigned workers = 0);
}  // namespace detail

}  // namespace textquirl::cli

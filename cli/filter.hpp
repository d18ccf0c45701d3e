// The textquirl-cli filter: reads the inputs, scrambles them as one text and
// writes the result. `Io` is its only contact with the outside world, so tests
// can run it without processes or files.
#pragma once

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

class Io {
 public:
  virtual ~Io() = default;
  // Replaces `contents` with everything left on standard input.
  virtual IoStatus read_stdin(std::string& contents) = 0;
  // Replaces `contents` with the whole file at `path`.
  virtual IoStatus read_file(const std::string& path, std::string& contents) = 0;
  // Writes all of `data` to standard output.
  virtual IoStatus write_stdout(std::string_view data) = 0;
  // Writes a message to standard error; failures there cannot be reported.
  virtual void write_stderr(std::string_view message) = 0;
};

// Runs the program for `args` (without the program name) and returns its exit
// status: 0 on success, 1 on any error, after a German message on standard
// error that starts with "textquirl-cli: ". Standard output gets either the
// complete result or, on an input error, nothing at all.
int run_filter(std::span<const std::string_view> args, Io& io);

}  // namespace textquirl::cli

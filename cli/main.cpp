// textquirl-cli: scrambles UTF-8 text from files or standard input.
#include <csignal>
#include <new>
#include <string_view>
#include <vector>

#include "cli/filter.hpp"
#include "cli/posix_io.hpp"

int main(int argc, char** argv) {
  // A closed pipe must show up as a write error, not end the process silently.
  std::signal(SIGPIPE, SIG_IGN);
  textquirl::cli::PosixIo io;
  try {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return textquirl::cli::run_filter(args, io);
  } catch (const std::bad_alloc&) {
    io.write_stderr("textquirl-cli: Nicht genug Arbeitsspeicher.\n");
    return 1;
  }
}

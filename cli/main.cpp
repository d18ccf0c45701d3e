// textquirl-cli: scrambles UTF-8 text from files or standard input.
#include <csignal>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <new>
#include <string_view>
#include <vector>

#include "cli/filter.hpp"
#include "cli/posix_io.hpp"

int main(int argc, char** argv) {
  // Every write sees a closed pipe as EPIPE; PosixIo::write_stdout then ends
  // the process by SIGPIPE itself, whatever disposition the caller handed down.
  std::signal(SIGPIPE, SIG_IGN);
#if defined(__GLIBC__)
  // The filter frees each big buffer just before it allocates the next one of
  // about the same size. Kept on the heap instead of being handed back to the
  // system, the freed pages are reused without new page faults.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's maximum
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
  textquirl::cli::PosixIo io;
  try {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return textquirl::cli::run_filter(args, io);
  } catch (const std::bad_alloc&) {
    io.write_stderr("textquirl-cli: Nicht genug Arbeitsspeicher.\n");
    return 1;
  }
}

// textquirl-cli for Windows: scrambles UTF-8 text from files or standard
// input. The arguments come as UTF-16 (wmain), so that file names keep every
// character whatever the code page.
#include <windows.h>

#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "cli/filter.hpp"
#include "cli/windows_io.hpp"

int wmain(int argc, wchar_t** argv) {
  textquirl::cli::WindowsIo io;
  try {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(textquirl::cli::to_utf8(argv[i]));
    const std::vector<std::string_view> views(args.begin(), args.end());
    return textquirl::cli::run_filter(views, io);
  } catch (const std::bad_alloc&) {
    io.write_stderr("textquirl-cli: Nicht genug Arbeitsspeicher.\n");
    return 1;
  }
}

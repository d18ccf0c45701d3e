// The real Io of textquirl-cli on Windows: the standard handles and files
// opened by their UTF-8 names (as wide names), read and written with
// ReadFile/WriteFile. Bytes stay bytes (UTF-8, no text mode); a console is
// written to with WriteConsoleW and read with ReadConsoleW, so that German
// messages and text show right whatever code page the console has.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/filter.hpp"

namespace textquirl::cli {

class WindowsIo final : public Io {
 public:
  WindowsIo(const WindowsIo&) = delete;
  WindowsIo& operator=(const WindowsIo&) = delete;
  ~WindowsIo() override { discard_output_file(); }

  // Inputs are bounded by what fits in `memory_bytes` (a twelfth of it, as on
  // Linux); by default the machine's physical memory, 0 for no bound.
  WindowsIo();
  explicit WindowsIo(std::uint64_t memory_bytes) : memory_bytes_(memory_bytes) {}

  // Reads standard input to its end; a console ends its input with Ctrl+Z.
  IoStatus map_stdin(InputBytes& contents) override;
  // Reads the whole file (into memory reserved for its size at once).
  IoStatus map_file(const std::string& path, InputBytes& contents) override;
  // A reader that has gone away (a closed pipe) ends the process quietly
  // with status 1; any other failure comes back as the status.
  IoStatus write_stdout(std::string_view data) override;
  // The output file of --output: a new temporary file beside `path`, which
  // commit_output_file puts in its place with ReplaceFileW (the replaced
  // file's attributes and access rights stay) or, where there was none,
  // MoveFileExW. A directory or a device ("NUL", "CON") is refused.
  IoStatus open_output_file(const std::string& path) override;
  const std::string& output_file() const override { return output_path_; }
  IoStatus commit_output_file() override;
  void discard_output_file() override;
  void write_stderr(std::string_view message) override;

 private:
  std::uint64_t memory_bytes_;
  void* output_ = nullptr;  // HANDLE of the temporary file while one is open
  std::string output_path_;
  std::wstring temporary_;
  std::string stdout_pending_;  // an incomplete UTF-8 sequence for a console
  std::string stderr_pending_;
};

// The German reason for the Windows error `code` (GetLastError()); the rarer
// ones by their number.
//   windows_error_text(2) == "Datei oder Verzeichnis nicht gefunden"  // ERROR_FILE_NOT_FOUND
//   windows_error_text(1236) == "Systemfehler Nummer 1236 (Windows)"
std::string windows_error_text(unsigned long code);

// `text` (UTF-8) as UTF-16 for the wide Windows functions; an invalid
// sequence becomes U+FFFD.
//   to_wide("Grüße") == L"Grüße"
std::wstring to_wide(std::string_view text);

// `text` (UTF-16 from the wide Windows functions) as UTF-8; a lone
// surrogate becomes U+FFFD.
//   to_utf8(L"Grüße") == "Grüße"
std::string to_utf8(std::wstring_view text);

}  // namespace textquirl::cli

#include "cli/windows_io.hpp"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <limits>
#include <utility>

namespace textquirl::cli {
namespace {

// Peak memory of the filter per input byte, with room to spare (as on Linux).
constexpr std::uint64_t kMemoryPerInputByte = 12;
constexpr DWORD kReadBlock = DWORD{1} << 16;
constexpr DWORD kMaxCallBytes = DWORD{1} << 30;
// WriteConsoleW wants modest pieces.
constexpr std::size_t kConsoleChars = std::size_t{1} << 14;

std::uint64_t physical_memory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

// Reads `handle` to its end into `contents`, reserving a disk file's size up
// front. A pipe whose writer has gone is at its end. Stops with an error once
// the input is known to exceed what fits in `memory` bytes.
IoStatus read_all(HANDLE handle, std::string& contents, std::uint64_t memory) {
  contents.clear();
  LARGE_INTEGER size{};
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size) && size.QuadPart > 0) {
    const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
    if (memory != 0 && bytes > memory / kMemoryPerInputByte) {
      return {too_large("Die Datei", with_separators(bytes), memory)};
    }
    contents.reserve(static_cast<std::size_t>(bytes) + 1);  // + 1: room to see the end
  }
  const std::size_t limit = memory == 0 ? std::numeric_limits<std::size_t>::max() - 1
                                        : static_cast<std::size_t>(memory / kMemoryPerInputByte);
  std::size_t step = kReadBlock;
  for (;;) {
    const std::size_t have = contents.size();
    if (have > limit) {
      contents = std::string();
      return {too_large("Die Eingabe", "mehr als " + with_separators(limit), memory)};
    }
    const std::size_t room =
        contents.capacity() > have ? contents.capacity() - have : std::max<std::size_t>(kReadBlock, have);
    const auto want = static_cast<DWORD>(std::min({room, step, std::size_t{kMaxCallBytes}, limit + 1 - have}));
    contents.resize(have + want);
    DWORD got = 0;
    if (!ReadFile(handle, contents.data() + have, want, &got, nullptr)) {
      const DWORD error = GetLastError();
      contents.resize(have);
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {};
      return {windows_error_text(error)};
    }
    contents.resize(have + got);
    if (got == 0) return {};
    step = std::max<std::size_t>(kReadBlock, 2 * std::size_t{got});
  }
}

// Reads a console until Ctrl+Z (or its end) as UTF-8.
IoStatus read_console(HANDLE handle, std::string& contents, std::uint64_t memory) {
  contents.clear();
  const std::size_t limit = memory == 0 ? std::numeric_limits<std::size_t>::max() - 1
                                        : static_cast<std::size_t>(memory / kMemoryPerInputByte);
  std::wstring text;
  wchar_t buffer[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadConsoleW(handle, buffer, 4096, &got, nullptr)) return {windows_error_text(GetLastError())};
    const std::wstring_view chunk(buffer, got);
    const std::size_t end = chunk.find(L'\x1A');
    text.append(chunk.substr(0, end));
    if (got == 0 || end != std::wstring_view::npos) break;
    if (text.size() > limit) return {too_large("Die Eingabe", "mehr als " + with_separators(limit), memory)};
  }
  contents = to_utf8(text);
  return {};
}

// Of `pending`, the bytes up to the last complete UTF-8 sequence; the rest
// (at most three bytes of a sequence cut short) stays in `pending`.
std::string complete_utf8(std::string& pending) {
  std::size_t cut = pending.size();
  for (std::size_t back = 1; back <= 3 && back <= pending.size(); ++back) {
    const auto byte = static_cast<unsigned char>(pending[pending.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (length > back) cut = pending.size() - back;
    break;
  }
  std::string whole = pending.substr(0, cut);
  pending.erase(0, cut);
  return whole;
}

// Writes UTF-8 to a console as UTF-16, holding back a sequence cut short at
// the end until the next call.
bool write_console(HANDLE handle, std::string& pending, std::string_view data) {
  pending.append(data);
  const std::wstring wide = to_wide(complete_utf8(pending));
  std::wstring_view rest(wide);
  while (!rest.empty()) {
    std::size_t count = std::min(rest.size(), kConsoleChars);
    if (count < rest.size() && rest[count - 1] >= 0xD800 && rest[count - 1] < 0xDC00) --count;  // keep pairs whole
    DWORD put = 0;
    if (!WriteConsoleW(handle, rest.data(), static_cast<DWORD>(count), &put, nullptr) || put == 0) return false;
    rest.remove_prefix(put);
  }
  return true;
}

// Writes all of `data` to `handle`; false with GetLastError() set on failure.
bool write_bytes(HANDLE handle, std::string_view data) {
  while (!data.empty()) {
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(data.size(), kMaxCallBytes));
    if (!WriteFile(handle, data.data(), want, &put, nullptr)) return false;
    data.remove_prefix(put);
  }
  return true;
}

// Closes a handle when it goes out of scope.
class HandleCloser {
 public:
  explicit HandleCloser(HANDLE handle) : handle_(handle) {}
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;
  ~HandleCloser() { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

}  // namespace

std::string windows_error_text(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return "Datei oder Verzeichnis nicht gefunden";
    case ERROR_ACCESS_DENIED: return "Keine Berechtigung";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return "Datei wird gerade von einem anderen Programm benutzt";
    case ERROR_INVALID_NAME: return "Ungültiger Dateiname";
    case ERROR_FILENAME_EXCED_RANGE: return "Dateiname zu lang";
    case ERROR_TOO_MANY_OPEN_FILES: return "Zu viele offene Dateien";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "Nicht genug Arbeitsspeicher";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "Kein Speicherplatz mehr auf dem Gerät";
    case ERROR_WRITE_PROTECT: return "Das Medium ist schreibgeschützt";
    case ERROR_NOT_READY: return "Das Gerät ist nicht bereit";
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return "Ein-/Ausgabefehler";
    case ERROR_INVALID_HANDLE: return "Ungültiges Handle (nicht geöffnet)";
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return "Die Gegenseite hat die Verbindung geschlossen";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR: return "Die Netzwerkverbindung wurde unterbrochen";
    case ERROR_INVALID_PARAMETER: return "Ungültiges Argument";
    case ERROR_NOT_SUPPORTED: return "Vorgang nicht unterstützt";
    default: break;
  }
  // The system's own texts follow the language of the installed Windows.
  return "Systemfehler Nummer " + std::to_string(code) + " (Windows)";
}

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), std::numeric_limits<int>::max()));
  std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string to_utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), std::numeric_limits<int>::max()));
  std::string bytes(
      static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr)),
      '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  return bytes;
}

WindowsIo::WindowsIo() : memory_bytes_(physical_memory()) {}

IoStatus WindowsIo::map_stdin(InputBytes& contents) {
  contents = InputBytes();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return {windows_error_text(ERROR_INVALID_HANDLE)};
  if (is_console(input)) return read_console(input, contents.read, memory_bytes_);
  return read_all(input, contents.read, memory_bytes_);
}

IoStatus WindowsIo::map_file(const std::string& path, InputBytes& contents) {
  contents = InputBytes();
  const std::wstring name = to_wide(path);
  const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return {"Ist ein Verzeichnis"};
    }
    return {windows_error_text(error)};
  }
  const HandleCloser closer(file);
  return read_all(file, contents.read, memory_bytes_);
}

IoStatus WindowsIo::write_stdout(std::string_view data) {
  if (output_ != nullptr) {
    if (write_bytes(output_, data)) return {};
    return {windows_error_text(GetLastError())};
  }
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (is_console(output)) {
    if (write_console(output, stdout_pending_, data)) return {};
  } else if (write_bytes(output, data)) {
    return {};
  }
  const DWORD error = GetLastError();
  // Nobody reads any more (`textquirl-cli big.txt | more`, quit early): end
  // quietly, as a closed pipe ends other filters.
  if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE) ExitProcess(1);
  return {windows_error_text(error)};
}

namespace {

// `name` as a full path (ReplaceFileW wants one: "ergebnis.txt" -> "C:\\…\\ergebnis.txt").
std::wstring full_path(const std::wstring& name) {
  const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return name;
  full.resize(length);
  return full;
}

}  // namespace

IoStatus WindowsIo::open_output_file(const std::string& path) {
  discard_output_file();
  const std::wstring name = full_path(to_wide(path));
  // A device (NUL, CON, COM1 …: "\\.\NUL" as a full path) is no file to put
  // a result in.
  if (name.rfind(L"\\\\.\\", 0) == 0) return {"Keine gewöhnliche Datei"};
  const HANDLE probe = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(probe);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) return {"Keine gewöhnliche Datei"};
  }
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return {"Ist ein Verzeichnis"};
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return {windows_error_text(error)};
  }
  const std::size_t slash = name.find_last_of(L"\\/:");
  const std::wstring directory = slash == std::wstring::npos ? L"" : name.substr(0, slash + 1);
  const std::wstring base = slash == std::wstring::npos ? name : name.substr(slash + 1);
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned tag = (static_cast<unsigned>(GetCurrentProcessId()) * 7919u + counter++) & 0xFFFFFFu;
    wchar_t suffix[16];
    swprintf(suffix, 16, L".%06x", tag);
    std::wstring temporary = directory + L"." + base + suffix;
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return {windows_error_text(error)};
    }
    output_ = file;
    output_path_ = path;
    temporary_ = std::move(temporary);
    return {};
  }
  return {windows_error_text(ERROR_FILE_EXISTS)};
}

IoStatus WindowsIo::commit_output_file() {
  if (output_ == nullptr) return {};
  if (!FlushFileBuffers(output_)) return {windows_error_text(GetLastError())};
  CloseHandle(std::exchange(output_, nullptr));
  const std::wstring name = full_path(to_wide(output_path_));
  if (!ReplaceFileW(name.c_str(), temporary_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    // Nothing there yet to replace: the temporary file takes the name.
    if (error != ERROR_FILE_NOT_FOUND ||
        !MoveFileExW(temporary_.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return {windows_error_text(error == ERROR_FILE_NOT_FOUND ? GetLastError() : error)};
    }
  }
  temporary_.clear();
  output_path_.clear();
  return {};
}

void WindowsIo::discard_output_file() {
  if (output_ != nullptr) CloseHandle(std::exchange(output_, nullptr));
  if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
  temporary_.clear();
  output_path_.clear();
}

void WindowsIo::write_stderr(std::string_view message) {
  const HANDLE output = GetStdHandle(STD_ERROR_HANDLE);
  if (is_console(output)) {
    write_console(output, stderr_pending_, message);
  } else {
    write_bytes(output, message);
  }
}

}  // namespace textquirl::cli

#include "cli/posix_io.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <new>

namespace textquirl::cli {
namespace {

// Peak memory of the filter per input byte, with room to spare.
constexpr std::uint64_t kMemoryPerInputByte = 12;
constexpr std::size_t kReadBlock = std::size_t{1} << 16;
constexpr std::size_t kMaxSyscallBytes = std::size_t{1} << 30;

std::uint64_t physical_memory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

// 1234567 -> "1.234.567"
std::string with_separators(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, 1, '.');
  return digits;
}

// too_large("Die Datei", "5.000", 12000) ==
//   "Die Datei ist mit 5.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners (12.000 Bytes)"
std::string too_large(std::string_view input, std::string_view size, std::uint64_t memory) {
  return std::string(input) + " ist mit " + std::string(size) +
         " Bytes zu groß für den Arbeitsspeicher dieses Rechners (" + with_separators(memory) +
         " Bytes)";
}

// The bound on one input, computed once from the machine's memory, and the
// errors for inputs beyond it.
class InputBound {
 public:
  explicit InputBound(std::uint64_t memory)
      : memory_(memory),
        limit_(memory == 0 ? std::numeric_limits<std::size_t>::max() - 1
                           : static_cast<std::size_t>(max_input_bytes(memory))) {}

  // The most bytes an input may have; reading one more shows a stream exceeds it.
  std::size_t limit() const { return limit_; }

  // The error for `info`, if it is a regular file larger than the bound.
  IoStatus check_file(const struct stat& info) const {
    if (!S_ISREG(info.st_mode) || info.st_size <= 0) return {};
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (memory_ == 0 || size <= limit_) return {};
    return {too_large("Die Datei", with_separators(size), memory_)};
  }

  // The error for a stream that went on past the bound.
  IoStatus stream_too_large() const {
    return {too_large("Die Eingabe", "mehr als " + with_separators(limit_), memory_)};
  }

 private:
  std::uint64_t memory_;
  std::size_t limit_;
};

// Reads `fd`, whose fstat() gave `info` (or nothing: `known` false), to its
// end into `contents`, reserving a regular file's size up front so that the
// buffer never has to move. Stops with an error once the input is known to
// exceed the bound.
IoStatus read_all(int fd, bool known, const struct stat& info, std::string& contents, const InputBound& bound) {
  contents.clear();
  if (known) {
    if (IoStatus status = bound.check_file(info); !status.ok()) return status;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
      contents.reserve(static_cast<std::size_t>(info.st_size) + 1);  // + 1: room to see the end
    }
  }
  const std::size_t limit = bound.limit();
  // Each read asks for twice what the last one brought (a pipe brings 64 KiB
  // at a time), since resize() clears the bytes it asks for.
  std::size_t step = kReadBlock;
  for (;;) {
    const std::size_t have = contents.size();
    if (have > limit) {
      contents = std::string();
      return bound.stream_too_large();
    }
    const std::size_t room =
        contents.capacity() > have ? contents.capacity() - have : std::max(kReadBlock, have);
    const std::size_t want = std::min({room, step, kMaxSyscallBytes, limit + 1 - have});
    contents.resize(have + want);
    const ssize_t got = read(fd, contents.data() + have, want);
    if (got < 0) {
      const int error = errno;
      contents.resize(have);
      if (error == EINTR) continue;
      return {system_error_text(error)};
    }
    contents.resize(have + static_cast<std::size_t>(got));
    if (got == 0) return {};
    step = std::max(kReadBlock, 2 * static_cast<std::size_t>(got));
  }
}

// The same as read_all into an anonymous mapping: growing it moves pages
// instead of copying bytes, and pages not yet read into cost nothing, so
// the peak stays at about the input's size.
IoStatus read_all_mapped(int fd, InputBytes& contents, const InputBound& bound) {
  contents = InputBytes();
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    if (IoStatus status = bound.check_file(info); !status.ok()) return status;
  }
  const std::size_t limit = bound.limit();
  char* data = nullptr;
  std::size_t capacity = 0;
  std::size_t have = 0;
  const auto release = [&] {
    if (data != nullptr) munmap(data, capacity);
  };
  for (;;) {
    if (have > limit) {
      release();
      return bound.stream_too_large();
    }
    if (have == capacity) {
      const std::size_t grown = capacity == 0 ? std::size_t{1} << 24 : 2 * capacity;
      void* moved = data == nullptr
                        ? mmap(nullptr, grown, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                        : mremap(data, capacity, grown, MREMAP_MAYMOVE);
      if (moved == MAP_FAILED) {
        release();
        throw std::bad_alloc();
      }
      data = static_cast<char*>(moved);
      capacity = grown;
    }
    const std::size_t want = std::min({capacity - have, kMaxSyscallBytes, limit + 1 - have});
    const ssize_t got = read(fd, data + have, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      release();
      return {system_error_text(error)};
    }
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  if (have == 0) {
    release();
    return {};
  }
  contents.mapped = std::shared_ptr<const char>(data, [capacity](const char* p) {
    munmap(const_cast<char*>(p), capacity);
  });
  contents.mapped_size = have;
  return {};
}

// Ends the process the way a closed pipe ends cat or sort: killed by SIGPIPE,
// whatever disposition the signal had, without a message.
[[noreturn]] void end_by_closed_pipe() {
  std::signal(SIGPIPE, SIG_DFL);
  sigset_t pipe_only;
  sigemptyset(&pipe_only);
  sigaddset(&pipe_only, SIGPIPE);
  sigprocmask(SIG_UNBLOCK, &pipe_only, nullptr);
  raise(SIGPIPE);
  _exit(128 + SIGPIPE);  // not reached
}

}  // namespace

std::uint64_t max_input_bytes(std::uint64_t memory_bytes) {
  if (memory_bytes == 0) return std::numeric_limits<std::uint64_t>::max();  // unknown: let the allocation decide
  return memory_bytes / kMemoryPerInputByte;
}

std::string system_error_text(int errnum) {
  switch (errnum) {
    case ENOENT: return "Datei oder Verzeichnis nicht gefunden";
    case EACCES: return "Keine Berechtigung";
    case EPERM: return "Vorgang nicht erlaubt";
    case EISDIR: return "Ist ein Verzeichnis";
    case ENOTDIR: return "Ein Teil des Pfades ist kein Verzeichnis";
    case ENAMETOOLONG: return "Dateiname zu lang";
    case ELOOP: return "Zu viele symbolische Verknüpfungen";
    case EMFILE:
    case ENFILE: return "Zu viele offene Dateien";
    case ENOMEM: return "Nicht genug Arbeitsspeicher";
    case EIO: return "Ein-/Ausgabefehler";
    case ENOSPC: return "Kein Speicherplatz mehr auf dem Gerät";
    case EDQUOT: return "Speicherplatzkontingent überschritten";
    case EFBIG: return "Datei zu groß";
    case EPIPE: return "Die Gegenseite hat die Verbindung geschlossen";
    case EBADF: return "Ungültiger Dateideskriptor (nicht geöffnet)";
    case EROFS: return "Dateisystem ist nur lesbar";
    case EAGAIN: return "Ressource vorübergehend nicht verfügbar";
    case ENXIO: return "Gerät oder Adresse nicht vorhanden";
    case ETXTBSY: return "Datei wird gerade benutzt";
    case EINVAL: return "Ungültiges Argument";
    case EFAULT: return "Ungültige Adresse";
    case EBUSY: return "Gerät oder Ressource belegt";
    case ENODEV: return "Gerät nicht vorhanden";
    case ESPIPE: return "Positionieren nicht möglich";
    case EOVERFLOW: return "Wert zu groß für den Datentyp";
    case ENOTSUP: return "Vorgang nicht unterstützt";
    case ENOBUFS: return "Kein Pufferspeicher verfügbar";
    case ECONNRESET: return "Die Gegenseite hat die Verbindung zurückgesetzt";
    case ENOTCONN: return "Keine Verbindung";
    case ETIMEDOUT: return "Zeitüberschreitung";
    case ESTALE: return "Veralteter Verweis auf eine Netzwerkdatei";
    default: break;
  }
  // The rarer ones by their symbolic name: the system's own texts are English.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 32)
  if (const char* name = strerrorname_np(errnum)) {
    return "Systemfehler " + std::string(name) + " (Nummer " + std::to_string(errnum) + ")";
  }
#endif
  return "Systemfehler Nummer " + std::to_string(errnum);
}

PosixIo::PosixIo() : memory_bytes_(physical_memory()) {}

IoStatus PosixIo::map_stdin(InputBytes& contents) {
  return read_all_mapped(STDIN_FILENO, contents, InputBound(memory_bytes_));
}

namespace {

// Opens `path` for reading into `fd`; the status says why not.
IoStatus open_for_reading(const std::string& path, int& fd) {
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return {system_error_text(errno)};
  return {};
}

// Closes `fd` when it goes out of scope.
class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  ~FileCloser() { close(fd_); }

 private:
  int fd_;
};

}  // namespace

IoStatus PosixIo::map_file(const std::string& path, InputBytes& contents) {
  contents = InputBytes();
  int fd = -1;
  if (IoStatus status = open_for_reading(path, fd); !status.ok()) return status;
  const FileCloser closer(fd);
  const InputBound bound(memory_bytes_);
  struct stat info {};
  const bool known = fstat(fd, &info) == 0;
  if (known && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) >= kMapAtLeast) {
    if (IoStatus status = bound.check_file(info); !status.ok()) return status;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    void* start = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (start != MAP_FAILED) {
      const auto length = static_cast<std::size_t>(size);
      contents.mapped = std::shared_ptr<const char>(
          static_cast<const char*>(start), [length](const char* p) { munmap(const_cast<char*>(p), length); });
      contents.mapped_size = length;
      return {};
    }
    // Some files (on some file systems) cannot be mapped: read them.
  }
  return read_all(fd, known, info, contents.read, bound);
}

IoStatus PosixIo::write_stdout(std::string_view data) {
  while (!data.empty()) {
    const ssize_t put = write(STDOUT_FILENO, data.data(), std::min(data.size(), kMaxSyscallBytes));
    if (put < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) end_by_closed_pipe();
      return {system_error_text(errno)};
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

void PosixIo::write_stderr(std::string_view message) {
  while (!message.empty()) {
    const ssize_t put = write(STDERR_FILENO, message.data(), message.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    message.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace textquirl::cli

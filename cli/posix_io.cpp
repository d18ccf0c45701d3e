#include "cli/posix_io.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

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

// The bound on one input, computed once from the memory the filter may count
// on, and the errors for inputs beyond it.
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

// Reads `fd` to its end into `contents`, reserving a regular file's size up
// front so that the buffer never has to move. Stops with an error once the
// input is known to exceed the bound.
IoStatus read_all(int fd, std::string& contents, const InputBound& bound) {
  contents.clear();
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    if (IoStatus status = bound.check_file(info); !status.ok()) return status;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
      contents.reserve(static_cast<std::size_t>(info.st_size) + 1);  // + 1: room to see the end
    }
  }
  // Largest size that fits; one byte more is read to see it exceeded.
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

// Room for `bytes` in whole huge pages (2 MiB), which the kernel can then
// give in one piece each: much cheaper than faulting in 4 KiB pages.
std::size_t in_huge_pages(std::size_t bytes) {
  constexpr std::size_t kHugePage = std::size_t{1} << 21;
  return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// Files from this size on are read in two halves side by side.
constexpr std::size_t kSplitReadAtLeast = std::size_t{1} << 22;

// Bytes [from, to) of `fd` into data + from, or fewer at its end; an error's errno in `error`.
std::size_t read_range(int fd, char* data, std::size_t from, std::size_t to, int& error) {
  std::size_t done = 0;
  while (from + done < to) {
    const ssize_t got = pread(fd, data + from + done, std::min(to - from - done, kMaxSyscallBytes),
                              static_cast<off_t>(from + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

// The first `size` bytes of a regular file into `data`, the second half on a
// thread of its own, so that the kernel copies (and clears fresh pages) on
// two processors. On return `have` is `size` and the file offset is there,
// or, should the file have become shorter, both are 0; without a thread,
// nothing is read.
IoStatus read_in_halves(int fd, char* data, std::size_t size, std::size_t& have) {
  const std::size_t half = size / 2;
  std::size_t second_done = 0;
  int first_error = 0, second_error = 0;
  std::thread second;
  try {
    second = std::thread([&] { second_done = read_range(fd, data, half, size, second_error); });
  } catch (const std::system_error&) {
    return {};
  }
  const std::size_t first_done = read_range(fd, data, 0, half, first_error);
  second.join();
  if (first_error != 0 || second_error != 0) return {system_error_text(first_error != 0 ? first_error : second_error)};
  have = first_done == half && second_done == size - half ? size : 0;
  if (lseek(fd, static_cast<off_t>(have), SEEK_SET) < 0) return {system_error_text(errno)};
  return {};
}

// The same as read_all into an anonymous mapping: growing it moves pages
// instead of copying bytes, and pages not yet read into cost nothing, so
// the peak stays at about the input's size. `expected` (the size of a
// regular file, else 0) sizes the first mapping.
IoStatus read_all_mapped(int fd, InputBytes& contents, const InputBound& bound, std::size_t expected = 0) {
  contents = InputBytes();
  struct stat info {};
  if (fstat(fd, &info) == 0) {
    if (IoStatus status = bound.check_file(info); !status.ok()) return status;
  }
  const std::size_t limit = bound.limit();
  char* data = nullptr;
  std::size_t capacity = 0;
  std::size_t have = 0;
  bool halves_tried = false;
  const auto release = [&] {
    if (data != nullptr) munmap(data, capacity);
  };
  for (;;) {
    if (have > limit) {
      release();
      return bound.stream_too_large();
    }
    if (have == capacity) {
      // A regular file's size + 1, to see its end without growing.
      const std::size_t grown = capacity != 0 ? 2 * capacity
                                : expected != 0 ? in_huge_pages(expected + 1)
                                                : std::size_t{1} << 24;
      void* moved = data == nullptr
                        ? mmap(nullptr, grown, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                        : mremap(data, capacity, grown, MREMAP_MAYMOVE);
      if (moved == MAP_FAILED) {
        release();
        throw std::bad_alloc();
      }
      data = static_cast<char*>(moved);
      capacity = grown;
      madvise(data, capacity, MADV_HUGEPAGE);  // a hint; refused where huge pages are off
    }
    if (!halves_tried && expected >= kSplitReadAtLeast && expected < capacity && expected <= limit) {
      halves_tried = true;
      const IoStatus status = read_in_halves(fd, data, expected, have);
      if (!status.ok()) {
        release();
        return status;
      }
      continue;
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
  pthread_sigmask(SIG_UNBLOCK, &pipe_only, nullptr);
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

std::uint64_t cgroup_memory_limit(const std::string& limit_file) {
  std::ifstream file(limit_file);
  std::string value;
  if (!(file >> value) || value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return 0;
  std::uint64_t bytes = 0;
  for (const char c : value) {
    if (bytes > (std::numeric_limits<std::uint64_t>::max() - 9) / 10) return 0;  // no real limit
    bytes = bytes * 10 + static_cast<unsigned>(c - '0');
  }
  return bytes;
}

std::uint64_t available_memory(const std::string& cgroup_root, const std::string& own_cgroup) {
  std::uint64_t memory = physical_memory();
  std::string group;  // "/PATH" of the line "0::/PATH"
  std::ifstream lines(own_cgroup);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("0::/")) group = line.substr(3);
  }
  while (group.ends_with('/')) group.pop_back();
  // The group and each one above it, up to the root's own file (which a
  // container's cgroup namespace shows as its root).
  for (;;) {
    const std::uint64_t limit = cgroup_memory_limit(cgroup_root + group + "/memory.max");
    if (limit != 0 && (memory == 0 || limit < memory)) memory = limit;
    if (group.empty()) break;
    group.erase(group.rfind('/'));
  }
  return memory;
}

PosixIo::PosixIo() : memory_bytes_(available_memory()) {}

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

// Whether the file open as `fd` has changed since `before` was taken: a
// file cut short, grown or rewritten while it was read changes its size or
// its modification time. (Reading, unlike a mapping, never faults on a
// file cut short; this notices it.)
bool changed_since(int fd, const struct stat& before) {
  struct stat after {};
  if (fstat(fd, &after) != 0) return true;
  return after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
         after.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
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
  struct stat before {};
  const bool regular = fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  const auto size = regular ? static_cast<std::uint64_t>(before.st_size) : 0;
  const InputBound bound(memory_bytes_);
  IoStatus status;
  if (size >= kMapAtLeast) {
    if (status = bound.check_file(before); !status.ok()) return status;
    status = read_all_mapped(fd, contents, bound, static_cast<std::size_t>(size));
  } else {
    status = read_all(fd, contents.read, bound);
  }
  if (status.ok() && regular && changed_since(fd, before)) {
    contents = InputBytes();
    return {std::string(kChangedWhileRead)};
  }
  return status;
}

IoStatus PosixIo::write_stdout(std::string_view data) {
  const int fd = output_fd_ >= 0 ? output_fd_ : STDOUT_FILENO;
  while (!data.empty()) {
    const ssize_t put = write(fd, data.data(), std::min(data.size(), kMaxSyscallBytes));
    if (put < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE && fd == STDOUT_FILENO) end_by_closed_pipe();
      return {system_error_text(errno)};
    }
    data.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

namespace {

// The file `path` leads to: symbolic links followed, also one whose target
// does not exist yet (then that target); a relative link counts from its
// own directory.
//   follow_links("out.txt") == "out.txt" where out.txt is no link
//   follow_links("d/link") == "d/../real.txt" where d/link -> ../real.txt
IoStatus follow_links(std::string path, std::string& target) {
  for (int links = 0;; ++links) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    if (links == 40) return {system_error_text(ELOOP)};
    std::string next(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t length = readlink(path.c_str(), next.data(), next.size());
    if (length < 0) return {system_error_text(errno)};
    if (static_cast<std::size_t>(length) == next.size()) {  // grown meanwhile: once more
      --links;
      continue;
    }
    next.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    path = next.starts_with('/') || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
  }
  target = std::move(path);
  return {};
}

}  // namespace

IoStatus PosixIo::open_output_file(const std::string& path) {
  discard_output_file();
  std::string target;
  if (IoStatus status = follow_links(path, target); !status.ok()) return status;
  struct stat info {};
  if (stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return {system_error_text(EISDIR)};
    if (!S_ISREG(info.st_mode)) return {"Keine gewöhnliche Datei"};
  } else if (errno != ENOENT) {
    return {system_error_text(errno)};
  }
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  // Made with mode 0666 and the umask, as the shell's ">" would make the file.
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%06x", (static_cast<unsigned>(getpid()) * 7919u + counter++) & 0xFFFFFFu);
    std::string temporary = directory + "." + name + suffix;
    int fd;
    do {
      fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {system_error_text(errno)};
    }
    output_fd_ = fd;
    output_path_ = path;
    target_ = std::move(target);
    temporary_ = std::move(temporary);
    return {};
  }
  return {system_error_text(EEXIST)};
}

IoStatus PosixIo::commit_output_file() {
  struct stat info {};
  if (stat(target_.c_str(), &info) == 0 && fchmod(output_fd_, info.st_mode & 07777) != 0) {
    return {system_error_text(errno)};
  }
  if (fsync(output_fd_) != 0) return {system_error_text(errno)};
  const int fd = std::exchange(output_fd_, -1);
  if (close(fd) != 0 && errno != EINTR) return {system_error_text(errno)};
  if (rename(temporary_.c_str(), target_.c_str()) != 0) return {system_error_text(errno)};
  temporary_.clear();
  output_path_.clear();
  target_.clear();
  return {};
}

void PosixIo::discard_output_file() {
  if (output_fd_ >= 0) close(std::exchange(output_fd_, -1));
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
  output_path_.clear();
  target_.clear();
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

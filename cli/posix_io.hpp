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
  // Inputs are bounded by max_input_bytes(`memory_bytes`); by default
  // available_memory(), 0 for no bound. Reading stops with a "zu groß" error
  // at the bound, for files and for endless streams alike.
  PosixIo();
  explicit PosixIo(std::uint64_t memory_bytes) : memory_bytes_(memory_bytes) {}
  PosixIo(const PosixIo&) = delete;
  PosixIo& operator=(const PosixIo&) = delete;

  // Reads standard input into an anonymous mapping that mremap() grows in
  // place, so that the input costs about its own size in memory.
  IoStatus map_stdin(InputBytes& contents) override;
  // Regular files of kMapAtLeast bytes or more are read into an anonymous
  // mapping of their size (in huge pages where the system has them: about
  // as fast as mapping the file itself, which would die by SIGBUS when the
  // file is cut short meanwhile), smaller ones into a string. A regular file
  // that changes while it is read fails with kChangedWhileRead.
  IoStatus map_file(const std::string& path, InputBytes& contents) override;
  // A reader that has gone away (EPIPE) ends the process by SIGPIPE, quietly,
  // as it ends other filters; any other failure comes back as the status.
  IoStatus write_stdout(std::string_view data) override;
  void write_stderr(std::string_view message) override;
  // The temporary file is ".NAME.XXXXXX" in the directory of NAME, the file
  // `path` leads to, made with the process's umask; an existing NAME must be
  // a regular file.
  IoStatus open_output_file(const std::string& path) override;
  const std::string& output_file() const override { return output_path_; }
  // Syncs the temporary file to disk and renames it over NAME, after giving
  // it NAME's permission bits if NAME exists.
  IoStatus commit_output_file() override;
  void discard_output_file() override;
  ~PosixIo() override { discard_output_file(); }

 private:
  std::uint64_t memory_bytes_;
  std::string output_path_;  // as given to open_output_file
  std::string target_;       // the file it leads to
  std::string temporary_;    // the temporary file beside it
  int output_fd_ = -1;       // open on temporary_
};

// Below this size a file is read into a string: a mapping of its own would
// cost more than it saves.
inline constexpr std::uint64_t kMapAtLeast = std::uint64_t{1} << 20;

// The reason given for a file that changed (cut short, grown, rewritten)
// while it was read.
inline constexpr std::string_view kChangedWhileRead = "Die Datei wurde beim Lesen verändert";

// The German reason for the system error `errnum`; the rarer ones are named
// by their symbol and number.
//   system_error_text(ENOENT) == "Datei oder Verzeichnis nicht gefunden"
//   system_error_text(EDOM) == "Systemfehler EDOM (Nummer 33)"
std::string system_error_text(int errnum);

// The memory limit in the cgroup v2 limit file `limit_file` (a memory.max):
// its number of bytes; 0 where the file is missing or says "max".
//   cgroup_memory_limit(".../memory.max") == 536870912 for a file "536870912\n"
std::uint64_t cgroup_memory_limit(const std::string& limit_file);

// The memory the filter may count on: the machine's physical memory, or the
// smallest limit of the cgroup (v2) the process runs in and of the groups
// above it, if lower; so that in a container a too large input is refused
// instead of the process being killed. `cgroup_root` is where the cgroup
// file system is mounted, `own_cgroup` the process's cgroup file (its
// "0::/PATH" line names the group).
//   available_memory() <= physical memory
std::uint64_t available_memory(const std::string& cgroup_root = "/sys/fs/cgroup",
                               const std::string& own_cgroup = "/proc/self/cgroup");

// The most bytes one input may have where the filter may count on
// `memory_bytes` of memory (0: unknown, no bound): the filter needs several bytes of
// memory per input byte (UTF-8, UTF-16 copies, the scrambled result).
//   max_input_bytes(12'000'000) == 1'000'000
std::uint64_t max_input_bytes(std::uint64_t memory_bytes);

}  // namespace textquirl::cli

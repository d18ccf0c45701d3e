#include "cli/posix_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace textquirl::cli {
namespace {

// Standard input taken from `path` for the object's life, then given back.
class StdinFrom {
 public:
  explicit StdinFrom(const std::string& path) : saved_(dup(STDIN_FILENO)) {
    const int fd = open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0) << path;
    dup2(fd, STDIN_FILENO);
    close(fd);
  }
  StdinFrom(const StdinFrom&) = delete;
  StdinFrom& operator=(const StdinFrom&) = delete;
  ~StdinFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(PosixIo, ReadsWholeInputsAndNamesSystemErrors) {
  const std::filesystem::path dir = testing::TempDir();
  const std::filesystem::path path = dir / "posix_io_test.txt";
  // larger than one read block, than kMapAtLeast and than a read in halves (of odd size),
  // with NUL bytes and no final line break
  std::string contents;
  for (int i = 0; contents.size() < 5'000'001; ++i) contents += "Zeile " + std::to_string(i) + '\0';
  contents.resize(5'000'001);
  std::ofstream(path, std::ios::binary) << contents;

  PosixIo io;
  InputBytes read;
  read.read = "old content";
  ASSERT_TRUE(io.map_file(path.string(), read).ok());
  EXPECT_EQ(read.bytes(), contents);
  {
    const StdinFrom stdin_from(path.string());
    ASSERT_TRUE(io.map_stdin(read).ok());
    EXPECT_EQ(read.bytes(), contents);
  }

  // inputs beyond what fits in memory are refused, endless ones included,
  // as files and on standard input alike
  EXPECT_EQ(max_input_bytes(12'000'000), 1'000'000u);
  PosixIo small(12'000'000);  // room for 1.000.000 input bytes
  const std::string file_too_large =
      "Die Datei ist mit 5.000.001 Bytes zu groß für den Arbeitsspeicher dieses Rechners (12.000.000 Bytes)";
  const std::string stream_too_large =
      "Die Eingabe ist mit mehr als 1.000.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners "
      "(12.000.000 Bytes)";
  EXPECT_EQ(small.map_file(path.string(), read).error, file_too_large);
  EXPECT_EQ(small.map_file("/dev/zero", read).error, stream_too_large);
  EXPECT_EQ(read.bytes(), "");
  {
    const StdinFrom stdin_from(path.string());
    EXPECT_EQ(small.map_stdin(read).error, file_too_large);
  }
  {
    const StdinFrom stdin_from("/dev/zero");
    EXPECT_EQ(small.map_stdin(read).error, stream_too_large);
    EXPECT_EQ(read.bytes(), "");
  }

  // a small file is read, not mapped; an empty one is empty
  std::ofstream(path, std::ios::binary | std::ios::trunc) << "klein\n";
  EXPECT_TRUE(io.map_file(path.string(), read).ok());
  EXPECT_EQ(read.bytes(), "klein\n");
  EXPECT_EQ(read.mapped, nullptr);
  std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
  EXPECT_TRUE(io.map_file(path.string(), read).ok());
  EXPECT_EQ(read.bytes(), "");
  {
    const StdinFrom stdin_from(path.string());
    EXPECT_TRUE(io.map_stdin(read).ok());
    EXPECT_EQ(read.bytes(), "");
  }
  std::filesystem::remove(path);

  EXPECT_EQ(io.map_file((dir / "does-not-exist.txt").string(), read).error,
            "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(io.map_file(dir.string(), read).error, "Ist ein Verzeichnis");
  {
    const StdinFrom stdin_from(dir.string());
    EXPECT_EQ(io.map_stdin(read).error, "Ist ein Verzeichnis");
  }
  // errors without a German text of their own are named, never in English
  EXPECT_EQ(system_error_text(EDOM), "Systemfehler EDOM (Nummer " + std::to_string(EDOM) + ")");
  for (int errnum = 1; errnum < 134; ++errnum) {
    EXPECT_NE(system_error_text(errnum), std::strerror(errnum)) << errnum;
  }
}

// A file cut short and grown again over and over, each time with a tail of
// other bytes, while it is read: every read that succeeds gives what the
// file held at one moment (the head and a part of one tail), never a mix of
// two tails; a read that overlapped a change says so. (The file system's
// clock ticks in milliseconds: bytes overwritten in place within one tick
// of the last change would go unnoticed, so the writer only cuts and
// appends, and pauses between rounds.)
TEST(PosixIo, AFileChangedWhileReadIsNeverMixed) {
  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "posix_io_changing.txt";
  const std::string head(1'000'000, 'a'), tails[] = {std::string(3'000'000, 'b'), std::string(3'000'000, 'c')};
  std::ofstream(path, std::ios::binary) << head << tails[0];
  std::atomic<bool> done = false;
  std::thread writer([&] {
    const int fd = open(path.c_str(), O_WRONLY);
    for (int i = 1; !done; ++i) {
      usleep(10'000);
      EXPECT_EQ(ftruncate(fd, head.size()), 0);
      const std::string& tail = tails[i % 2];
      EXPECT_EQ(pwrite(fd, tail.data(), tail.size(), head.size()), ssize_t(tail.size()));
    }
    close(fd);
  });
  const std::string whole[] = {head + tails[0], head + tails[1]};
  PosixIo io;
  int changed = 0;
  for (int i = 0; i < 200; ++i) {
    InputBytes bytes;
    const IoStatus status = io.map_file(path.string(), bytes);
    if (!status.ok()) {
      EXPECT_EQ(status.error, kChangedWhileRead);
      ++changed;
      continue;
    }
    const std::string_view got = bytes.bytes();
    EXPECT_TRUE(whole[0].starts_with(got) || whole[1].starts_with(got))
        << "a mix, " << got.size() << " bytes";
  }
  done = true;
  writer.join();
  std::filesystem::remove(path);
  RecordProperty("changed_while_read", changed);
}

// In a container the cgroup's limit, not the machine's memory, bounds the
// input: a file too large for it is refused with „zu groß“.
TEST(PosixIo, TheCgroupLimitBoundsTheInput) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(testing::TempDir()) / "posix_io_cgroup";
  fs::create_directories(root / "box" / "job");
  std::ofstream(root / "memory.max") << "max\n";
  std::ofstream(root / "box" / "memory.max") << "12000000\n";
  std::ofstream(root / "box" / "job" / "memory.max") << "max\n";
  std::ofstream(root / "self") << "0::/box/job\n";
  EXPECT_EQ(cgroup_memory_limit((root / "box" / "memory.max").string()), 12'000'000u);
  EXPECT_EQ(cgroup_memory_limit((root / "memory.max").string()), 0u);
  EXPECT_EQ(cgroup_memory_limit((root / "missing").string()), 0u);
  const std::uint64_t machine = available_memory(root.string(), (root / "missing").string());
  EXPECT_GT(machine, 12'000'000u);
  const std::uint64_t memory = available_memory(root.string(), (root / "self").string());
  EXPECT_EQ(memory, 12'000'000u);

  const fs::path big = root / "big.txt";
  std::ofstream(big) << std::string(2'000'000, 'a');
  InputBytes bytes;
  EXPECT_EQ(PosixIo(memory).map_file(big.string(), bytes).error,
            "Die Datei ist mit 2.000.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners "
            "(12.000.000 Bytes)");
  fs::remove_all(root);
}

}  // namespace
}  // namespace textquirl::cli

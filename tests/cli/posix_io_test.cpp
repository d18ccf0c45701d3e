#include "cli/posix_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

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
  // larger than one read block and than kMapAtLeast, with NUL bytes and no final line break
  std::string contents;
  for (int i = 0; contents.size() < 3'000'000; ++i) contents += "Zeile " + std::to_string(i) + '\0';
  contents.resize(3'000'000);
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
      "Die Datei ist mit 3.000.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners (12.000.000 Bytes)";
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

}  // namespace
}  // namespace textquirl::cli

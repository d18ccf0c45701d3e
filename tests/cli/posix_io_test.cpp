#include "cli/posix_io.hpp"

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

TEST(PosixIo, ReadsWholeFilesAndNamesSystemErrors) {
  const std::filesystem::path dir = testing::TempDir();
  const std::filesystem::path path = dir / "posix_io_test.txt";
  // larger than one read block, with NUL bytes and no final line break
  std::string contents;
  for (int i = 0; contents.size() < 3'000'000; ++i) contents += "Zeile " + std::to_string(i) + '\0';
  contents.resize(3'000'000);
  std::ofstream(path, std::ios::binary) << contents;

  PosixIo io;
  std::string read = "old content";
  ASSERT_TRUE(io.read_file(path.string(), read).ok());
  EXPECT_EQ(read, contents);

  // inputs beyond what fits in memory are refused, endless ones included
  PosixIo small(12'000'000);  // room for 1.000.000 input bytes
  EXPECT_EQ(small.read_file(path.string(), read).error,
            "Die Datei ist mit 3.000.000 Bytes zu groß für den Arbeitsspeicher dieses Rechners "
            "(12.000.000 Bytes)");
  EXPECT_EQ(small.read_file("/dev/zero", read).error,
            "Die Eingabe ist mit mehr als 1.000.000 Bytes zu groß für den Arbeitsspeicher "
            "dieses Rechners (12.000.000 Bytes)");
  EXPECT_EQ(read, "");

  std::ofstream(path, std::ios::binary | std::ios::trunc).flush();
  EXPECT_TRUE(io.read_file(path.string(), read).ok());
  EXPECT_EQ(read, "");
  std::filesystem::remove(path);

  EXPECT_EQ(io.read_file((dir / "does-not-exist.txt").string(), read).error,
            "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(io.read_file(dir.string(), read).error, "Ist ein Verzeichnis");
  // errors without a German text of their own are named, never in English
  EXPECT_EQ(system_error_text(EDOM), "Systemfehler EDOM (Nummer " + std::to_string(EDOM) + ")");
  for (int errnum = 1; errnum < 134; ++errnum) {
    EXPECT_NE(system_error_text(errnum), std::strerror(errnum)) << errnum;
  }
}

// A file cut short and rewritten over and over, with contents of different
// bytes, while it is read: every read that succeeds gives what the file held
// at one moment (a prefix of one content), never a mix; a read that
// overlapped a change says so.
TEST(PosixIo, AFileChangedWhileReadIsNeverMixed) {
  const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "posix_io_changing.txt";
  const std::string a(4'000'000, 'a'), b(4'000'000, 'b');
  std::ofstream(path, std::ios::binary) << a;
  std::atomic<bool> done = false;
  std::thread writer([&] {
    const int fd = open(path.c_str(), O_WRONLY);
    for (int i = 0; !done; ++i) {
      usleep(2000);
      EXPECT_EQ(ftruncate(fd, 1'000'000), 0);
      const std::string& next = i % 2 ? a : b;
      EXPECT_EQ(pwrite(fd, next.data(), next.size(), 0), ssize_t(next.size()));
    }
    close(fd);
  });
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
    EXPECT_TRUE(a.starts_with(got) || b.starts_with(got)) << "a mix of both contents, " << got.size() << " bytes";
  }
  done = true;
  writer.join();
  std::filesystem::remove(path);
  RecordProperty("changed_while_read", changed);
}

}  // namespace
}  // namespace textquirl::cli

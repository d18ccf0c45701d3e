#include "cli/posix_io.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace textquirl::cli

// The Windows Io under Wine: file names beyond ASCII, the German reasons,
// and the output file of --output replaced whole or left as it was.
#include "cli/windows_io.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace textquirl::cli {
namespace {

// A fresh folder under %TEMP%, removed with everything in it at the end.
class WindowsIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ = to_utf8(temp) + "textquirl-io-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryW(to_wide(dir_).c_str(), nullptr);
  }
  void TearDown() override {  // the folder holds files only
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(to_wide(path("*")).c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileW((to_wide(dir_) + L"\\" + found.cFileName).c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(to_wide(dir_).c_str());
  }
  std::string path(const std::string& name) const { return dir_ + "\\" + name; }
  static void put(const std::string& file, const std::string& bytes) {
    std::ofstream(to_wide(file).c_str(), std::ios::binary) << bytes;
  }
  static std::string get(const std::string& file) {
    std::ifstream in(to_wide(file).c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  std::size_t entries() const {
    std::size_t count = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(to_wide(path("*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
      if (found.cFileName[0] != L'.' || (found.cFileName[1] != L'\0' && found.cFileName[1] != L'.')) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
  }

  std::string dir_;
};

TEST(WindowsIoText, HeaderExamples) {
  EXPECT_EQ(windows_error_text(2), "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(windows_error_text(1236), "Systemfehler Nummer 1236 (Windows)");
  EXPECT_EQ(to_wide("Grüße"), L"Grüße");
  EXPECT_EQ(to_utf8(L"Grüße"), "Grüße");
  EXPECT_EQ(to_utf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");  // a lone surrogate
}

TEST_F(WindowsIoTest, ReadsFilesByTheirUtf8NamesAndSaysWhyNot) {
  WindowsIo io;
  put(path("Grüße 👍.txt"), "Hallo\r\nWelt");
  InputBytes input;
  ASSERT_TRUE(io.map_file(path("Grüße 👍.txt"), input).ok());
  EXPECT_EQ(input.bytes(), "Hallo\r\nWelt");
  EXPECT_EQ(io.map_file(path("fehlt.txt"), input).error, "Datei oder Verzeichnis nicht gefunden");
  EXPECT_EQ(io.map_file(dir_, input).error, "Ist ein Verzeichnis");
}

TEST_F(WindowsIoTest, OutputFileIsReplacedWholeOrLeftAsItWas) {
  WindowsIo io;
  const std::string target = path("Ergebnis ä.txt");
  put(target, "alt");
  ASSERT_TRUE(io.open_output_file(target).ok());
  EXPECT_EQ(io.output_file(), target);
  ASSERT_TRUE(io.write_stdout("neu, ").ok());
  ASSERT_TRUE(io.write_stdout("ganz").ok());
  EXPECT_EQ(get(target), "alt");  // untouched until the commit
  ASSERT_TRUE(io.commit_output_file().ok());
  EXPECT_EQ(get(target), "neu, ganz");
  EXPECT_EQ(entries(), 1u);  // no temporary file left
  EXPECT_TRUE(io.output_file().empty());

  ASSERT_TRUE(io.open_output_file(target).ok());
  ASSERT_TRUE(io.write_stdout("halb").ok());
  io.discard_output_file();
  EXPECT_EQ(get(target), "neu, ganz");
  EXPECT_EQ(entries(), 1u);

  ASSERT_TRUE(io.open_output_file(path("neu.txt")).ok());  // nothing there before
  ASSERT_TRUE(io.write_stdout("da").ok());
  ASSERT_TRUE(io.commit_output_file().ok());
  EXPECT_EQ(get(path("neu.txt")), "da");
  EXPECT_EQ(entries(), 2u);

  EXPECT_EQ(io.open_output_file(dir_).error, "Ist ein Verzeichnis");
  EXPECT_EQ(io.open_output_file("NUL").error, "Keine gewöhnliche Datei");
  EXPECT_EQ(entries(), 2u);
}

}  // namespace
}  // namespace textquirl::cli

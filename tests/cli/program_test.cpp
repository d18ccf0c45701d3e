// Runs the real textquirl-cli binary, to see exit statuses and output the way
// a shell user sees them.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

enum class Stdout { kPipe, kDevFull, kClosedPipe };

struct Outcome {
  int exit_status = -1;  // -1: ended by a signal
  int signal = 0;        // the signal that ended it, if one did
  std::string out;
  std::string err;
};

std::string read_to_end(int fd) {
  std::string data;
  char buffer[4096];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) data.append(buffer, got);
  return data;
}

// Runs textquirl-cli with `args`, feeding `input` (small enough for a pipe's
// buffer) on standard input.
Outcome run_cli(const std::vector<std::string>& args, const std::string& input,
                Stdout stdout_kind = Stdout::kPipe) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    if (stdout_kind == Stdout::kDevFull) {
      dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
    } else {
      dup2(out[1], STDOUT_FILENO);
    }
    dup2(err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    std::vector<char*> argv{const_cast<char*>(TEXTQUIRL_CLI_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (stdout_kind == Stdout::kClosedPipe) close(out[0]);
  if (!input.empty()) {
    EXPECT_EQ(write(in[1], input.data(), input.size()), ssize_t(input.size()));
  }
  close(in[1]);
  Outcome outcome;
  if (stdout_kind != Stdout::kClosedPipe) {
    outcome.out = read_to_end(out[0]);
    close(out[0]);
  }
  outcome.err = read_to_end(err[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) outcome.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

TEST(TextquirlCli, ExitStatusAndOutputThroughPipes) {
  // success: scrambled text, LF line breaks, nothing on stderr
  const Outcome ok = run_cli({"--seed", "3"}, "Verwurschtelte Buchstaben\r\nbleiben lesbar\n");
  EXPECT_EQ(ok.exit_status, 0);
  EXPECT_EQ(ok.err, "");
  EXPECT_TRUE(ok.out.starts_with("V")) << ok.out;
  EXPECT_EQ(ok.out.find('\r'), std::string::npos);

  // invalid UTF-8 and a missing file: status 1, the message, nothing on stdout
  const Outcome bad = run_cli({}, "gut\xFF");
  EXPECT_EQ(bad.exit_status, 1);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err,
            "textquirl-cli: Ungültiges UTF-8 in der Standardeingabe bei Byte 3 (0xFF): "
            "dieses Byte kommt in UTF-8 nicht vor. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n");

  const Outcome missing = run_cli({"-", "/nonexistent/textquirl.txt"}, "Hallo Welt");
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err,
            "textquirl-cli: Kann „/nonexistent/textquirl.txt“ nicht lesen: "
            "Datei oder Verzeichnis nicht gefunden.\n");
}

TEST(TextquirlCli, WriteErrorsFailTheRun) {
  const Outcome full = run_cli({"--version"}, "", Stdout::kDevFull);
  EXPECT_EQ(full.exit_status, 1);
  EXPECT_EQ(full.err,
            "textquirl-cli: Fehler beim Schreiben auf die Standardausgabe: "
            "Kein Speicherplatz mehr auf dem Gerät.\n");

  // a reader that went away ends it quietly by SIGPIPE, like cat
  const Outcome closed = run_cli({}, "Hallo Welt, hier kommt ein Text", Stdout::kClosedPipe);
  EXPECT_EQ(closed.signal, SIGPIPE);
  EXPECT_EQ(closed.err, "");
}

TEST(TextquirlCli, EndsQuietlyWhenTheReaderStopsEarly) {
  const std::filesystem::path dir = testing::TempDir();
  const std::string big = (dir / "program_test_big.txt").string();
  {
    std::ofstream file(big, std::ios::binary);
    for (int i = 0; i < 20000; ++i) file << "Zeile " << i << " mit einigen längeren Wörtern\n";
  }
  const std::string err = (dir / "program_test_err.txt").string();
  const std::string status = (dir / "program_test_status.txt").string();
  // the shell reports the filter's own status from inside the pipeline
  const std::string command =
      "sh -c '{ \"$0\" \"$1\" 2>\"$2\"; echo $? >\"$3\"; } | head -c 10 >/dev/null' "
      TEXTQUIRL_CLI_PATH " " + big + " " + err + " " + status;
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto contents = [](const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  EXPECT_EQ(contents(status), "141\n");
  EXPECT_EQ(contents(err), "");
  for (const std::string& path : {big, err, status}) std::filesystem::remove(path);
}

// A big input cut short while the filter still works on it (its output
// waits for a reader): the filter read it whole before it wrote anything,
// so it neither dies (a mapped file cut short raises SIGBUS) nor loses text:
// the result is the one of the untouched file.
TEST(TextquirlCli, AnInputCutShortMeanwhileIsNoCrash) {
  const std::filesystem::path dir = testing::TempDir();
  const std::string big = (dir / "program_test_shrinks.txt").string();
  std::string text;
  for (int i = 0; text.size() < 30'000'000; ++i) text += "Zeile " + std::to_string(i) + " mit einigen längeren Wörtern\n";
  std::ofstream(big, std::ios::binary) << text;
  const Outcome untouched = run_cli({big}, "");
  ASSERT_EQ(untouched.exit_status, 0);

  int out[2], err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    execl(TEXTQUIRL_CLI_PATH, TEXTQUIRL_CLI_PATH, big.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  // Once the pipe holds something the input has been read and the filter
  // is at work on it, soon blocked on the full pipe.
  int waiting = 0;
  for (int i = 0; i < 1000 && waiting == 0; ++i) {
    ioctl(out[0], FIONREAD, &waiting);
    if (waiting == 0) usleep(10'000);
  }
  ASSERT_GT(waiting, 0);
  ASSERT_EQ(truncate(big.c_str(), 100), 0);
  Outcome outcome;
  outcome.out = read_to_end(out[0]);
  outcome.err = read_to_end(err[0]);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::filesystem::remove(big);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(outcome.out == untouched.out) << "the result differs from the untouched file's";
}

// --output on real files: the file's permission bits stay, a symbolic link
// stays and its target gets the result, the file may be the input; on an
// error the file is untouched and no temporary file is left beside it.
TEST(TextquirlCli, OutputReplacesTheFileOnlyWhenAllWentWell) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(testing::TempDir()) / "program_test_output";
  fs::remove_all(dir);
  fs::create_directories(dir / "real");
  const std::string text = "Verwurschtelte Buchstaben bleiben lesbar\n";
  const std::string target = (dir / "real" / "brief.txt").string();
  std::ofstream(target, std::ios::binary) << text;
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  fs::create_symlink("real/brief.txt", dir / "link.txt");
  const std::string link = (dir / "link.txt").string();
  auto contents = [](const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };
  auto entries = [&dir] {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> files_before = entries();

  const Outcome bad = run_cli({link, "-", "-o", link}, "kaputt\xFF");
  EXPECT_EQ(bad.exit_status, 1);
  EXPECT_EQ(bad.err, "textquirl-cli: Ungültiges UTF-8 in der Standardeingabe bei Byte 6 (0xFF): "
                     "dieses Byte kommt in UTF-8 nicht vor. Text in Latin-1 (ISO 8859-1) wandelt „iconv -f latin1 -t utf-8“ vorher in UTF-8 um.\n");
  EXPECT_EQ(contents(target), text);
  EXPECT_EQ(entries(), files_before);

  const Outcome ok = run_cli({link, "--output", link}, "");
  EXPECT_EQ(ok.exit_status, 0) << ok.err;
  EXPECT_EQ(ok.out, "");
  EXPECT_EQ(contents(target), run_cli({}, text).out);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
  EXPECT_EQ(entries(), files_before);

  const Outcome no_dir = run_cli({"-o", (dir / "nirgends" / "x.txt").string()}, text);
  EXPECT_EQ(no_dir.exit_status, 1);
  EXPECT_EQ(no_dir.err, "textquirl-cli: Kann „" + (dir / "nirgends" / "x.txt").string() +
                            "“ nicht schreiben: Datei oder Verzeichnis nicht gefunden.\n");
  fs::remove_all(dir);
}

}  // namespace

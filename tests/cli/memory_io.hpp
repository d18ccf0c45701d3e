// The filter's outside world in memory, for tests and fuzzing: standard
// input, files and both output streams are strings, and any of them can be
// made to fail.
#pragma once

#include <cstddef>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "cli/filter.hpp"

namespace textquirl::cli::testing {

class MemoryIo final : public Io {
 public:
  MemoryIo() = default;
  explicit MemoryIo(std::string input) : standard_input(std::move(input)) {}

  std::string standard_input;
  std::map<std::string, std::string> files;
  std::string stdin_error;              // when set, reading stdin fails with it
  std::string write_error;              // when set, writing stdout fails with it ...
  std::size_t writes_before_error = 0;  // ... after this many writes
  std::string out_of_memory_on;         // reading this input ("-": stdin) throws std::bad_alloc
  std::string open_output_error;         // when set, opening the output file fails with it
  std::string commit_error;              // when set, committing the output file fails with it
  std::string out;
  std::string err;
  std::string output_path;               // the open output file's path, if any
  std::string pending;                   // what was written to the open output file

  IoStatus map_stdin(InputBytes& contents) override {
    contents = InputBytes();
    if (out_of_memory_on == "-") throw std::bad_alloc();
    if (!stdin_error.empty()) return {stdin_error};
    contents.read = std::exchange(standard_input, "");  // a second "-" finds it empty, like a pipe
    return {};
  }
  IoStatus map_file(const std::string& path, InputBytes& contents) override {
    contents = InputBytes();
    if (out_of_memory_on == path) throw std::bad_alloc();
    const auto found = files.find(path);
    if (found == files.end()) return {"Datei oder Verzeichnis nicht gefunden"};
    contents.read = found->second;
    return {};
  }
  IoStatus write_stdout(std::string_view data) override {
    if (!write_error.empty() && writes_before_error-- == 0) return {write_error};
    (output_path.empty() ? out : pending) += data;
    return {};
  }
  IoStatus open_output_file(const std::string& path) override {
    if (!open_output_error.empty()) return {open_output_error};
    output_path = path;
    pending.clear();
    return {};
  }
  const std::string& output_file() const override { return output_path; }
  IoStatus commit_output_file() override {
    if (!commit_error.empty()) return {commit_error};
    files[output_path] = std::exchange(pending, "");
    output_path.clear();
    return {};
  }
  void discard_output_file() override {
    output_path.clear();
    pending.clear();
  }
  void write_stderr(std::string_view message) override { err += message; }
};

}  // namespace textquirl::cli::testing

#include "ui/scramble_command.hpp"

#include <exception>
#include <new>
#include <utility>

#include "cli/utf8.hpp"
#include "engine/scramble.hpp"

namespace textquirl {
namespace {

// The reason given for a word the engine cannot index.
std::u16string_view reason(const WordTooLong& error) {
  switch (error.limit()) {
    case WordTooLong::Limit::kShuffle: return u"Wort zu lang zum Verwurschteln";
    case WordTooLong::Limit::kSplit: return u"Wort zu lang für die Zerlegung in Zeichen";
  }
  return u"Wort zu lang";
}

}  // namespace

ScrambleCommand::Outcome ScrambleCommand::run(std::u16string_view text, const ScrambleOptions& options) {
  // Put back after a failed run, also one whose message could not be made.
  struct PutBack {
    DefaultRandom& random;
    const DefaultRandom before;  // a few kilobytes, no allocation
    bool keep = false;
    ~PutBack() {
      if (!keep) random = before;
    }
  } put_back{random_, random_};
  Outcome outcome = attempt(text, options);
  put_back.keep = outcome.ok;
  return outcome;
}

ScrambleCommand::Outcome ScrambleCommand::attempt(std::u16string_view text, const ScrambleOptions& options) {
  try {
    return {true, scrambler_ ? scrambler_(text, random_) : scramble(text, random_, options)};
  } catch (const std::bad_alloc&) {
    return {false, scramble_failure_message(kOutOfMemoryReason)};
  } catch (const WordTooLong& e) {
    return {false, scramble_failure_message(reason(e))};
  } catch (const std::exception& e) {
    return {false, scramble_failure_message(cli::decode_utf8_lossy(e.what()))};  // what() is UTF-8
  } catch (...) {
    return {false, scramble_failure_message(kUnknownFailureReason)};
  }
}

void ScrambleCommand::set_scrambler(Scrambler scrambler) { scrambler_ = std::move(scrambler); }

}  // namespace textquirl

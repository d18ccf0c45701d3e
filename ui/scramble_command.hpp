// The scramble command both windows run when Command1 is pressed, free of
// any toolkit: the window hands in its text (line breaks as CR LF) and gets
// back either the scrambled text, still with CR LF line breaks, for the
// clipboard, or the German text of the message box that says why not.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/options.hpp"
#include "engine/random_source.hpp"
#include "ui/scramble_failure.hpp"

namespace textquirl {

class ScrambleCommand {
 public:
  // Turns a text with CR LF line breaks into its scrambled form, drawing
  // from the command's generator. May throw.
  using Scrambler = std::function<std::u16string(std::u16string_view, RandomSource&)>;

  struct Outcome {
    bool ok;
    // ok: the scrambled text. Otherwise the whole message for the user:
    // that the scramble failed, the reason, and that nothing was changed.
    std::u16string text;
  };

  // The engine with a DefaultRandom made here and never seeded, so the n-th
  // run after a fresh start gives the engine's n-th scramble.
  ScrambleCommand() = default;

  // Scrambles `text` with `options` (the classic scramble by default; the
  // context menu's command asks for Mode::careful), drawing from the same
  // generator whatever the options. Out of memory, an exception of the engine or anything
  // else thrown becomes a failed Outcome (only a message too large for the
  // memory left could still throw std::bad_alloc). A failed run draws
  // nothing: the generator goes back to where it stood before, so the n-th
  // successful run after a start gives the same text in every front end
  // (the web page's included).
  //   run(a) ok, run(b) fails, run(c) == what run(c) gives right after run(a)
  Outcome run(std::u16string_view text, const ScrambleOptions& options = {});

  // Replaces the scrambler that run() calls (a seam for tests); an empty
  // function restores the engine, scramble().
  void set_scrambler(Scrambler scrambler);

 private:
  Outcome attempt(std::u16string_view text, const ScrambleOptions& options);

  DefaultRandom random_;
  Scrambler scrambler_;
};

}  // namespace textquirl

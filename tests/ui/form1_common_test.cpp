// Tests of what both windows share: the layout table, captions and
// addresses, roles, names and keys, and the scramble command with its
// failure messages.

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "engine/scramble.hpp"
#include "ui/form1_access.hpp"
#include "ui/form1_layout.hpp"
#include "ui/scramble_command.hpp"

namespace {

using textquirl::RandomSource;
using textquirl::ScrambleCommand;
using textquirl::layout::ControlId;
using textquirl::layout::Rect;

Rect pixels_of(ControlId id, int dpi) {
  return textquirl::layout::pixels(textquirl::layout::control(id).twips, dpi);
}

TEST(Layout, PixelsAtDpi) {
  using textquirl::layout::twips_to_pixels;
  // 96 DPI: the window's well-known pixel layout
  EXPECT_EQ(twips_to_pixels(textquirl::layout::kClientWidthTwips, 96), 546);
  EXPECT_EQ(twips_to_pixels(textquirl::layout::kClientHeightTwips, 96), 437);
  EXPECT_EQ(pixels_of(ControlId::Text1, 96), (Rect{8, 8, 529, 369}));
  EXPECT_EQ(pixels_of(ControlId::Command1, 96), (Rect{8, 384, 529, 33}));
  EXPECT_EQ(pixels_of(ControlId::Label1, 96), (Rect{16, 420, 137, 17}));
  EXPECT_EQ(pixels_of(ControlId::Label3, 96), (Rect{152, 420, 137, 17}));
  EXPECT_EQ(pixels_of(ControlId::Label2, 96), (Rect{304, 420, 233, 17}));

  // 192 DPI doubles everything; 120 and 144 round to the nearest pixel
  EXPECT_EQ(pixels_of(ControlId::Label2, 192), (Rect{608, 840, 466, 34}));
  EXPECT_EQ(pixels_of(ControlId::Text1, 120), (Rect{10, 10, 661, 461}));
  EXPECT_EQ(pixels_of(ControlId::Text1, 144), (Rect{12, 12, 794, 554}));
}

TEST(Layout, ControlsCaptionsAndLinks) {
  // tab order, names and distinct IDs
  std::u16string names;
  for (const auto& c : textquirl::layout::kControls) {
    names += c.name;
    names += u' ';
    EXPECT_EQ(&textquirl::layout::control(c.id), &c);
  }
  EXPECT_EQ(names, u"Text1 Command1 Label1 Label2 Label3 ");

  using textquirl::layout::caption;
  using textquirl::layout::link_target;
  EXPECT_EQ(caption(ControlId::Text1), u"");
  EXPECT_EQ(caption(ControlId::Command1), u"Verwurschteln und in Zwischenablage kopieren");
  EXPECT_NE(caption(ControlId::Label1), u"");
  EXPECT_EQ(caption(ControlId::Label2), u"http://example.org/computer/programme/");
  EXPECT_EQ(caption(ControlId::Label3), u"(info@example.org)");
  EXPECT_EQ(link_target(ControlId::Label2), caption(ControlId::Label2));
  EXPECT_EQ(link_target(ControlId::Label3), u"mailto:info@example.org");
  EXPECT_EQ(link_target(ControlId::Label1), u"");
}

TEST(Access, RolesNamesAndTabOrder) {
  namespace access = textquirl::access;
  using access::Role;
  EXPECT_EQ(access::kWindowName, u"Textquirl");
  EXPECT_EQ(access::role(ControlId::Text1), Role::EditableText);
  EXPECT_EQ(access::role(ControlId::Command1), Role::PushButton);
  EXPECT_EQ(access::role(ControlId::Label1), Role::StaticText);
  EXPECT_EQ(access::name(ControlId::Text1), u"Text zum Verwurschteln");
  for (const auto& c : textquirl::layout::kControls) {
    const bool link = c.kind == textquirl::layout::ControlKind::LinkLabel;
    EXPECT_EQ(access::role(c.id) == Role::Link, link);
    if (c.id != ControlId::Text1) {
      EXPECT_EQ(access::name(c.id), textquirl::layout::caption(c.id));
    }
    EXPECT_EQ(access::description(c.id), link ? textquirl::layout::link_target(c.id) : u"");
    const auto action = access::action(c.id);
    EXPECT_EQ(action ? action->name : u"", link ? u"jump" : c.id == ControlId::Command1 ? u"press" : u"");
  }

  // Tab from each control walks the whole order and comes back; Shift+Tab
  // walks it backwards; from the window (or Label1) Tab starts at either end
  EXPECT_EQ(access::kTabOrder, (std::array{ControlId::Text1, ControlId::Command1,
                                           ControlId::Label2, ControlId::Label3}));
  for (std::size_t i = 0; i < access::kTabOrder.size(); ++i) {
    const ControlId here = access::kTabOrder[i];
    const ControlId next = access::kTabOrder[(i + 1) % access::kTabOrder.size()];
    EXPECT_EQ(access::next_in_tab_order(here, false), next);
    EXPECT_EQ(access::next_in_tab_order(next, true), here);
  }
  EXPECT_EQ(access::next_in_tab_order(std::nullopt, false), ControlId::Text1);
  EXPECT_EQ(access::next_in_tab_order(ControlId::Label1, true), ControlId::Label3);
}

TEST(Access, Keys) {
  namespace access = textquirl::access;
  using access::Key;
  using Kind = access::KeyResponse::Kind;
  // Escape is swallowed everywhere, with any modifier
  for (const auto& c : textquirl::layout::kControls) {
    for (unsigned m : {unsigned{access::kNoModifier}, access::kCtrl | access::kShift})
      EXPECT_EQ(access::respond_to_key(c.id, Key::Escape, m, false).kind, Kind::Swallow);
  }
  // the other keys: focus moves, clicks, and what goes on to the control
  // (a held key's repeats click nothing; Space on the button is its own)
  struct Case {
    ControlId focused;
    Key key;
    unsigned modifiers;
    bool repeat;
    access::KeyResponse expected;
  };
  const unsigned none = access::kNoModifier;
  const Case cases[] = {
      {ControlId::Command1, Key::Tab, none, true, {Kind::Focus, ControlId::Label2}},
      {ControlId::Text1, Key::Tab, access::kShift, false, {Kind::Focus, ControlId::Label3}},
      {ControlId::Text1, Key::Enter, access::kCtrl, false, {Kind::Click, ControlId::Command1}},
      {ControlId::Text1, Key::Enter, none, false, {Kind::PassOn, {}}},
      {ControlId::Text1, Key::Space, none, false, {Kind::PassOn, {}}},
      {ControlId::Command1, Key::Enter, none, false, {Kind::Click, ControlId::Command1}},
      {ControlId::Command1, Key::Enter, none, true, {Kind::Swallow, {}}},
      {ControlId::Command1, Key::Enter, access::kAlt, false, {Kind::PassOn, {}}},
      {ControlId::Command1, Key::Space, none, false, {Kind::PassOn, {}}},
      {ControlId::Label2, Key::Enter, none, false, {Kind::Click, ControlId::Label2}},
      {ControlId::Label3, Key::Space, none, false, {Kind::Click, ControlId::Label3}},
      {ControlId::Label3, Key::Enter, none, true, {Kind::Swallow, {}}},
      {ControlId::Label3, Key::Enter, access::kCtrl, false, {Kind::PassOn, {}}},
      // the button's context menu; Text1 keeps its own
      {ControlId::Command1, Key::ContextMenu, none, false, {Kind::Menu, ControlId::Command1}},
      {ControlId::Command1, Key::F10, access::kShift, false, {Kind::Menu, ControlId::Command1}},
      {ControlId::Command1, Key::F10, none, false, {Kind::PassOn, {}}},
      {ControlId::Command1, Key::ContextMenu, none, true, {Kind::Swallow, {}}},
      {ControlId::Text1, Key::ContextMenu, none, false, {Kind::PassOn, {}}},
  };
  for (const Case& c : cases) {
    const access::KeyResponse got = access::respond_to_key(c.focused, c.key, c.modifiers, c.repeat);
    EXPECT_EQ(got.kind, c.expected.kind) << static_cast<int>(c.focused) << " " << static_cast<int>(c.key);
    if (c.expected.kind == Kind::Focus || c.expected.kind == Kind::Click || c.expected.kind == Kind::Menu) {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(ScrambleCommand, RunsTheEngineFromAFreshGenerator) {
  const std::u16string text =
      u"Größere Wörter lassen sich überraschend gut lesen,\r\nauch mit 😀 dazwischen.";
  ScrambleCommand command;
  textquirl::DefaultRandom random;
  for (int press = 1; press <= 3; ++press) {
    const ScrambleCommand::Outcome outcome = command.run(text);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.text, textquirl::scramble(text, random)) << "press " << press;
    EXPECT_NE(outcome.text.find(u" \r\n"), std::u16string::npos);
  }
  EXPECT_EQ(command.run(u"").text, u"");

  // The context menu's careful scramble draws from the same generator.
  textquirl::ScrambleOptions careful;
  careful.mode = textquirl::Mode::careful;
  EXPECT_EQ(command.run(text, careful).text, textquirl::scramble(text, random, careful));
  EXPECT_EQ(command.run(text).text, textquirl::scramble(text, random));
}

TEST(ScrambleCommand, FailuresBecomeGermanMessages) {
  struct Case {
    ScrambleCommand::Scrambler scrambler;
    std::u16string reason;
  };
  const Case cases[] = {
      {[](std::u16string_view, RandomSource&) -> std::u16string { throw std::bad_alloc(); },
       u"Der Text ist zu groß für den verfügbaren Speicher."},
      // UTF-8 is decoded; a stray byte becomes U+FFFD
      {[](std::u16string_view, RandomSource&) -> std::u16string { throw std::length_error("Wört \xFF zu lang 😀"); },
       u"Wört \uFFFD zu lang 😀"},
      {[](std::u16string_view, RandomSource&) -> std::u16string { throw 42; },
       u"Ein unbekannter Fehler ist aufgetreten."},
  };
  for (const Case& c : cases) {
    ScrambleCommand command;
    command.set_scrambler(c.scrambler);
    const ScrambleCommand::Outcome outcome = command.run(u"Mein wertvoller Text");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.text, u"Der Text konnte nicht verwurschtelt werden.\n\n" + c.reason +
                                u"\n\nDer Text im Fenster und die Zwischenablage sind unverändert.");

    // the engine is back, its generator untouched by the failed attempt
    command.set_scrambler({});
    textquirl::DefaultRandom random;
    EXPECT_EQ(command.run(u"Mein wertvoller Text").text,
              textquirl::scramble(u"Mein wertvoller Text", random));
  }
}

// A random source that hands on a real one's values and runs out of memory
// after `draws` of them, as the engine can midway through a long text.
class FailsAfterDrawing final : public RandomSource {
 public:
  FailsAfterDrawing(RandomSource& real, int draws) : real_(real), left_(draws) {}
  float next() override {
    if (left_-- == 0) throw std::bad_alloc();
    return real_.next();
  }

 private:
  RandomSource& real_;
  int left_;
};

// A failed press draws nothing: the presses that succeed give the engine's
// scrambles in order, as if the failed ones had never been, and as the web
// page gives them.
TEST(ScrambleCommand, AFailedRunDrawsNothing) {
  const std::u16string text = u"Verwurschtelte Buchstaben bleiben überraschend lesbar";
  ScrambleCommand command;
  textquirl::DefaultRandom random;
  for (int press = 1; press <= 3; ++press) {
    command.set_scrambler([](std::u16string_view t, RandomSource& real) {
      FailsAfterDrawing failing(real, 5);
      return textquirl::scramble(t, failing);
    });
    EXPECT_FALSE(command.run(text).ok);
    command.set_scrambler({});
    EXPECT_EQ(command.run(text).text, textquirl::scramble(text, random)) << "press " << press;
  }
}

}  // namespace

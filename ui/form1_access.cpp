#include "ui/form1_access.hpp"

#include <algorithm>
#include <iterator>

namespace textquirl::access {

Role role(ControlId id) {
  switch (layout::control(id).kind) {
    case ControlKind::TextBox: return Role::EditableText;
    case ControlKind::Button: return Role::PushButton;
    case ControlKind::Label: return Role::StaticText;
    case ControlKind::LinkLabel: return Role::Link;
  }
  return Role::StaticText;  // unreachable: every kind has a role
}

std::u16string name(ControlId id) {
  return id == ControlId::Text1 ? std::u16string(kText1Name) : layout::caption(id);
}

std::u16string description(ControlId id) { return layout::link_target(id); }

std::optional<Action> action(ControlId id) {
  switch (role(id)) {
    case Role::PushButton: return kButtonAction;
    case Role::Link: return kLinkAction;
    default: return std::nullopt;
  }
}

ControlId next_in_tab_order(std::optional<ControlId> from, bool backwards) {
  const auto at = from ? std::find(kTabOrder.begin(), kTabOrder.end(), *from) : kTabOrder.end();
  if (at == kTabOrder.end()) return backwards ? kTabOrder.back() : kTabOrder.front();
  const auto index = static_cast<std::size_t>(std::distance(kTabOrder.begin(), at));
  const std::size_t n = kTabOrder.size();
  return kTabOrder[backwards ? (index + n - 1) % n : (index + 1) % n];
}

namespace {

bool focus_matches(Where where, std::optional<ControlId> focused) {
  switch (where) {
    case Where::Anywhere: return true;
    case Where::Text1: return focused == ControlId::Text1;
    case Where::Command1: return focused == ControlId::Command1;
    case Where::Link: return focused && layout::control(*focused).kind == ControlKind::LinkLabel;
  }
  return false;
}

}  // namespace

KeyAction key_action(std::optional<ControlId> focused, Key key, unsigned modifiers) {
  for (const KeyBinding& b : kKeyBindings) {
    if (b.key == key && (b.modifiers == kAnyModifiers || b.modifiers == modifiers) &&
        focus_matches(b.where, focused)) {
      return b.action;
    }
  }
  return KeyAction::PassOn;
}

KeyResponse respond_to_key(std::optional<ControlId> focused, Key key, unsigned modifiers,
                           bool repeat) {
  using Kind = KeyResponse::Kind;
  const KeyAction action = key_action(focused, key, modifiers);
  switch (action) {
    case KeyAction::PassOn: break;
    case KeyAction::Nothing: return {Kind::Swallow, {}};
    case KeyAction::FocusNext:
    case KeyAction::FocusPrevious:
      return {Kind::Focus, next_in_tab_order(focused, action == KeyAction::FocusPrevious)};
    case KeyAction::PressCommand1:
      return repeat ? KeyResponse{Kind::Swallow, {}} : KeyResponse{Kind::Click, ControlId::Command1};
    case KeyAction::OpenLink:
      return repeat ? KeyResponse{Kind::Swallow, {}} : KeyResponse{Kind::Click, *focused};
    case KeyAction::OpenMenu:
      return repeat ? KeyResponse{Kind::Swallow, {}} : KeyResponse{Kind::Menu, *focused};
  }
  return {Kind::PassOn, {}};
}

}  // namespace textquirl::access

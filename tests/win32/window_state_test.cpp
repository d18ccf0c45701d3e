// The ownership rule of a window's state (ui/win32/window_state.hpp): freed
// exactly once whether the window is made and destroyed, fails in
// WM_CREATE (Windows then sends WM_NCDESTROY before CreateWindowExW returns)
// or fails in WM_NCCREATE, before it takes the state.
#include "ui/win32/window_state.hpp"

#include <gtest/gtest.h>

namespace textquirl::win32 {
namespace {

struct State {
  static inline int alive = 0;
  static inline int freed = 0;
  bool fail_create = false;
  bool fail_nccreate = false;
  State() { ++alive; }
  ~State() {
    --alive;
    ++freed;
  }
};

LRESULT CALLBACK TestProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* handoff =
          static_cast<StateHandoff<State>*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
      if (handoff->state->fail_nccreate) return FALSE;
      adopt_state<State>(hwnd, lparam);
      break;
    }
    case WM_CREATE:
      return state_of<State>(hwnd)->fail_create ? -1 : 0;
    case WM_NCDESTROY:
      release_state<State>(hwnd);
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// Creates a window of the test class from a fresh handoff; returns the
// window and whether the handoff still held the state afterwards.
std::pair<HWND, bool> create(bool fail_nccreate, bool fail_create) {
  static const ATOM window_class = [] {
    WNDCLASSEXW c = {};
    c.cbSize = sizeof c;
    c.lpfnWndProc = TestProc;
    c.hInstance = GetModuleHandleW(nullptr);
    c.lpszClassName = L"TextquirlWindowStateTest";
    return RegisterClassExW(&c);
  }();
  EXPECT_NE(window_class, 0);
  StateHandoff<State> handoff{std::make_unique<State>()};
  handoff.state->fail_nccreate = fail_nccreate;
  handoff.state->fail_create = fail_create;
  // A message-only window: the same messages from creation to destruction,
  // and no display needed.
  const HWND hwnd = CreateWindowExW(0, L"TextquirlWindowStateTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, GetModuleHandleW(nullptr), &handoff);
  return {hwnd, handoff.state != nullptr};
}

TEST(WindowState, FreedExactlyOnceHoweverCreationGoes) {
  struct Case {
    const char* what;
    bool fail_nccreate, fail_create;
    bool made;
  };
  for (const Case& c : {Case{"made and destroyed", false, false, true},
                        Case{"WM_CREATE fails", false, true, false},
                        Case{"WM_NCCREATE fails", true, false, false}}) {
    SCOPED_TRACE(c.what);
    State::freed = 0;
    const auto [hwnd, handoff_kept_it] = create(c.fail_nccreate, c.fail_create);
    EXPECT_EQ(hwnd != nullptr, c.made);
    EXPECT_EQ(handoff_kept_it, c.fail_nccreate);
    if (hwnd) {
      EXPECT_EQ(State::alive, 1);
      EXPECT_NE(state_of<State>(hwnd), nullptr);
      EXPECT_TRUE(DestroyWindow(hwnd));
    }
    EXPECT_EQ(State::alive, 0);
    EXPECT_EQ(State::freed, 1);
  }
}

}  // namespace
}  // namespace textquirl::win32

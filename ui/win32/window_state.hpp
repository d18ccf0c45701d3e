// Who owns a window's state object, from creation to destruction, so that it
// is freed exactly once however the creation goes. The creator holds it in a
// StateHandoff passed as CreateWindowExW's parameter; the window takes it in
// WM_NCCREATE (adopt_state) and frees it in WM_NCDESTROY (release_state),
// which Windows also sends when WM_CREATE fails. A window that never got to
// WM_NCCREATE leaves it in the handoff, whose destructor frees it. The
// creator never touches the state after CreateWindowExW unless the window
// exists.
#pragma once

#include <windows.h>

#include <memory>

namespace textquirl::win32 {

// The parameter of CreateWindowExW (lpParam: &handoff) for a window whose
// state is a `State`.
template <class State>
struct StateHandoff {
  std::unique_ptr<State> state;
};

// For WM_NCCREATE of `hwnd`, whose `lparam` is the CREATESTRUCTW: the window
// takes the state out of the handoff and keeps it in GWLP_USERDATA.
// Returns it (nullptr if the handoff held none).
template <class State>
State* adopt_state(HWND hwnd, LPARAM lparam) {
  auto* handoff = static_cast<StateHandoff<State>*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
  State* state = handoff->state.release();
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return state;
}

// The state `hwnd` owns: nullptr before WM_NCCREATE and after WM_NCDESTROY.
template <class State>
State* state_of(HWND hwnd) {
  return reinterpret_cast<State*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// For WM_NCDESTROY of `hwnd`: frees the state it owns; it owns none after.
template <class State>
void release_state(HWND hwnd) {
  delete state_of<State>(hwnd);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
}

}  // namespace textquirl::win32

#include "ui/win32/accessible.hpp"

#include <oleacc.h>

#include <new>
#include <optional>
#include <string>

#include "ui/form1_access.hpp"

namespace textquirl::win32 {
namespace {

using access::Role;

LONG msaa_role(Role role) {
  switch (role) {
    case Role::Window: return ROLE_SYSTEM_WINDOW;
    case Role::EditableText: return ROLE_SYSTEM_TEXT;
    case Role::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case Role::StaticText: return ROLE_SYSTEM_STATICTEXT;
    case Role::Link: return ROLE_SYSTEM_LINK;
  }
  return ROLE_SYSTEM_CLIENT;
}

HRESULT string_result(std::u16string_view text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

bool is_self(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object of the control's window class answers everything but
// the role, the name, the description, the default action of the button and
// the links, and a link's state.
class ControlAccessible final : public IAccessible, public IOleWindow {
 public:
  ControlAccessible(HWND control, layout::ControlId id, IAccessible* standard)
      : control_(control), id_(id), standard_(standard) {}
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  // IOleWindow: the control's window, for WindowFromAccessibleObject.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = control_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override {
    return standard_->Invoke(id, iid, lcid, flags, params, result, exception, arg_error);
  }

  // IAccessible: what this window says of itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!is_self(child)) return standard_->get_accName(child, name);
    return string_result(access::name(id_), name);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!is_self(child)) return standard_->get_accRole(child, role);
    if (!role) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = msaa_role(access::role(id_));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    const std::u16string text = access::description(id_);
    if (!is_self(child) || text.empty()) return standard_->get_accDescription(child, description);
    return string_result(text, description);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && is_self(child) && is_link() && state->vt == VT_I4) {
      state->lVal |= STATE_SYSTEM_LINKED | STATE_SYSTEM_FOCUSABLE;
      if (GetFocus() == control_) state->lVal |= STATE_SYSTEM_FOCUSED;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    const std::optional<access::Action> own = access::action(id_);
    if (!is_self(child) || !own) return standard_->get_accDefaultAction(child, action);
    return string_result(own->label, action);
  }
  // What a click does, posted, so that the caller, often another process, is
  // not kept waiting while the button scrambles or the shell starts a browser.
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!is_self(child) || !access::action(id_)) return standard_->accDoDefaultAction(child);
    const int id = static_cast<int>(id_);
    const WORD code = is_link() ? STN_CLICKED : BN_CLICKED;
    return PostMessageW(GetParent(control_), WM_COMMAND, MAKEWPARAM(id, code),
                        reinterpret_cast<LPARAM>(control_))
               ? S_OK
               : HRESULT_FROM_WIN32(GetLastError());
  }

  // IAccessible: the rest as the standard object answers it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
    return standard_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~ControlAccessible() { standard_->Release(); }
  bool is_link() const { return access::role(id_) == Role::Link; }

  HWND control_;
  layout::ControlId id_;
  IAccessible* standard_;  // owned: one reference
  LONG references_ = 1;
};

}  // namespace

LRESULT accessible_object(HWND control, layout::ControlId id, WPARAM wparam, LPARAM lparam) {
  // OBJID_CLIENT may arrive sign-extended or not.
  if (static_cast<LONG>(static_cast<DWORD>(lparam)) != OBJID_CLIENT) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* object = new (std::nothrow) ControlAccessible(control, id, standard);
  if (!object) {
    standard->Release();
    return 0;
  }
  const LRESULT result = LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(object));
  object->Release();
  return result;
}

}  // namespace textquirl::win32

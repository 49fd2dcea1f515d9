// The controls' accessible objects: the standard window object with the control's own role, name and value.
#include "ControlAccessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>

namespace morvex::win32 {

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A caption as it is read: "&Test" is "Test", "&&" one "&".
std::wstring WithoutAccessKey(const std::wstring& caption) {
  std::wstring read;
  for (size_t at = 0; at < caption.size(); ++at) {
    if (caption[at] == L'&' && at + 1 < caption.size()) ++at;
    read += caption[at];
  }
  return read;
}

// The label that names a box: the static control just before it, as screen readers look for an edit box's.
std::wstring LabelOf(HWND control) {
  HWND before = GetWindow(control, GW_HWNDPREV);
  wchar_t className[16] = {};
  if (before != nullptr && GetClassNameW(before, className, 16) > 0 && lstrcmpiW(className, L"Static") == 0) {
    return WithoutAccessKey(TextOf(before));
  }
  return {};
}

std::wstring NameOf(HWND control, const AccessibleFacts& facts) {
  switch (facts.nameFrom) {
    case AccessibleName::kOwnText: return WithoutAccessKey(TextOf(control));
    case AccessibleName::kLabelBefore: return LabelOf(control);
    case AccessibleName::kFixed: break;
  }
  return facts.fixedName;
}

// IID_IAccessible is oleacc.dll's data; linked without dllimport, as MinGW's import library offers it, the name
// would be the import stub's code. The compiler's own copy of the identifier has no such trap.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(HWND control, const AccessibleFacts& facts, IAccessible* standard)
      : control_(control), facts_(facts), standard_(standard) {}
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(riid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    return standard_->Invoke(id, riid, locale, flags, parameters, result, exception, argumentError);
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) return standard_->get_accName(child, name);
    if (name == nullptr) return E_POINTER;
    const std::wstring text = NameOf(control_, facts_);
    *name = SysAllocString(text.c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!IsSelf(child) || !facts_.textIsValue) return standard_->get_accValue(child, value);
    if (value == nullptr) return E_POINTER;
    const auto length = static_cast<UINT>(SendMessageW(control_, WM_GETTEXTLENGTH, 0, 0));
    *value = SysAllocStringLen(nullptr, length);
    if (*value == nullptr) return E_OUTOFMEMORY;
    SendMessageW(control_, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(*value));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) return standard_->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    role->vt = VT_I4;
    role->lVal = facts_.role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && facts_.readOnly && IsSelf(child) && state->vt == VT_I4) {
      state->lVal |= STATE_SYSTEM_READONLY;
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return standard_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
    return standard_->get_accHelp(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    return standard_->get_accKeyboardShortcut(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override {
    return standard_->get_accDefaultAction(child, text);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return standard_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
    return standard_->accHitTest(left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return standard_->accDoDefaultAction(child); }
  // Neither the name nor the value is set through a screen reader; a text box takes its text from the keyboard.
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~ControlAccessible() { standard_->Release(); }

  HWND control_;
  AccessibleFacts facts_;
  IAccessible* standard_;
  LONG references_ = 1;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND control, WPARAM wParam, const AccessibleFacts& facts) {
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* accessible = new ControlAccessible(control, facts, standard);
  const LRESULT reference = LresultFromObject(__uuidof(IAccessible), wParam, accessible);
  accessible->Release();
  return reference;
}

namespace {

LRESULT CALLBACK AnsweringProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR data) {
  const auto* facts = reinterpret_cast<const AccessibleFacts*>(data);
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
    if (const LRESULT reference = AnswerAccessibleObject(control, wParam, *facts); reference != 0) return reference;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(control, AnsweringProc, id);
    delete facts;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

void AnswerScreenReaders(HWND control, const AccessibleFacts& facts) {
  auto* kept = new AccessibleFacts(facts);
  if (!SetWindowSubclass(control, AnsweringProc, 1, reinterpret_cast<DWORD_PTR>(kept))) delete kept;
}

}  // namespace morvex::win32

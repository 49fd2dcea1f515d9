// The results box's accessible object: the standard window object with a text's role, state, name and value.
#include "ReportViewAccessible.h"

#include <oleacc.h>

#include <string>

namespace morvex::win32 {

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The label that names the box: the static control just before it, as screen readers look for an edit box's.
std::wstring LabelOf(HWND view) {
  HWND before = GetWindow(view, GW_HWNDPREV);
  wchar_t className[16] = {};
  if (before != nullptr && GetClassNameW(before, className, 16) > 0 && lstrcmpiW(className, L"Static") == 0) {
    std::wstring label(static_cast<size_t>(GetWindowTextLengthW(before)) + 1, L'\0');
    label.resize(static_cast<size_t>(GetWindowTextW(before, label.data(), static_cast<int>(label.size()))));
    if (!label.empty()) return label;
  }
  return L"Results";
}

// IID_IAccessible is oleacc.dll's data; linked without dllimport, as MinGW's import library offers it, the name
// would be the import stub's code. The compiler's own copy of the identifier has no such trap.
class TextAccessible final : public IAccessible {
 public:
  TextAccessible(HWND view, IAccessible* standard) : view_(view), standard_(standard) {}
  TextAccessible(const TextAccessible&) = delete;
  TextAccessible& operator=(const TextAccessible&) = delete;

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
    *name = SysAllocString(LabelOf(view_).c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!IsSelf(child)) return standard_->get_accValue(child, value);
    if (value == nullptr) return E_POINTER;
    const auto length = static_cast<UINT>(SendMessageW(view_, WM_GETTEXTLENGTH, 0, 0));
    *value = SysAllocStringLen(nullptr, length);
    if (*value == nullptr) return E_OUTOFMEMORY;
    SendMessageW(view_, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(*value));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) return standard_->get_accRole(child, role);
    if (role == nullptr) return E_POINTER;
    role->vt = VT_I4;
    role->lVal = ROLE_SYSTEM_TEXT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && IsSelf(child) && state->vt == VT_I4) state->lVal |= STATE_SYSTEM_READONLY;
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
  // Read-only: neither the name nor the value can be set.
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~TextAccessible() { standard_->Release(); }

  HWND view_;
  IAccessible* standard_;
  LONG references_ = 1;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND view, WPARAM wParam) {
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(view, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* accessible = new TextAccessible(view, standard);
  const LRESULT reference = LresultFromObject(__uuidof(IAccessible), wParam, accessible);
  accessible->Release();
  return reference;
}

}  // namespace morvex::win32

// Texts and references across the automation boundary: UTF-8 to BSTR and back, and an owning interface pointer.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace morvex::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as the registry and users see a class or interface identifier.
std::wstring GuidText(const GUID& guid);

// A fresh BSTR of the UTF-8 text (ill-formed bytes become U+FFFD). Throws std::bad_alloc.
BSTR NewBstr(std::string_view utf8);

// The UTF-8 of a BSTR (null is empty; a lone surrogate becomes U+FFFD), into out. False, out unchanged, when
// the text is longer than kLongestText units: no page text comes near it, and a server handing one over is
// broken.
inline constexpr size_t kLongestText = size_t{1} << 26;
bool AssignUtf8(std::string& out, BSTR text);

// Frees a BSTR on every path out of a scope.
class OwnedBstr {
 public:
  OwnedBstr() = default;
  ~OwnedBstr() { SysFreeString(text_); }
  OwnedBstr(const OwnedBstr&) = delete;
  OwnedBstr& operator=(const OwnedBstr&) = delete;
  BSTR Get() const { return text_; }
  BSTR* Out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }

 private:
  BSTR text_ = nullptr;
};

// Holds one reference to an interface and gives it back once.
template <typename Interface>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;

  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For calls that hand out a new reference.
  Interface** Out() {
    Reset();
    return &pointer_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  void Reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace morvex::com

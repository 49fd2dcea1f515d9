// PageServerDispatch: any page-automation server offered to automation clients through IDispatch.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <memory>

#include "PageAutomation.h"

namespace morvex::com {

// Our page server's identity: the class, its ProgIDs, its automation interface and its type library.
inline constexpr CLSID kPageFilesClsid = {0xc6cf7c41, 0xfeb0, 0x421c, {0x80, 0x72, 0x3a, 0xdc, 0x90, 0x74, 0x40, 0xc7}};
inline constexpr IID kPageServerDiid = {0x3f97c9a8, 0xb9fa, 0x44ed, {0x8f, 0xe6, 0x5e, 0x3b, 0x0c, 0xa3, 0x29, 0x61}};
inline constexpr GUID kPageServerLibid = {0x652e1098, 0xd72b, 0x4218, {0xa1, 0xb2, 0x89, 0x3b, 0xda, 0xce, 0x77, 0xc6}};
inline constexpr const wchar_t* kPageFilesProgId = L"Morvex.PageFiles";
inline constexpr const wchar_t* kPageFilesVersionedProgId = L"Morvex.PageFiles.1";
// The same server in a process of its own (morvex-pages-local.exe): a class of its own, so that both can be
// registered at once and a client chooses by name.
inline constexpr CLSID kLocalPageFilesClsid = {0x5d1e0a73, 0x2c4b, 0x4f8e, {0x9a, 0x61, 0x0b, 0x7e, 0x33, 0xd2, 0x58, 0xc4}};
inline constexpr const wchar_t* kLocalPageFilesProgId = L"Morvex.LocalPageFiles";

// The automation interface's description from the type library in file (our DLL holds it as a resource).
HRESULT LoadPageServerTypeInfo(const wchar_t* file, ITypeInfo** typeInfo);

// Calls arrive as an automation client makes them: inputs by value or by reference, of any type that converts;
// outputs by reference to a VARIANT or to a value of a type the output converts to. An operation that fails
// answers False and leaves its outputs untouched; an error the server raises becomes DISP_E_EXCEPTION with its
// description.
class PageServerDispatch final : public IDispatch {
 public:
  // Hands out the interface iid of a new object over server. Without typeInfo the object says it has none.
  static HRESULT Create(std::unique_ptr<PageAutomation> server, ITypeInfo* typeInfo, REFIID iid, void** object);
  // Objects alive in this process, for DllCanUnloadNow.
  static long LiveObjects() { return live_.load(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

 private:
  PageServerDispatch(std::unique_ptr<PageAutomation> server, ITypeInfo* typeInfo);
  ~PageServerDispatch();

  HRESULT InvokeOperation(DISPID id, DISPPARAMS& parameters, VARIANT* result, UINT* argumentError);

  std::atomic<ULONG> references_{1};
  std::unique_ptr<PageAutomation> server_;
  ITypeInfo* typeInfo_;
  static std::atomic<long> live_;
};

// What both of our class factories share: one object that lives as long as its module (the DLL, or the local
// server's process), so counting references on it would only say what LockServer already says.
class ModuleClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace morvex::com

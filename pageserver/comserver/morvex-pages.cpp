// morvex-pages.dll: our page-file server as an in-process COM server, with its class factory, its self-
// registration per machine or per user, and the exports COM and regsvr32 call.
#include <atomic>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "PageServerDispatch.h"  // windows.h first, for olectl.h
#include <olectl.h>

#include "PageFileServer.h"
#include "Registration.h"

namespace {

using morvex::com::PageServerDispatch;
using morvex::com::RegistrationScope;

HMODULE g_module = nullptr;
std::atomic<long> g_serverLocks{0};

std::wstring ModuleFile() {
  std::wstring file(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, file.data(), static_cast<DWORD>(file.size()));
    if (length == 0) return {};
    if (length < file.size()) {
      file.resize(length);
      return file;
    }
    file.resize(file.size() * 2);
  }
}

// LockServer is what keeps the DLL.
class PageFilesFactory final : public morvex::com::ModuleClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ITypeInfo* typeInfo = nullptr;
    const std::wstring file = ModuleFile();
    // Without its type information the server still works; clients then pass VARIANTs for the outputs.
    if (!file.empty()) morvex::com::LoadPageServerTypeInfo(file.c_str(), &typeInfo);
    HRESULT hr = E_OUTOFMEMORY;
    try {
      hr = PageServerDispatch::Create(std::make_unique<morvex::PageFileServer>(), typeInfo, iid, object);
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    } catch (...) {
      hr = E_UNEXPECTED;
    }
    if (typeInfo != nullptr) typeInfo->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) ++g_serverLocks;
    else --g_serverLocks;
    return S_OK;
  }
};

PageFilesFactory g_factory;

HRESULT Register(RegistrationScope scope) {
  const std::wstring file = ModuleFile();
  if (file.empty()) return SELFREG_E_CLASS;
  return FAILED(morvex::com::RegisterPageServer(scope, file)) ? SELFREG_E_CLASS : S_OK;
}

HRESULT Unregister(RegistrationScope scope) {
  return FAILED(morvex::com::UnregisterPageServer(scope)) ? SELFREG_E_CLASS : S_OK;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, morvex::com::kPageFilesClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return PageServerDispatch::LiveObjects() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE;
}

// regsvr32 FILE: per machine.
HRESULT STDAPICALLTYPE DllRegisterServer() { return Register(RegistrationScope::kMachine); }
HRESULT STDAPICALLTYPE DllUnregisterServer() { return Unregister(RegistrationScope::kMachine); }

// regsvr32 /n /i:user FILE (per user, under HKEY_CURRENT_USER\Software\Classes) and /u /n /i:user to undo;
// /i:machine or no text at all is per machine.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  RegistrationScope scope = RegistrationScope::kMachine;
  if (commandLine != nullptr && _wcsicmp(commandLine, L"user") == 0) scope = RegistrationScope::kUser;
  else if (commandLine != nullptr && *commandLine != L'\0' && _wcsicmp(commandLine, L"machine") != 0) return E_INVALIDARG;
  return install ? Register(scope) : Unregister(scope);
}

}  // extern "C"

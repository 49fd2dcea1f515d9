// morvex-pages-local.exe: our page-file server in a process of its own (a local COM server), for the tests and
// measurements of the out-of-process path; /RegServer and /UnregServer write and remove its class per machine.
#include <atomic>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "PageServerDispatch.h"  // windows.h first, for shellapi.h
#include <shellapi.h>

#include "PageFileServer.h"
#include "Registration.h"

namespace {

using morvex::com::PageServerDispatch;

// How long a started process waits for its client before it gives up.
constexpr DWORD kClientWaitMs = 30000;

std::wstring OwnFile() {
  std::wstring file(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, file.data(), static_cast<DWORD>(file.size()));
    if (length == 0) return {};
    if (length < file.size()) {
      file.resize(length);
      return file;
    }
    file.resize(file.size() * 2);
  }
}

// The object and client locks alive; the process ends once they are all gone.
class ServerLifetime {
 public:
  void Hold() { ++held_; }
  void Let() { --held_; }
  long Held() const { return held_.load(); }

 private:
  std::atomic<long> held_{0};
};

// The page-file server whose life keeps the process.
class HeldPageFileServer final : public morvex::PageFileServer {
 public:
  explicit HeldPageFileServer(ServerLifetime& lifetime) : lifetime_(lifetime) { lifetime_.Hold(); }
  ~HeldPageFileServer() override { lifetime_.Let(); }

 private:
  ServerLifetime& lifetime_;
};

class LocalPageFilesFactory final : public morvex::com::ModuleClassFactory {
 public:
  LocalPageFilesFactory(ServerLifetime& lifetime, ITypeInfo* typeInfo) : lifetime_(lifetime), typeInfo_(typeInfo) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      return PageServerDispatch::Create(std::make_unique<HeldPageFileServer>(lifetime_), typeInfo_, iid, object);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) lifetime_.Hold();
    else lifetime_.Let();
    return S_OK;
  }

 private:
  ServerLifetime& lifetime_;
  ITypeInfo* typeInfo_;
};

// One process for each instance (single use), as servers that keep one document open per process are: each
// worker of a client gets a process of its own, and a process that dies takes its class registration with
// it, so the next creation starts a new one. The multithreaded apartment needs no message loop.
int Serve() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  ITypeInfo* typeInfo = nullptr;
  const std::wstring file = OwnFile();
  // Without its type information the server still works; clients then pass VARIANTs for the outputs.
  if (!file.empty()) morvex::com::LoadPageServerTypeInfo(file.c_str(), &typeInfo);
  ServerLifetime lifetime;
  LocalPageFilesFactory factory(lifetime, typeInfo);
  DWORD cookie = 0;
  int status = 1;
  if (SUCCEEDED(CoRegisterClassObject(morvex::com::kLocalPageFilesClsid, &factory, CLSCTX_LOCAL_SERVER,
                                      REGCLS_SINGLEUSE, &cookie))) {
    const DWORD started = GetTickCount();
    while (lifetime.Held() == 0 && GetTickCount() - started < kClientWaitMs) Sleep(50);
    while (lifetime.Held() > 0) Sleep(50);
    CoRevokeClassObject(cookie);
    status = 0;
  }
  if (typeInfo != nullptr) typeInfo->Release();
  CoUninitialize();
  return status;
}

bool IsSwitch(const wchar_t* argument, const wchar_t* name) {
  return (argument[0] == L'/' || argument[0] == L'-') && _wcsicmp(argument + 1, name) == 0;
}

}  // namespace

// No window and no console: COM starts the server with -Embedding; /RegServer and /UnregServer answer by
// their exit status alone.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 1;
  int status = 2;
  if (count == 2 && IsSwitch(arguments[1], L"RegServer")) {
    const std::wstring file = OwnFile();
    status = !file.empty() && SUCCEEDED(morvex::com::RegisterLocalPageServer(file)) ? 0 : 1;
  } else if (count == 2 && IsSwitch(arguments[1], L"UnregServer")) {
    status = SUCCEEDED(morvex::com::UnregisterLocalPageServer()) ? 0 : 1;
  } else if (count == 2 && IsSwitch(arguments[1], L"Embedding")) {
    status = Serve();
  }
  LocalFree(arguments);
  return status;
}

// The COM client of a page server: creation and its diagnosis, the dispatch identifiers, the argument shapes,
// and every operation as one IDispatch::Invoke with its BSTRs and VARIANTs freed on every path.
#include "ComPageServer.h"

#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "ComText.h"
#include "Error.h"
#include "PageFileServer.h"
#include "PageOperations.h"
#include "TextUtil.h"

namespace morvex {

namespace {

using com::ArgKind;
using com::kMostArgs;
using com::kPageOpCount;
using com::OwnedBstr;
using com::PageOp;
using com::Ref;

std::string ClsidText(const CLSID& clsid) { return WideToUtf8(com::GuidText(clsid)); }

std::string HresultText(HRESULT hr) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr));
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::string text;
  if (length > 0 && message != nullptr) {
    std::wstring_view view(message, length);
    while (!view.empty() && (view.back() == L'\r' || view.back() == L'\n' || view.back() == L' ' || view.back() == L'.'))
      view.remove_suffix(1);
    text = WideToUtf8(view);
  }
  if (message != nullptr) LocalFree(message);
  return text.empty() ? std::string("error ") + hex : text + " (" + hex + ")";
}

// The text a failing server left with SetErrorInfo, if any.
std::string ServerErrorText() {
  Ref<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return {};
  OwnedBstr description;
  if (FAILED(info->GetDescription(description.Out()))) return {};
  std::string text;
  if (!com::AssignUtf8(text, description.Get())) return {};
  return text;
}

constexpr bool kThisIs64Bit = sizeof(void*) == 8;
constexpr const char* kOurBitness = kThisIs64Bit ? "64-bit" : "32-bit";
constexpr const char* kOtherBitness = kThisIs64Bit ? "32-bit" : "64-bit";

std::wstring ClassKeyPath(const CLSID& clsid, const wchar_t* subkey) {
  return L"CLSID\\" + com::GuidText(clsid) + L"\\" + subkey;
}

// True when the other side of the registry (the one for programs of the other bitness) has an in-process
// server for the class.
bool OtherBitnessServes(const CLSID& clsid) {
  const REGSAM otherView = kThisIs64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const std::wstring path = ClassKeyPath(clsid, L"InprocServer32");
  for (const auto& [root, prefix] : {std::pair{HKEY_CLASSES_ROOT, L""}, std::pair{HKEY_LOCAL_MACHINE, L"Software\\Classes\\"},
                                     std::pair{HKEY_CURRENT_USER, L"Software\\Classes\\"}}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, (std::wstring(prefix) + path).c_str(), 0, KEY_QUERY_VALUE | otherView, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      return true;
    }
  }
  return false;
}

// The in-process server file registered for the class, as this program's side of the registry has it (a
// REG_EXPAND_SZ comes back expanded).
std::wstring InprocServerFile(const CLSID& clsid) {
  const std::wstring path = ClassKeyPath(clsid, L"InprocServer32");
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS)
    return {};
  std::wstring file(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, file.data(),
                   &bytes) != ERROR_SUCCESS)
    return {};
  file.resize(wcsnlen(file.c_str(), file.size()));
  return file;
}

// The machine a program file is built for (IMAGE_FILE_MACHINE_*), or 0 when it cannot be read as one.
WORD FileMachine(const std::wstring& file) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  WORD machine = 0;
  IMAGE_DOS_HEADER dos{};
  DWORD read = 0;
  if (ReadFile(handle, &dos, sizeof dos, &read, nullptr) && read == sizeof dos && dos.e_magic == IMAGE_DOS_SIGNATURE &&
      dos.e_lfanew > 0) {
    struct {
      DWORD signature;
      WORD machine;
    } header{};
    LARGE_INTEGER at;
    at.QuadPart = dos.e_lfanew;
    if (SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) && ReadFile(handle, &header, 6, &read, nullptr) &&
        read == 6 && header.signature == IMAGE_NT_SIGNATURE)
      machine = header.machine;
  }
  CloseHandle(handle);
  return machine;
}

// True when COM starts the class in a process of its own: a local server and no in-process one to prefer.
bool IsLocalServerOnly(const CLSID& clsid) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKeyPath(clsid, L"LocalServer32").c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return InprocServerFile(clsid).empty();
}

// The answers of a call whose server process has ended or dropped the connection, rather than of an operation
// that failed: no later call can succeed.
bool IsServerGone(HRESULT hr) {
  switch (hr) {
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVERFAULT:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case RPC_E_CONNECTION_TERMINATED:
    case CO_E_OBJNOTCONNECTED:
      return true;
    default:
      return false;
  }
}

// Why CoCreateInstance failed, in words.
std::string CreationFailure(const CLSID& clsid, HRESULT hr) {
  const std::string serverText = ServerErrorText();
  // A server file of the other bitness fails in ways that differ between systems (Wine calls the class
  // unregistered); the file itself says what it is.
  const std::wstring file = InprocServerFile(clsid);
  if (!file.empty()) {
    const WORD machine = FileMachine(file);
    const WORD ours = kThisIs64Bit ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    if (machine != 0 && machine != ours) {
      const bool fileIs64 = machine == IMAGE_FILE_MACHINE_AMD64 || machine == IMAGE_FILE_MACHINE_ARM64;
      return std::string("the server is ") + (fileIs64 ? "64-bit" : "32-bit") + " and this program " + kOurBitness +
             " (" + WideToUtf8(file) + ")";
    }
  }
  // A class key without a server of a kind we asked for is as good as no class at all.
  if (hr == REGDB_E_CLASSNOTREG || hr == REGDB_E_KEYMISSING) {
    if (OtherBitnessServes(clsid))
      return std::string("the server is ") + kOtherBitness + " and this program " + kOurBitness +
             " (an in-process server loads only into a program of its own bitness)";
    return "the class " + ClsidText(clsid) + " is not registered";
  }
  if (hr == E_NOINTERFACE && IsLocalServerOnly(clsid))
    return "its server process did not hand over its automation interface (IDispatch), twice; the server may not "
           "have started";
  if (hr == E_NOINTERFACE) return "the class offers no automation interface (IDispatch), so it is not a page server";
  if (!file.empty() && serverText.empty() &&
      (HRESULT_FACILITY(hr) == FACILITY_WIN32 || hr == CO_E_ERRORINDLL || hr == CO_E_DLLNOTFOUND))
    return "its server file " + WideToUtf8(file) + " cannot be loaded: " + HresultText(hr);
  if (!serverText.empty()) return "the server reported: " + serverText;
  return HresultText(hr);
}

// Starts COM on this thread for as long as it lives. A thread already in the multithreaded apartment keeps
// it: COM then puts an apartment-threaded server in an apartment of its own and calls it from there.
class Apartment {
 public:
  Apartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~Apartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

bool IsSupportedOutputType(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: case VT_BOOL:
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DATE:
      return true;
    default:
      return false;
  }
}

// Where the server writes one by-reference output: a value of the type its type information declares, or a
// VARIANT of its choosing when there is no such declaration.
struct OutputSlot {
  VARTYPE declared = VT_VARIANT;
  VARIANT holder{};

  void Prepare(VARIANTARG& argument) {
    VariantInit(&holder);
    if (declared == VT_VARIANT) {
      argument.vt = VT_BYREF | VT_VARIANT;
      argument.pvarVal = &holder;
    } else {
      holder.vt = declared;
      holder.llVal = 0;
      argument.vt = static_cast<VARTYPE>(VT_BYREF | declared);
      argument.byref = &holder.llVal;  // every value member of the union starts here
    }
  }
  void Clear() { VariantClear(&holder); }

  bool TakeText(std::string& out) {
    if (holder.vt == VT_BSTR) return com::AssignUtf8(out, holder.bstrVal);
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeTypeEx(&text, &holder, LOCALE_INVARIANT, 0, VT_BSTR))) return false;
    const bool ok = com::AssignUtf8(out, text.bstrVal);
    VariantClear(&text);
    return ok;
  }
  bool TakeNumber(VARTYPE wanted, LONG& out) {
    if (holder.vt == wanted) {
      out = wanted == VT_I2 ? holder.iVal : holder.lVal;
      return true;
    }
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeTypeEx(&number, &holder, LOCALE_INVARIANT, 0, wanted))) return false;
    out = wanted == VT_I2 ? number.iVal : number.lVal;
    return true;
  }
};

class ComPageServer final : public PageAutomation {
 public:
  explicit ComPageServer(const std::string& identifier) : identifier_(identifier) {
    const auto fail = [&](const std::string& why) -> Error {
      return Error(kErrCannotCreateComponent, "The page server \"" + identifier + "\" cannot be created: " + why);
    };
    if (FAILED(apartment_.Result()) && apartment_.Result() != RPC_E_CHANGED_MODE)
      throw fail("COM cannot be started on this thread: " + HresultText(apartment_.Result()));

    CLSID clsid{};
    std::wstring wide = Utf8ToWide(identifier);
    if (identifier.empty()) throw fail("no class identifier was given");
    if (wide.front() == L'{') {
      if (FAILED(CLSIDFromString(wide.c_str(), &clsid)))
        throw fail("it is not a class identifier: a CLSID is written {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}");
    } else if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) {
      throw fail("no class is registered under this ProgID");
    }

    const auto create = [&] {
      SetErrorInfo(0, nullptr);
      const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                          dispatch_.OutVoid());
      return SUCCEEDED(hr) && !dispatch_ ? E_NOINTERFACE : hr;
    };
    HRESULT created = create();
    // A server process that was still starting, or failed to, hands over no interface; once more is enough to
    // tell that from a server that never will.
    if (created == E_NOINTERFACE && IsLocalServerOnly(clsid)) created = create();
    if (FAILED(created) || !dispatch_) throw fail(CreationFailure(clsid, FAILED(created) ? created : E_NOINTERFACE));

    std::string lacking;
    for (size_t op = 0; op < kPageOpCount; ++op) {
      std::wstring name(com::kOperations[op].name);
      LPOLESTR names[] = {name.data()};
      DISPID id = DISPID_UNKNOWN;
      has_[op] = SUCCEEDED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
      ids_[op] = id;
      if (!has_[op] && op < com::kRequiredPageOps) lacking += (lacking.empty() ? "" : ", ") + WideToUtf8(name);
    }
    if (!lacking.empty()) throw fail("it is not a page server: it lacks " + lacking);
    ReadDeclaredTypes();
  }

  ComPageServer(const ComPageServer&) = delete;
  ComPageServer& operator=(const ComPageServer&) = delete;

  bool SetInteractive(bool bValue) override {
    const Input input{{}, bValue};
    return Invoke(PageOp::kSetInteractive, &input);
  }
  bool OpenPage(std::string_view sProject, std::string_view sPage) override {
    const Input inputs[] = {{sProject, false}, {sPage, false}};
    return Invoke(PageOp::kOpenPage, inputs);
  }
  bool ClosePage() override { return Invoke(PageOp::kClosePage, nullptr); }
  bool FirstObject() override { return Invoke(PageOp::kFirstObject, nullptr); }
  bool NextObject() override { return Invoke(PageOp::kNextObject, nullptr); }
  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override {
    return ReadProperty(PageOp::kFirstProperty, sName, sValue);
  }
  bool NextProperty(std::string_view& sName, std::string_view& sValue) override {
    return ReadProperty(PageOp::kNextProperty, sName, sValue);
  }
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override {
    SlotsGuard guard(slots_[Index(PageOp::kGetTarvoInfo)]);
    LONG number = 0;
    if (!Invoke(PageOp::kGetTarvoInfo, nullptr, &guard) || !guard.slots[0].TakeText(scratch_[0]) ||
        !guard.slots[1].TakeText(scratch_[1]) || !guard.slots[2].TakeText(scratch_[2]) ||
        !guard.slots[3].TakeNumber(VT_I4, number))
      return false;
    libraryProject_.swap(scratch_[0]);
    library_.swap(scratch_[1]);
    tarvo_.swap(scratch_[2]);
    sLibProject = libraryProject_;
    sLibrary = library_;
    sTarvo = tarvo_;
    nNumber = number;
    return true;
  }
  bool GetObjectAN(int16_t& nAN) override {
    SlotsGuard guard(slots_[Index(PageOp::kGetObjectAN)]);
    LONG an = 0;
    if (!Invoke(PageOp::kGetObjectAN, nullptr, &guard) || !guard.slots[0].TakeNumber(VT_I2, an)) return false;
    nAN = static_cast<int16_t>(an);
    return true;
  }
  bool GetObjectType(std::string_view& sType) override {
    SlotsGuard guard(slots_[Index(PageOp::kGetObjectType)]);
    if (!Invoke(PageOp::kGetObjectType, nullptr, &guard) || !guard.slots[0].TakeText(scratch_[0])) return false;
    type_.swap(scratch_[0]);
    sType = type_;
    return true;
  }

  void ServeFolder(std::string_view sUserPath) override {
    if (!has_[Index(PageOp::kServeFolder)]) return;
    const Input input{sUserPath, false};
    Invoke(PageOp::kServeFolder, &input);
  }
  void PreparePage(std::string_view sProject, std::string_view sPage) override {
    if (!has_[Index(PageOp::kPreparePage)]) return;
    const Input inputs[] = {{sProject, false}, {sPage, false}};
    Invoke(PageOp::kPreparePage, inputs);
  }
  // A server without reasons of its own, or one whose answer makes no sense, leaves the failure unexplained.
  PageFailure LastOpenFailure() override {
    if (!has_[Index(PageOp::kLastOpenFailure)]) return {};
    SlotsGuard guard(slots_[Index(PageOp::kLastOpenFailure)]);
    std::string reason, detail;
    if (!Invoke(PageOp::kLastOpenFailure, nullptr, &guard) || !guard.slots[0].TakeText(reason) ||
        !guard.slots[1].TakeText(detail))
      return {};
    const std::optional<PageFailureReason> known = PageFailureFromId(reason);
    if (!known) return {};
    return {*known, std::move(detail)};
  }
  std::string ClassIdentifier() const override { return identifier_; }

 private:
  // One input of an operation, its kind as the operation's shape says.
  struct Input {
    std::string_view text;
    bool flag;
  };
  using Slots = std::array<OutputSlot, kMostArgs>;

  // Frees whatever the server left in the outputs, whether the call succeeded or not.
  struct SlotsGuard {
    explicit SlotsGuard(Slots& held) : slots(held) {}
    ~SlotsGuard() {
      for (size_t i = 0; i < used; ++i) slots[i].Clear();
    }
    SlotsGuard(const SlotsGuard&) = delete;
    SlotsGuard& operator=(const SlotsGuard&) = delete;
    Slots& slots;
    size_t used = 0;
  };

  // Frees the BSTRs of the inputs, and drops what the server wrote back into them, on every path.
  struct ArgumentsGuard {
    std::array<VARIANTARG, 2 * kMostArgs> arguments{};
    size_t count = 0;
    ~ArgumentsGuard() {
      for (size_t i = 0; i < count; ++i) VariantClear(&arguments[i]);
    }
  };

  static size_t Index(PageOp op) { return static_cast<size_t>(op); }

  bool ReadProperty(PageOp op, std::string_view& sName, std::string_view& sValue) {
    SlotsGuard guard(slots_[Index(op)]);
    if (!Invoke(op, nullptr, &guard) || !guard.slots[0].TakeText(scratch_[0]) ||
        !guard.slots[1].TakeText(scratch_[1]))
      return false;
    propertyName_.swap(scratch_[0]);
    propertyValue_.swap(scratch_[1]);
    sName = propertyName_;
    sValue = propertyValue_;
    return true;
  }

  // One call as a Visual Basic client makes it: inputs by value, outputs by reference after them. A failed
  // HRESULT, a raised exception included, and a returned False are the operation's failure.
  bool Invoke(PageOp op, const Input* inputs, SlotsGuard* outputs = nullptr) {
    const com::OperationShape& shape = com::Shape(op);
    const size_t inputCount = shape.inputCount;
    const size_t outputCount = outputs != nullptr ? shape.outputCount : 0;
    const size_t total = inputCount + outputCount;
    ArgumentsGuard arguments;
    // Automation passes the arguments last to first.
    const auto argument = [&](size_t position) -> VARIANTARG& { return arguments.arguments[total - 1 - position]; };
    for (size_t i = 0; i < total; ++i) VariantInit(&arguments.arguments[i]);
    arguments.count = total;
    for (size_t i = 0; i < inputCount; ++i) {
      VARIANTARG& value = argument(i);
      if (shape.inputs[i] == ArgKind::kBool) {
        value.vt = VT_BOOL;
        value.boolVal = inputs[i].flag ? VARIANT_TRUE : VARIANT_FALSE;
      } else {
        value.bstrVal = com::NewBstr(inputs[i].text);
        value.vt = VT_BSTR;
      }
    }
    for (size_t i = 0; i < outputCount; ++i) {
      outputs->slots[i].Prepare(argument(inputCount + i));
      outputs->used = i + 1;
    }

    DISPPARAMS parameters{arguments.arguments.data(), nullptr, static_cast<UINT>(total), 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = dispatch_->Invoke(ids_[Index(op)], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                         &result, &exception, &argumentError);
    if (hr == DISP_E_EXCEPTION) FreeException(exception);
    if (IsServerGone(hr)) {
      VariantClear(&result);
      throw PageServerLost(kErrServerUnavailable, "The page server \"" + identifier_ +
                                                      "\" stopped answering during the scan: " + HresultText(hr));
    }
    const bool answeredFalse = result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE;
    VariantClear(&result);
    return SUCCEEDED(hr) && !answeredFalse;
  }

  static void FreeException(EXCEPINFO& exception) {
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }

  // The output types the server's type information declares; VARIANT where it declares none we can pass.
  void ReadDeclaredTypes() {
    UINT count = 0;
    Ref<ITypeInfo> info;
    if (FAILED(dispatch_->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Out())) || !info)
      return;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)) || attributes == nullptr) return;
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD f = 0; f < functions; ++f) {
      FUNCDESC* function = nullptr;
      if (FAILED(info->GetFuncDesc(f, &function)) || function == nullptr) continue;
      if (function->invkind == INVOKE_FUNC) {
        for (size_t op = 0; op < kPageOpCount; ++op) {
          if (has_[op] && ids_[op] == function->memid) DeclareOutputs(op, *function);
        }
      }
      info->ReleaseFuncDesc(function);
    }
  }

  void DeclareOutputs(size_t op, const FUNCDESC& function) {
    const com::OperationShape& shape = com::kOperations[op];
    size_t position = 0;
    for (SHORT p = 0; p < function.cParams; ++p) {
      const ELEMDESC& parameter = function.lprgelemdescParam[p];
      if ((parameter.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) continue;
      const size_t index = position++;
      if (index < shape.inputCount || index - shape.inputCount >= shape.outputCount) continue;
      const size_t output = index - shape.inputCount;
      const TYPEDESC& type = parameter.tdesc;
      if (type.vt == VT_PTR && type.lptdesc != nullptr && IsSupportedOutputType(type.lptdesc->vt))
        slots_[op][output].declared = type.lptdesc->vt;
    }
  }

  std::string identifier_;  // as the user gave it, for the messages
  Apartment apartment_;     // first in, last out: COM outlives every reference below
  Ref<IDispatch> dispatch_;
  std::array<DISPID, kPageOpCount> ids_{};
  std::array<bool, kPageOpCount> has_{};
  std::array<Slots, kPageOpCount> slots_{};
  // What the last successful calls handed out; the views given to the caller point here.
  std::string type_, libraryProject_, library_, tarvo_, propertyName_, propertyValue_;
  std::array<std::string, 3> scratch_;
};

}  // namespace

PageAutomationFactory MakeComPageServerFactory(std::string classIdentifier) {
  return [identifier = std::move(classIdentifier)]() -> std::unique_ptr<PageAutomation> {
    return std::make_unique<ComPageServer>(identifier);
  };
}

PageAutomationFactory MakePageServerFactory(std::string classIdentifier) {
  // A name typed into the registry by hand easily gains a blank at either end.
  constexpr std::string_view kBlanks = " \t";
  const size_t first = classIdentifier.find_first_not_of(kBlanks);
  if (first == std::string::npos) return MakePageFileServerFactory();
  classIdentifier = classIdentifier.substr(first, classIdentifier.find_last_not_of(kBlanks) + 1 - first);
  return MakeComPageServerFactory(std::move(classIdentifier));
}

std::string TestPageServer(const std::string& classIdentifier) {
  const size_t first = classIdentifier.find_first_not_of(" \t");
  try {
    const std::unique_ptr<PageAutomation> server = MakePageServerFactory(classIdentifier)();
    // Worded as a run words each outcome, so that the user meets the same texts in both places.
    if (!server) return "The page-automation server could not be created " + ToDecimal(kErrAutomationCreate);
    if (first == std::string::npos) return "Our page-file server is ready: it opens <page>.json in each project's folder.";
    return "\"" + classIdentifier.substr(first, classIdentifier.find_last_not_of(" \t") + 1 - first) +
           "\" is a page server.";
  } catch (const Error& error) {
    return error.Description() + " " + ToDecimal(error.Number());
  }
}

}  // namespace morvex

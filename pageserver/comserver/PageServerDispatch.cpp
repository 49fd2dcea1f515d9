// The page operations behind IDispatch: names to identifiers, arguments checked and converted before the
// server is called, outputs written only after it succeeded, every error turned into an HRESULT.
#include "PageServerDispatch.h"

#include <array>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "ComText.h"
#include "Error.h"
#include "PageOperations.h"

namespace morvex::com {

std::atomic<long> PageServerDispatch::live_{0};

namespace {

// The bytes of the value a by-reference output of this type points to; 0 for a type we do not write.
size_t ValueSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    default: return 0;
  }
}

bool IsWritableOutput(const VARIANTARG& argument) {
  if ((argument.vt & VT_BYREF) == 0 || argument.byref == nullptr) return false;
  const VARTYPE base = static_cast<VARTYPE>(argument.vt & ~VT_BYREF);
  return base == VT_VARIANT || base == VT_BSTR || ValueSize(base) != 0;
}

// An input as the operation takes it: a text or a flag, whatever the caller passed that converts.
bool ReadInput(const VARIANTARG& argument, ArgKind kind, std::string& text, bool& flag) {
  if (kind == ArgKind::kText) {
    if (argument.vt == VT_BSTR) return AssignUtf8(text, argument.bstrVal);
    if (argument.vt == (VT_BYREF | VT_BSTR)) return AssignUtf8(text, *argument.pbstrVal);
  } else if (argument.vt == VT_BOOL) {
    flag = argument.boolVal != VARIANT_FALSE;
    return true;
  }
  VARIANT converted;
  VariantInit(&converted);
  const VARTYPE wanted = kind == ArgKind::kText ? VT_BSTR : VT_BOOL;
  if (FAILED(VariantChangeTypeEx(&converted, const_cast<VARIANTARG*>(&argument), LOCALE_INVARIANT, 0, wanted)))
    return false;
  bool ok = true;
  if (kind == ArgKind::kText) ok = AssignUtf8(text, converted.bstrVal);
  else flag = converted.boolVal != VARIANT_FALSE;
  VariantClear(&converted);
  return ok;
}

// One output's value in the type its argument asks for, made before any output is written.
struct PendingOutput {
  VARIANT value{};
  PendingOutput() { VariantInit(&value); }
  ~PendingOutput() { VariantClear(&value); }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  // False when the value does not fit the argument's type (an AN into a byte, a text into a number).
  bool Make(const VARIANTARG& target, VARIANT& natural) {
    const VARTYPE base = static_cast<VARTYPE>(target.vt & ~VT_BYREF);
    if (base == VT_VARIANT || base == natural.vt) {
      value = natural;  // takes the BSTR over
      natural.vt = VT_EMPTY;
      return true;
    }
    return SUCCEEDED(VariantChangeTypeEx(&value, &natural, LOCALE_INVARIANT, 0, base));
  }

  // Cannot fail: the [in, out] value the caller passed is freed and replaced.
  void Store(VARIANTARG& target) {
    const VARTYPE base = static_cast<VARTYPE>(target.vt & ~VT_BYREF);
    if (base == VT_VARIANT) {
      VariantClear(target.pvarVal);
      *target.pvarVal = value;
    } else if (base == VT_BSTR) {
      SysFreeString(*target.pbstrVal);
      *target.pbstrVal = value.bstrVal;
    } else {
      std::memcpy(target.byref, &value.llVal, ValueSize(base));
    }
    value.vt = VT_EMPTY;
  }
};

void FillException(EXCEPINFO* exception, const std::string& description) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->scode = E_FAIL;
  try {
    exception->bstrSource = SysAllocString(kPageFilesProgId);
    exception->bstrDescription = NewBstr(description);
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace

HRESULT LoadPageServerTypeInfo(const wchar_t* file, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(file, REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(kPageServerDiid, typeInfo);
  library->Release();
  return hr;
}

PageServerDispatch::PageServerDispatch(std::unique_ptr<PageAutomation> server, ITypeInfo* typeInfo)
    : server_(std::move(server)), typeInfo_(typeInfo) {
  if (typeInfo_ != nullptr) typeInfo_->AddRef();
  ++live_;
}

PageServerDispatch::~PageServerDispatch() {
  server_.reset();
  if (typeInfo_ != nullptr) typeInfo_->Release();
  --live_;
}

HRESULT PageServerDispatch::Create(std::unique_ptr<PageAutomation> server, ITypeInfo* typeInfo, REFIID iid,
                                   void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  PageServerDispatch* created = new (std::nothrow) PageServerDispatch(std::move(server), typeInfo);
  if (created == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = created->QueryInterface(iid, object);
  created->Release();
  return hr;
}

HRESULT PageServerDispatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kPageServerDiid)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG PageServerDispatch::AddRef() { return ++references_; }

ULONG PageServerDispatch::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT PageServerDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = typeInfo_ != nullptr ? 1 : 0;
  return S_OK;
}

HRESULT PageServerDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) {
  if (typeInfo == nullptr) return E_POINTER;
  *typeInfo = nullptr;
  if (index != 0 || typeInfo_ == nullptr) return DISP_E_BADINDEX;
  typeInfo_->AddRef();
  *typeInfo = typeInfo_;
  return S_OK;
}

HRESULT PageServerDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  // The operations take no named arguments.
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  // Clients that bind late ask before every call: no copies here.
  const size_t length = std::wcslen(names[0]);
  for (const OperationShape& shape : kOperations) {
    if (shape.name.size() == length && _wcsnicmp(shape.name.data(), names[0], length) == 0) {
      ids[0] = shape.dispid;
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT PageServerDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argumentError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (parameters == nullptr) return E_POINTER;
  if (parameters->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  try {
    return InvokeOperation(id, *parameters, result, argumentError);
  } catch (const Error& error) {
    FillException(exception, error.Description());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& error) {
    FillException(exception, error.what());
  } catch (...) {
    return E_UNEXPECTED;
  }
  return DISP_E_EXCEPTION;
}

HRESULT PageServerDispatch::InvokeOperation(DISPID id, DISPPARAMS& parameters, VARIANT* result, UINT* argumentError) {
  const std::optional<PageOp> op = OperationOfDispid(id);
  if (!op) return DISP_E_MEMBERNOTFOUND;
  const OperationShape& shape = Shape(*op);
  const UINT total = shape.inputCount + shape.outputCount;
  if (parameters.cArgs != total || (total > 0 && parameters.rgvarg == nullptr)) return DISP_E_BADPARAMCOUNT;
  // Automation passes the arguments last to first.
  const auto argument = [&](UINT position) -> VARIANTARG& { return parameters.rgvarg[total - 1 - position]; };
  const auto mismatch = [&](UINT position) {
    if (argumentError != nullptr) *argumentError = total - 1 - position;
    return DISP_E_TYPEMISMATCH;
  };

  std::array<std::string, kMostArgs> texts;
  std::array<bool, kMostArgs> flags{};
  for (UINT i = 0; i < shape.inputCount; ++i) {
    if (!ReadInput(argument(i), shape.inputs[i], texts[i], flags[i])) return mismatch(i);
  }
  for (UINT i = 0; i < shape.outputCount; ++i) {
    if (!IsWritableOutput(argument(shape.inputCount + i))) return mismatch(shape.inputCount + i);
  }

  PageAutomation& server = *server_;
  bool ok = true;
  std::array<std::string_view, 3> outTexts;
  PageFailure failure;
  int32_t number = 0;
  int16_t an = 0;
  switch (*op) {
    case PageOp::kSetInteractive: ok = server.SetInteractive(flags[0]); break;
    case PageOp::kOpenPage: ok = server.OpenPage(texts[0], texts[1]); break;
    case PageOp::kClosePage: ok = server.ClosePage(); break;
    case PageOp::kFirstObject: ok = server.FirstObject(); break;
    case PageOp::kNextObject: ok = server.NextObject(); break;
    case PageOp::kFirstProperty: ok = server.FirstProperty(outTexts[0], outTexts[1]); break;
    case PageOp::kNextProperty: ok = server.NextProperty(outTexts[0], outTexts[1]); break;
    case PageOp::kGetTarvoInfo: ok = server.GetTarvoInfo(outTexts[0], outTexts[1], outTexts[2], number); break;
    case PageOp::kGetObjectAN: ok = server.GetObjectAN(an); break;
    case PageOp::kGetObjectType: ok = server.GetObjectType(outTexts[0]); break;
    case PageOp::kServeFolder: server.ServeFolder(texts[0]); break;
    case PageOp::kPreparePage: server.PreparePage(texts[0], texts[1]); break;
    case PageOp::kLastOpenFailure:
      failure = server.LastOpenFailure();
      outTexts[0] = PageFailureId(failure.reason);
      outTexts[1] = failure.detail;
      break;
  }

  if (ok && shape.outputCount > 0) {
    std::array<PendingOutput, kMostArgs> pending;
    for (UINT i = 0; i < shape.outputCount; ++i) {
      VARIANT natural;
      VariantInit(&natural);
      switch (shape.outputs[i]) {
        case ArgKind::kText:
          natural.bstrVal = NewBstr(outTexts[i]);
          natural.vt = VT_BSTR;
          break;
        case ArgKind::kInt16:
          natural.vt = VT_I2;
          natural.iVal = an;
          break;
        case ArgKind::kInt32:
          natural.vt = VT_I4;
          natural.lVal = number;
          break;
        case ArgKind::kBool:
          natural.vt = VT_BOOL;
          natural.boolVal = VARIANT_FALSE;
          break;
      }
      const bool made = pending[i].Make(argument(shape.inputCount + i), natural);
      VariantClear(&natural);
      if (!made) return mismatch(shape.inputCount + i);
    }
    for (UINT i = 0; i < shape.outputCount; ++i) pending[i].Store(argument(shape.inputCount + i));
  }

  if (result != nullptr) {
    VariantInit(result);
    if (shape.answers) {
      result->vt = VT_BOOL;
      result->boolVal = ok ? VARIANT_TRUE : VARIANT_FALSE;
    }
  }
  return S_OK;
}

}  // namespace morvex::com

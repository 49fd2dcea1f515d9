// Page servers through COM under Wine: our DLL, our local server and scripted servers against the built-in ones,
// creation failures, a server process dying mid-run, hostile servers, registration, and --page-server.
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ComPageServer.h"
#include "ComText.h"
#include "DbfWriter.h"
#include "PageFileServer.h"
#include "PageOperations.h"
#include "PageServerDispatch.h"
#include "RecordingProgress.h"
#include "ScriptedAutomation.h"
#include "SiteExport.h"
#include "SiteGenerator.h"
#include "TextUtil.h"
#include "basSearch.h"

namespace morvex {
namespace {

namespace fs = std::filesystem;
using com::GuidText;
using com::PageOp;
using com::PageServerDispatch;
using doubles::AutomationOp;
using doubles::RecordingProgress;
using doubles::ScriptedSite;

std::wstring FullPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  wchar_t full[4096] = {};
  GetFullPathNameW(wide.c_str(), 4096, full, nullptr);
  return full;
}

std::wstring PagesDll() { return FullPath(MORVEX_PAGES_DLL); }

std::string GuidUtf8(const GUID& guid) { return WideToUtf8(GuidText(guid)); }

class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(std::string_view sMessage) override { messages.emplace_back(sMessage); }
  std::vector<std::string> messages;
};

// Everything a user sees of a run: the report, the messages and every progress call.
struct RunView {
  RunOutcome outcome = RunOutcome::kCompleted;
  std::string report;
  std::vector<std::string> messages;
  std::vector<std::string> progress;
  bool operator==(const RunView&) const = default;
};

void PrintTo(const RunView& view, std::ostream* out) {
  *out << "outcome " << static_cast<int>(view.outcome) << ", report " << testing::PrintToString(view.report)
       << ", messages " << testing::PrintToString(view.messages) << ", " << view.progress.size() << " progress calls";
}

std::vector<std::string> Trace(const RecordingProgress& progress) {
  std::vector<std::string> trace;
  for (const doubles::ProgressEvent& event : progress.Events()) {
    switch (event.call) {
      case doubles::ProgressCall::kShow: trace.push_back("show"); break;
      case doubles::ProgressCall::kClose: trace.push_back("close"); break;
      case doubles::ProgressCall::kTitle: trace.push_back("title:" + event.text); break;
      case doubles::ProgressCall::kText: trace.push_back(ToDecimal(event.index) + ":" + event.text); break;
      case doubles::ProgressCall::kUpdate: trace.push_back("%" + ToDecimal(event.percent)); break;
    }
  }
  return trace;
}

// Runs the search as many times as asked with one context, as a front end does.
std::vector<RunView> RunSeveral(PageAutomationFactory factory, const std::string& folder, int count = 1, bool bShowAll = true) {
  RecordingProgress progress;
  RecordingMessages messages;
  AppContext context(std::move(factory), progress, messages);
  std::vector<RunView> views;
  for (int i = 0; i < count; ++i) {
    progress.ClearEvents();
    messages.messages.clear();
    const SearchResult result = RunSearchDetailed(context, folder, bShowAll, true);
    views.push_back({result.outcome, result.Report(), messages.messages, Trace(progress)});
  }
  return views;
}
RunView RunOnce(PageAutomationFactory factory, const std::string& folder, bool bShowAll = true) {
  return RunSeveral(std::move(factory), folder, 1, bShowAll).front();
}

// A class factory of the test's own, registered for this process only, making what make makes.
class TestClassFactory final : public IClassFactory {
 public:
  using Maker = std::function<HRESULT(REFIID, void**)>;
  TestClassFactory(const CLSID& clsid, Maker make, DWORD context = CLSCTX_INPROC_SERVER) : make_(std::move(make)) {
    EXPECT_EQ(CoRegisterClassObject(clsid, this, context, REGCLS_MULTIPLEUSE, &cookie_), S_OK);
  }
  ~TestClassFactory() { CoRevokeClassObject(cookie_); }
  TestClassFactory(const TestClassFactory&) = delete;
  TestClassFactory& operator=(const TestClassFactory&) = delete;

  int creations = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** object) override {
    ++creations;
    return make_(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  Maker make_;
  DWORD cookie_ = 0;
};

// Passes every call on to an inner dispatch object, hiding one name and noting the argument types it sees.
class WrappingDispatch final : public IDispatch {
 public:
  WrappingDispatch(IDispatch* inner, std::wstring hidden) : inner_(inner), hidden_(std::move(hidden)) {}
  ~WrappingDispatch() { inner_->Release(); }
  WrappingDispatch(const WrappingDispatch&) = delete;
  WrappingDispatch& operator=(const WrappingDispatch&) = delete;

  static std::map<DISPID, std::vector<VARTYPE>>& SeenTypes() {
    static std::map<DISPID, std::vector<VARTYPE>> seen;
    return seen;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    if (count == 1 && hidden_ == names[0]) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    return inner_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override {
    std::vector<VARTYPE>& seen = SeenTypes()[id];
    seen.clear();
    for (UINT i = parameters->cArgs; i-- > 0;) seen.push_back(parameters->rgvarg[i].vt);
    return inner_->Invoke(id, iid, locale, flags, parameters, result, exception, argumentError);
  }

 private:
  IDispatch* inner_;
  std::wstring hidden_;
  ULONG references_ = 1;
};

// Scripted servers offered through COM as the class clsid: with or without type information, lacking an
// operation, or failing their creation with a text of their own.
struct ScriptedComServer {
  ScriptedComServer(const CLSID& clsid, std::shared_ptr<ScriptedSite> site, bool typed, std::wstring hidden = {})
      : factory(clsid, [=, this](REFIID iid, void** object) -> HRESULT {
          if (failCreation) {
            ICreateErrorInfo* create = nullptr;
            CreateErrorInfo(&create);
            create->SetDescription(const_cast<LPOLESTR>(L"the scripted site is locked"));
            IErrorInfo* info = nullptr;
            create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
            SetErrorInfo(0, info);
            info->Release();
            create->Release();
            return E_FAIL;
          }
          ITypeInfo* typeInfo = nullptr;
          if (typed) {
            EXPECT_EQ(com::LoadPageServerTypeInfo(PagesDll().c_str(), &typeInfo), S_OK);
          }
          IDispatch* inner = nullptr;
          const HRESULT hr = PageServerDispatch::Create(std::make_unique<doubles::ScriptedAutomation>(site), typeInfo,
                                                        IID_IDispatch, reinterpret_cast<void**>(&inner));
          if (typeInfo != nullptr) typeInfo->Release();
          if (FAILED(hr)) return hr;
          auto* wrapper = new WrappingDispatch(inner, hidden);
          const HRESULT answer = wrapper->QueryInterface(iid, object);
          wrapper->Release();
          return answer;
        }) {}
  bool failCreation = false;
  TestClassFactory factory;
};

// COM on the test's thread, and our DLL registered for the machine while a test lasts.
class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    dll_ = LoadLibraryW(PagesDll().c_str());
    ASSERT_NE(dll_, nullptr);
    register_ = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllRegisterServer")));
    unregister_ = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_, "DllUnregisterServer")));
    ASSERT_NE(register_, nullptr);
    ASSERT_NE(unregister_, nullptr);
    ASSERT_EQ(register_(), S_OK);
    root_ = fs::temp_directory_path() / ("morvex_com_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    if (unregister_ != nullptr) {
      EXPECT_EQ(unregister_(), S_OK);
    }
    if (dll_ != nullptr) FreeLibrary(dll_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    CoUninitialize();
  }
  std::string Folder() const { return FromNativePath(root_); }
  static std::string ExampleSite() { return std::string(MORVEX_SOURCE_DIR) + "/examples/site"; }

  // Three projects with pages that each hold a Tarvo with reserved and plain properties, for scripted runs.
  void WriteScriptedSite(ScriptedSite& site) const {
    doubles::DbfWriter master = doubles::ProjectListWriter();
    for (const char* project : {"Alpha", "Beta", "Gamma"}) {
      master.Add({project, project});
      doubles::DbfWriter pages = doubles::PageListWriter();
      for (const char* page : {"one", "two"}) {
        pages.Add({page});
        site.AddPage(project, page,
                     {doubles::TarvoObject(7, {"lib", "valves", std::string("v_") + page}, {{"TEXT", page}, {"Tag", "x"}, {"FONT", "Ä"}}),
                      doubles::PlainObject("Rectangle", 8),
                      doubles::TarvoObject(-9, {"lib", "pumps", "p"}, {{"VISIBLE", ""}})});
      }
      pages.WriteTo(root_ / project / "pages.dbf");
    }
    master.WriteTo(root_ / "master.dbf");
  }

  HMODULE dll_ = nullptr;
  HRESULT(STDAPICALLTYPE* register_)() = nullptr;
  HRESULT(STDAPICALLTYPE* unregister_)() = nullptr;
  fs::path root_;
};

constexpr CLSID kScriptedClsid = {0x3ca10b8b, 0xd715, 0x42da, {0xab, 0x0f, 0xa8, 0x9b, 0x7a, 0xdc, 0xdf, 0x2a}};
constexpr CLSID kUnknownClsid = {0x9eb23768, 0x7b7a, 0x4c1d, {0xa2, 0x5b, 0xec, 0x8f, 0xb9, 0x52, 0xdd, 0x6d}};
constexpr CLSID kOtherSideClsid = {0x6bacad28, 0xf222, 0x45db, {0xb1, 0x70, 0xac, 0x71, 0x01, 0x66, 0x0f, 0x14}};
constexpr CLSID kWrongFileClsid = {0x6bacad29, 0xf222, 0x45db, {0xb1, 0x70, 0xac, 0x71, 0x01, 0x66, 0x0f, 0x14}};

TEST_F(ComTest, OurDllGivesTheBuiltInReportsAndProgressOnTheExampleAndAGeneratedSite) {
  SiteShape shape;
  shape.projects = 4;
  shape.pages = 12;
  shape.objects = 60;
  shape.collisionsPerMille = 40;
  GenerateSite(shape, root_);
  for (const std::string& site : {ExampleSite(), Folder()}) {
    for (const bool bShowAll : {true, false}) {
      const RunView builtIn = RunOnce(MakePageFileServerFactory(), site, bShowAll);
      ASSERT_NE(builtIn.report, "No items found");
      for (const std::string& identifier : {std::string("Morvex.PageFiles"), GuidUtf8(com::kPageFilesClsid)}) {
        EXPECT_EQ(RunOnce(MakeComPageServerFactory(identifier), site, bShowAll), builtIn) << site << " " << identifier;
      }
    }
  }
  // What a front end makes of the name it was given: nothing or blanks is ours, blanks around a name are dropped.
  const RunView builtIn = RunOnce(MakePageFileServerFactory(), ExampleSite());
  EXPECT_EQ(RunOnce(MakePageServerFactory(""), ExampleSite()), builtIn);
  EXPECT_EQ(RunOnce(MakePageServerFactory(" \t "), ExampleSite()), builtIn);
  EXPECT_EQ(RunOnce(MakePageServerFactory(" Morvex.PageFiles\t"), ExampleSite()), builtIn);
  EXPECT_EQ(RunOnce(MakePageServerFactory(" Morvex.NoSuchServer "), ExampleSite()).messages,
            std::vector<std::string>{
                "The page server \"Morvex.NoSuchServer\" cannot be created: no class is registered under this ProgID 429"});
}

TEST_F(ComTest, OurTypeLibraryDeclaresTheOutputsInTheirOwnTypes) {
  auto site = std::make_shared<ScriptedSite>();
  WriteScriptedSite(*site);
  ScriptedComServer server(kScriptedClsid, site, true);
  RunOnce(MakeComPageServerFactory(GuidUtf8(kScriptedClsid)), Folder());
  const auto seen = [](PageOp op) { return WrappingDispatch::SeenTypes()[com::Shape(op).dispid]; };
  const VARTYPE text = VT_BYREF | VT_BSTR;
  EXPECT_EQ(seen(PageOp::kSetInteractive), std::vector<VARTYPE>{VT_BOOL});
  EXPECT_EQ(seen(PageOp::kOpenPage), (std::vector<VARTYPE>{VT_BSTR, VT_BSTR}));
  EXPECT_EQ(seen(PageOp::kFirstProperty), (std::vector<VARTYPE>{text, text}));
  EXPECT_EQ(seen(PageOp::kGetTarvoInfo), (std::vector<VARTYPE>{text, text, text, VT_BYREF | VT_I4}));
  EXPECT_EQ(seen(PageOp::kGetObjectAN), std::vector<VARTYPE>{VT_BYREF | VT_I2});
  EXPECT_EQ(seen(PageOp::kGetObjectType), std::vector<VARTYPE>{text});
}

// Each of the ten operations failing (answering False, or raising an error) at its first and second call:
// through COM, with and without type information, the run is the built-in scripted server's run, call for call.
class ScriptedComTest : public ComTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ScriptedComTest, EachOperationFailingInTurnGivesTheBuiltInScriptedRun) {
  const bool typed = GetParam();
  for (int op = 0; op < static_cast<int>(com::kRequiredPageOps); ++op) {
    for (const bool raise : {false, true}) {
      for (const int nth : {1, 2}) {
        auto reference = std::make_shared<ScriptedSite>();
        auto throughCom = std::make_shared<ScriptedSite>();
        WriteScriptedSite(*reference);
        WriteScriptedSite(*throughCom);
        for (ScriptedSite* site : {reference.get(), throughCom.get()}) {
          site->ScribbleOnFailure();
          if (raise) site->ThrowOnCall(static_cast<AutomationOp>(op), nth);
          else site->FailCall(static_cast<AutomationOp>(op), nth);
        }
        ScriptedComServer server(kScriptedClsid, throughCom, typed);
        const std::string what = std::string(doubles::OpName(static_cast<AutomationOp>(op))) + " #" +
                                 std::to_string(nth) + (raise ? " raising" : " failing");
        RunView expected = RunOnce(doubles::MakeScriptedFactory(reference), Folder());
        const RunView actual = RunOnce(MakeComPageServerFactory(GuidUtf8(kScriptedClsid)), Folder());
        if (raise && op == static_cast<int>(AutomationOp::kSetInteractive)) {
          // Through COM an error the server raises is the operation's failure, whatever its own number.
          ASSERT_FALSE(expected.messages.empty()) << what;
          expected.messages.back() =
              nth == 1 ? "Page automation failed: SetInteractive(False) 1007" : "Page automation failed: SetInteractive(True) 1007";
        }
        EXPECT_EQ(actual, expected) << what;
        ASSERT_EQ(throughCom->Calls().size(), reference->Calls().size()) << what;
        for (size_t i = 0; i < reference->Calls().size(); ++i) {
          EXPECT_EQ(throughCom->Calls()[i].op, reference->Calls()[i].op) << what << " call " << i;
          EXPECT_EQ(throughCom->Calls()[i].argument, reference->Calls()[i].argument) << what << " call " << i;
          EXPECT_EQ(throughCom->Calls()[i].succeeded, reference->Calls()[i].succeeded) << what << " call " << i;
        }
      }
    }
  }
  if (!typed) {
    const VARTYPE anything = VT_BYREF | VT_VARIANT;
    EXPECT_EQ(WrappingDispatch::SeenTypes()[com::Shape(PageOp::kGetTarvoInfo).dispid],
              (std::vector<VARTYPE>{anything, anything, anything, anything}));
  }
  EXPECT_EQ(PageServerDispatch::LiveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTypeInformation, ScriptedComTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& parameter) { return parameter.param ? "Typed" : "Untyped"; });

// Every way creation fails ends the run through the error report, 429 and the reason in words; the next run
// tries to create again.
TEST_F(ComTest, CreationFailuresEndTheRunWithTheirReasonAndTheNextRunCreatesAgain) {
  auto site = std::make_shared<ScriptedSite>();
  WriteScriptedSite(*site);
  const std::string scripted = GuidUtf8(kScriptedClsid);

  // The class registered only on the other bitness's side of the registry.
  const REGSAM otherSide = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const std::wstring otherKey = L"Software\\Classes\\CLSID\\" + GuidText(kOtherSideClsid);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (otherKey + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                            KEY_WRITE | otherSide, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\x86\\pages.dll"), 34);
  RegCloseKey(key);
  // The class registered on this side with a server file built for the other bitness.
  const fs::path wrongFile = root_ / "other-bitness.dll";
  {
    std::string image(512, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = 0x40;
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    const uint16_t machine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    image[0x44] = static_cast<char>(machine & 0xFF);
    image[0x45] = static_cast<char>(machine >> 8);
    std::ofstream(wrongFile, std::ios::binary) << image;
  }
  const std::wstring wrongFileKey = L"Software\\Classes\\CLSID\\" + GuidText(kWrongFileClsid);
  const std::wstring wrongFilePath = wrongFile.wstring();
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, (wrongFileKey + L"\\InprocServer32").c_str(), nullptr, REG_SZ,
                            wrongFilePath.c_str(), static_cast<DWORD>((wrongFilePath.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  const char* ours = sizeof(void*) == 8 ? "64-bit" : "32-bit";
  const char* other = sizeof(void*) == 8 ? "32-bit" : "64-bit";

  struct Case {
    std::string identifier;
    std::string reason;
    std::function<std::unique_ptr<ScriptedComServer>()> serve;
  };
  const std::vector<Case> cases = {
      {"Morvex.NoSuchServer", "no class is registered under this ProgID", nullptr},
      {"{C6CF7C41-FEB0-421C-8072", "it is not a class identifier: a CLSID is written {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}",
       nullptr},
      {GuidUtf8(kUnknownClsid), "the class " + GuidUtf8(kUnknownClsid) + " is not registered", nullptr},
      {GuidUtf8(kOtherSideClsid),
       std::string("the server is ") + other + " and this program " + ours +
           " (an in-process server loads only into a program of its own bitness)",
       nullptr},
      {GuidUtf8(kWrongFileClsid),
       std::string("the server is ") + other + " and this program " + ours + " (" + FromNativePath(wrongFile) + ")",
       nullptr},
      {"Scripting.Dictionary",
       "it is not a page server: it lacks SetInteractive, OpenPage, ClosePage, FirstObject, NextObject, FirstProperty, "
       "NextProperty, GetTarvoInfo, GetObjectAN, GetObjectType",
       nullptr},
      {scripted, "it is not a page server: it lacks GetObjectAN",
       [&] { return std::make_unique<ScriptedComServer>(kScriptedClsid, site, true, L"GetObjectAN"); }},
      {scripted, "the server reported: the scripted site is locked",
       [&] {
         auto server = std::make_unique<ScriptedComServer>(kScriptedClsid, site, false);
         server->failCreation = true;
         return server;
       }},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ScriptedComServer> server = c.serve ? c.serve() : nullptr;
    const std::vector<RunView> runs = RunSeveral(MakeComPageServerFactory(c.identifier), Folder(), 2);
    for (const RunView& run : runs) {
      EXPECT_EQ(run.outcome, RunOutcome::kUnexpectedError) << c.identifier;
      EXPECT_EQ(run.messages, std::vector<std::string>{"The page server \"" + c.identifier + "\" cannot be created: " +
                                                       c.reason + " 429"});
      EXPECT_EQ(run.progress, (std::vector<std::string>{"show", "0:Finding Page Count..."})) << c.identifier;
    }
    if (server) {
      EXPECT_EQ(server->factory.creations, 2) << c.identifier;
    }
    EXPECT_EQ(PageServerDispatch::LiveObjects(), 0) << c.identifier;
  }
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, otherKey.c_str(), 0, KEY_ALL_ACCESS | otherSide, &key), ERROR_SUCCESS);
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, otherKey.c_str(), otherSide, 0);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, wrongFileKey.c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, wrongFileKey.c_str());

  // A server that failed once and works now: the next run creates it and completes.
  ScriptedComServer server(kScriptedClsid, site, true);
  server.failCreation = true;
  RecordingProgress progress;
  RecordingMessages messages;
  AppContext context(MakeComPageServerFactory(scripted), progress, messages);
  EXPECT_EQ(RunSearchDetailed(context, Folder(), true, true).outcome, RunOutcome::kUnexpectedError);
  server.failCreation = false;
  EXPECT_EQ(RunSearchDetailed(context, Folder(), true, true).outcome, RunOutcome::kCompleted);
  EXPECT_EQ(server.factory.creations, 2);
  EXPECT_EQ(site->LiveInstances(), 0);
}

// A server answering with the wrong types, texts too long or empty, odd answers or errors, called directly.
class HostileDispatch final : public IDispatch {
 public:
  using Answer = std::function<HRESULT(DISPPARAMS&, VARIANT*, EXCEPINFO*)>;
  std::map<PageOp, Answer> answers;
  ULONG references = 1;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    for (const com::OperationShape& shape : com::kOperations) {
      if (shape.name == names[0]) {
        ids[0] = shape.dispid;
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    const std::optional<PageOp> op = com::OperationOfDispid(id);
    if (!op) return DISP_E_MEMBERNOTFOUND;
    const auto answer = answers.find(*op);
    return answer == answers.end() ? S_OK : answer->second(*parameters, result, exception);
  }
};

// Puts a value into the output at position (0 = first) of a call without type information.
void Put(DISPPARAMS& parameters, UINT position, const VARIANT& value) {
  VARIANT* target = parameters.rgvarg[parameters.cArgs - 1 - position].pvarVal;
  VariantClear(target);
  *target = value;
}
VARIANT Text(const wchar_t* text, UINT length) {
  VARIANT value;
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(text, length);
  return value;
}
VARIANT Number(LONG number) {
  VARIANT value;
  value.vt = VT_I4;
  value.lVal = number;
  return value;
}

TEST_F(ComTest, WrongTypesHugeTextsOddAnswersAndErrorsAreFailuresOrConversionsNeverCrashes) {
  HostileDispatch hostile;
  const CLSID clsid = kScriptedClsid;
  TestClassFactory factory(clsid, [&](REFIID iid, void** object) { return hostile.QueryInterface(iid, object); });
  std::unique_ptr<PageAutomation> server = MakeComPageServerFactory(GuidUtf8(clsid))();
  std::string_view name = "kept", value = "kept", type = "kept";
  int16_t an = 5;

  // Texts: none at all is empty; one longer than any page text is refused.
  hostile.answers[PageOp::kFirstProperty] = [](DISPPARAMS& p, VARIANT*, EXCEPINFO*) {
    Put(p, 0, Text(nullptr, 0));
    Put(p, 1, Text(nullptr, static_cast<UINT>(com::kLongestText + 1)));
    return S_OK;
  };
  EXPECT_FALSE(server->FirstProperty(name, value));
  EXPECT_EQ(name, "kept");
  hostile.answers[PageOp::kFirstProperty] = [](DISPPARAMS& p, VARIANT*, EXCEPINFO*) {
    VARIANT empty;
    VariantInit(&empty);
    Put(p, 0, empty);
    Put(p, 1, Number(42));
    return S_OK;
  };
  EXPECT_TRUE(server->FirstProperty(name, value));
  EXPECT_EQ(name, "");
  EXPECT_EQ(value, "42");

  // Numbers: a text that reads as one converts; one out of the AN's range is a failure.
  hostile.answers[PageOp::kGetObjectAN] = [](DISPPARAMS& p, VARIANT*, EXCEPINFO*) {
    Put(p, 0, Text(L"-12", 3));
    return S_OK;
  };
  EXPECT_TRUE(server->GetObjectAN(an));
  EXPECT_EQ(an, -12);
  hostile.answers[PageOp::kGetObjectAN] = [](DISPPARAMS& p, VARIANT*, EXCEPINFO*) {
    Put(p, 0, Number(70000));
    return S_OK;
  };
  EXPECT_FALSE(server->GetObjectAN(an));
  EXPECT_EQ(an, -12);

  // A value that converts to no text at all.
  hostile.answers[PageOp::kGetObjectType] = [&](DISPPARAMS& p, VARIANT*, EXCEPINFO*) {
    VARIANT null;
    null.vt = VT_NULL;
    Put(p, 0, null);
    return S_OK;
  };
  EXPECT_FALSE(server->GetObjectType(type));
  EXPECT_EQ(type, "kept");

  // Answers: False fails, anything else is success; an error raised or a failed HRESULT is failure.
  const auto answering = [](VARIANT answer) {
    return [answer](DISPPARAMS&, VARIANT* result, EXCEPINFO*) {
      *result = answer;
      return S_OK;
    };
  };
  VARIANT no;
  no.vt = VT_BOOL;
  no.boolVal = VARIANT_FALSE;
  hostile.answers[PageOp::kNextObject] = answering(no);
  EXPECT_FALSE(server->NextObject());
  hostile.answers[PageOp::kNextObject] = answering(Number(0));
  EXPECT_TRUE(server->NextObject());
  hostile.answers[PageOp::kNextObject] = [](DISPPARAMS&, VARIANT*, EXCEPINFO* exception) {
    exception->bstrDescription = SysAllocString(L"page store offline");
    exception->scode = E_FAIL;
    return DISP_E_EXCEPTION;
  };
  EXPECT_FALSE(server->NextObject());
  hostile.answers[PageOp::kNextObject] = [](DISPPARAMS&, VARIANT*, EXCEPINFO*) { return DISP_E_BADPARAMCOUNT; };
  EXPECT_FALSE(server->NextObject());

  server.reset();
  EXPECT_EQ(hostile.references, 1u);
}

// regsvr32 FILE, and regsvr32 /n /i:user FILE, and their /u: the keys appear, then the registry is as found.
std::wstring Dump(HKEY root, const std::wstring& path, int depth) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"-";
  std::wstring out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[2048];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    out += L"[" + std::wstring(name) + L"=" + std::to_wstring(type) + L":" +
           std::wstring(reinterpret_cast<wchar_t*>(data), dataLength / sizeof(wchar_t)) + L"]";
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out += L"{" + std::wstring(name);
    if (depth > 0) out += L":" + Dump(root, path + L"\\" + name, depth - 1);
    out += L"}";
  }
  RegCloseKey(key);
  return out;
}

// What registration may touch: the lists of classes, interfaces and libraries, and our own keys whole.
std::wstring RegistrySnapshot(HKEY root) {
  std::wstring snapshot;
  for (const wchar_t* list : {L"", L"CLSID", L"Interface", L"TypeLib"})
    snapshot += std::wstring(list) + L"=" + Dump(root, std::wstring(L"Software\\Classes\\") + list, 0) + L"\n";
  for (const std::wstring& own : {L"CLSID\\" + GuidText(com::kPageFilesClsid), L"Interface\\" + GuidText(com::kPageServerDiid),
                                 L"TypeLib\\" + GuidText(com::kPageServerLibid), std::wstring(com::kPageFilesProgId),
                                 std::wstring(com::kPageFilesVersionedProgId)})
    snapshot += own + L"=" + Dump(root, L"Software\\Classes\\" + own, 8) + L"\n";
  return snapshot;
}

DWORD RunProgram(std::wstring command) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 9999;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD status = 9999;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return status;
}

DWORD Regsvr32(const std::wstring& options) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  return RunProgram(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + options + L" \"" + PagesDll() + L"\"");
}

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t text[1024] = {};
  DWORD bytes = sizeof text;
  if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) return L"-";
  return text;
}

TEST(ComRegistration, PerMachineAndPerUserRegistrationComeAndGoWithoutATrace) {
  // Every Windows user has a Classes key; a fresh Wine prefix makes it only when something is written there.
  HKEY userClasses = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_READ, nullptr, &userClasses,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(userClasses);
  for (const bool perUser : {false, true}) {
    const HKEY root = perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const std::wstring scope = perUser ? L"/n /i:user" : L"";
    const std::wstring before = RegistrySnapshot(root);
    const std::wstring otherBefore = RegistrySnapshot(perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);

    ASSERT_EQ(Regsvr32(scope), 0u);
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring clsid = GuidText(com::kPageFilesClsid);
    EXPECT_EQ(ReadString(root, classes + L"CLSID\\" + clsid + L"\\InprocServer32"), PagesDll());
    EXPECT_EQ(ReadString(root, classes + L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadString(root, classes + L"Morvex.PageFiles\\CLSID"), clsid);
    EXPECT_EQ(ReadString(root, classes + L"Morvex.PageFiles.1\\CLSID"), clsid);
    EXPECT_EQ(ReadString(root, classes + L"TypeLib\\" + GuidText(com::kPageServerLibid) + L"\\1.0\\0\\" +
                                   std::wstring(sizeof(void*) == 8 ? L"win64" : L"win32")),
              PagesDll());
    EXPECT_EQ(RegistrySnapshot(perUser ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER), otherBefore);

    ASSERT_EQ(Regsvr32(L"/u " + scope), 0u);
    EXPECT_EQ(RegistrySnapshot(root), before);
    // Removing what is not there is no error.
    EXPECT_EQ(Regsvr32(L"/u " + scope), 0u);
  }
  EXPECT_NE(Regsvr32(L"/n /i:elsewhere"), 0u);
}

// morvex-scan.exe --page-server, as a process.
struct ProcessOutput {
  DWORD status = 9999;
  std::string out;
  std::string err;
};

// whileRunning, when given, is called once the program has started, with its process identifier.
ProcessOutput RunScan(const std::wstring& arguments, const fs::path& work,
                      const std::function<void(DWORD)>& whileRunning = nullptr) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const fs::path outFile = work / "out.txt", errFile = work / "err.txt";
  HANDLE out = CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileW(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = err;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring command = L"\"" + FullPath(MORVEX_SCAN_EXE) + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  ProcessOutput result;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    if (whileRunning) whileRunning(process.dwProcessId);
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &result.status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(out);
  CloseHandle(err);
  const auto read = [](const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  result.out = read(outFile);
  result.err = read(errFile);
  return result;
}

TEST_F(ComTest, TheScanProgramRunsOnTheServerItIsGiven) {
  const std::wstring site = L"\"" + FullPath(ExampleSite()) + L"\"";
  const ProcessOutput builtIn = RunScan(site, root_);
  ASSERT_EQ(builtIn.status, 1u) << builtIn.err;
  // Several workers each make their server on a thread of their own, in an apartment of its own.
  for (const std::wstring jobs : {L"", L"--jobs 3 "}) {
    const ProcessOutput throughCom = RunScan(jobs + L"--page-server Morvex.PageFiles " + site, root_);
    EXPECT_EQ(throughCom.status, builtIn.status);
    EXPECT_EQ(throughCom.out, builtIn.out);
    EXPECT_EQ(throughCom.err, builtIn.err);
  }

  const ProcessOutput missing = RunScan(L"--page-server Morvex.NoSuchServer " + site, root_);
  EXPECT_EQ(missing.status, 2u);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err,
            "morvex-scan: The page server \"Morvex.NoSuchServer\" cannot be created: no class is registered under this "
            "ProgID 429\n");
}

// The local server processes that parent started (COM starts them from the client under Wine), ended first
// when end is set; how many there were.
int LocalServersOf(DWORD parent, bool end) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int found = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID != parent || _wcsicmp(entry.szExeFile, L"morvex-pages-local.exe") != 0) continue;
    ++found;
    if (!end) continue;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (process == nullptr) continue;
    if (TerminateProcess(process, 1)) WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
  CloseHandle(snapshot);
  return found;
}

// Our page-file server in a process of its own, registered for the machine while a test lasts, on a generated
// site where every call crosses processes (about a millisecond each under Wine).
class LocalServerTest : public ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    ASSERT_EQ(RunProgram(LocalServerCommand(L"/RegServer")), 0u);
  }
  void TearDown() override {
    EXPECT_EQ(RunProgram(LocalServerCommand(L"/UnregServer")), 0u);
    ComTest::TearDown();
  }
  static std::wstring LocalServerCommand(const wchar_t* option) {
    return L"\"" + FullPath(MORVEX_PAGES_LOCAL_EXE) + L"\" " + option;
  }
  void GenerateSiteOf(int32_t pagesPerProject) {
    SiteShape shape;
    shape.projects = 2;
    shape.pages = pagesPerProject;
    shape.objects = 40;
    shape.collisionsPerMille = 40;
    GenerateSite(shape, root_);
  }
  static constexpr const char* kProgId = "Morvex.LocalPageFiles";
  static constexpr std::string_view kLostPrefix =
      "The page server \"Morvex.LocalPageFiles\" stopped answering during the scan: ";
};

TEST_F(LocalServerTest, GivesTheBuiltInReportsOnTheExampleAndAGeneratedSite) {
  GenerateSiteOf(5);
  const std::string clsid = GuidUtf8(com::kLocalPageFilesClsid);
  const struct {
    std::string site;
    std::string identifier;
    bool bShowAll;
  } cases[] = {{ExampleSite(), kProgId, true}, {ExampleSite(), clsid, false}, {Folder(), kProgId, true}, {Folder(), clsid, false}};
  for (const auto& c : cases) {
    const RunView builtIn = RunOnce(MakePageFileServerFactory(), c.site, c.bShowAll);
    ASSERT_NE(builtIn.report, "No items found");
    EXPECT_EQ(RunOnce(MakeComPageServerFactory(c.identifier), c.site, c.bShowAll), builtIn) << c.site << " " << c.identifier;
  }
}

TEST_F(LocalServerTest, AServerProcessDyingMidRunEndsTheRunWithOneMessageAndTheNextRunStartsAnother) {
  GenerateSiteOf(5);
  RecordingProgress progress;
  RecordingMessages messages;
  progress.OnProcessEvents([](int32_t nthUpdate) {
    if (nthUpdate == 2) {
      EXPECT_EQ(LocalServersOf(GetCurrentProcessId(), true), 1);
    }
  });
  AppContext context(MakeComPageServerFactory(kProgId), progress, messages);
  EXPECT_EQ(RunSearchDetailed(context, Folder(), true, true).outcome, RunOutcome::kUnexpectedError);
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_TRUE(messages.messages[0].starts_with(kLostPrefix) && messages.messages[0].ends_with(" 462"))
      << messages.messages[0];

  progress.OnProcessEvents(nullptr);
  messages.messages.clear();
  const SearchResult next = RunSearchDetailed(context, Folder(), true, true);
  EXPECT_EQ(next.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(next.Report(), RunOnce(MakePageFileServerFactory(), Folder()).report);
}

TEST_F(LocalServerTest, TheScanProgramEndsWithItsErrorStatusAndOneLineWhenTheServerProcessDies) {
  GenerateSiteOf(100);  // some 48,000 calls: far longer than the wait below
  const ProcessOutput output =
      RunScan(L"--page-server Morvex.LocalPageFiles \"" + FullPath(Folder()) + L"\"", root_, [](DWORD scan) {
        for (int tries = 0; tries < 600 && LocalServersOf(scan, false) == 0; ++tries) Sleep(100);
        Sleep(5000);  // creation done and pages under way
        EXPECT_EQ(LocalServersOf(scan, true), 1);
      });
  // What was found before has gone out already, as the report streams; the end is the error's.
  EXPECT_EQ(output.status, 2u);
  EXPECT_TRUE(output.err.starts_with("morvex-scan: " + std::string(kLostPrefix)) && output.err.ends_with(" 462\n") &&
              std::count(output.err.begin(), output.err.end(), '\n') == 1)
      << output.err;
}

// A local server that hands over no automation interface is asked once more before the run ends with what
// that means; an in-process one that does so is no page server, at once.
TEST_F(ComTest, ALocalServerHandingOverNoInterfaceIsAskedTwiceAndSaidSo) {
  constexpr CLSID kRefusingClsid = {0x1f0e4c55, 0x8d3a, 0x4b71, {0x9e, 0x20, 0x6c, 0x5a, 0x41, 0xf3, 0x0d, 0x8b}};
  const std::string identifier = GuidUtf8(kRefusingClsid);
  const std::wstring classKey = L"Software\\Classes\\CLSID\\" + GuidText(kRefusingClsid);
  const RunView builtIn = RunOnce(MakePageFileServerFactory(), ExampleSite());
  const struct {
    const wchar_t* serverKey;
    int refusals;
    int creations;
    std::string reason;  // empty: the run completes
  } cases[] = {
      {L"LocalServer32", 2, 2,
       "its server process did not hand over its automation interface (IDispatch), twice; the server may not have "
       "started"},
      {L"LocalServer32", 1, 2, ""},
      {L"InprocServer32", 1, 1, "the class offers no automation interface (IDispatch), so it is not a page server"},
  };
  for (const auto& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (classKey + L"\\" + c.serverKey).c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr), ERROR_SUCCESS);
    const std::wstring file = L"C:\\nowhere\\server.exe";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                   static_cast<DWORD>((file.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    int refused = 0;
    TestClassFactory factory(
        kRefusingClsid,
        [&](REFIID iid, void** object) -> HRESULT {
          *object = nullptr;
          if (refused++ < c.refusals) return E_NOINTERFACE;
          return PageServerDispatch::Create(std::make_unique<PageFileServer>(), nullptr, iid, object);
        },
        CLSCTX_LOCAL_SERVER);
    const RunView run = RunOnce(MakeComPageServerFactory(identifier), ExampleSite());
    EXPECT_EQ(factory.creations, c.creations) << c.refusals;
    if (c.reason.empty()) {
      EXPECT_EQ(run, builtIn);
    } else {
      EXPECT_EQ(run.messages,
                std::vector<std::string>{"The page server \"" + identifier + "\" cannot be created: " + c.reason + " 429"});
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, classKey.c_str());
  }
}

// Exports through our DLL (by the program, as a user runs it) and through a scripted server that offers no type
// information (in-process, late-bound only): the export, scanned with our own server, reports what the site
// reported through that server.
TEST_F(ComTest, AnExportScansAsTheSiteDidThroughTheServerItWasExportedWith) {
  const fs::path out = root_.parent_path() / (root_.filename().wstring() + L"_export");
  fs::remove_all(out);
  const std::wstring example = L"\"" + FullPath(ExampleSite()) + L"\"";
  const ProcessOutput direct = RunScan(L"--page-server Morvex.PageFiles " + example, root_);
  ASSERT_EQ(direct.status, 1u) << direct.err;
  const ProcessOutput exporting =
      RunScan(L"--page-server Morvex.PageFiles --export \"" + out.wstring() + L"\" " + example, root_);
  EXPECT_EQ(exporting.status, direct.status) << exporting.err;
  EXPECT_EQ(exporting.out, direct.out);
  const ProcessOutput exported = RunScan(L"\"" + out.wstring() + L"\"", root_);
  EXPECT_EQ(exported.status, direct.status) << exported.err;
  EXPECT_EQ(exported.out, direct.out);
  fs::remove_all(out);

  auto site = std::make_shared<ScriptedSite>();
  WriteScriptedSite(*site);
  ScriptedComServer server(kScriptedClsid, site, false);
  const std::string scripted = GuidUtf8(kScriptedClsid);
  for (const bool bShowAll : {true, false}) {
    const RunView reference = RunOnce(MakeComPageServerFactory(scripted), Folder(), bShowAll);
    ASSERT_NE(reference.report, "No items found");
    SiteExport siteExport;
    std::string error;
    ASSERT_TRUE(siteExport.Begin(FromNativePath(out), Folder(), error)) << error;
    EXPECT_EQ(RunOnce(siteExport.Recording(MakeComPageServerFactory(scripted)), Folder(), bShowAll).report,
              reference.report);
    EXPECT_EQ(RunOnce(MakePageFileServerFactory(), FromNativePath(out), bShowAll).report, reference.report);
    fs::remove_all(out);
  }
}

}  // namespace
}  // namespace morvex

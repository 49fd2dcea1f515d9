// ScriptedAutomation: a page-automation double serving scripted pages, failing chosen calls, logging every call.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Error.h"
#include "PageAutomation.h"

namespace morvex::doubles {

enum class AutomationOp {
  kSetInteractive,
  kOpenPage,
  kClosePage,
  kFirstObject,
  kNextObject,
  kFirstProperty,
  kNextProperty,
  kGetTarvoInfo,
  kGetObjectAN,
  kGetObjectType,
  kServeFolder,
};

inline const char* OpName(AutomationOp op) {
  switch (op) {
    case AutomationOp::kSetInteractive: return "SetInteractive";
    case AutomationOp::kOpenPage: return "OpenPage";
    case AutomationOp::kClosePage: return "ClosePage";
    case AutomationOp::kFirstObject: return "FirstObject";
    case AutomationOp::kNextObject: return "NextObject";
    case AutomationOp::kFirstProperty: return "FirstProperty";
    case AutomationOp::kNextProperty: return "NextProperty";
    case AutomationOp::kGetTarvoInfo: return "GetTarvoInfo";
    case AutomationOp::kGetObjectAN: return "GetObjectAN";
    case AutomationOp::kGetObjectType: return "GetObjectType";
    case AutomationOp::kServeFolder: return "ServeFolder";
  }
  return "?";
}

struct ScriptedTarvoInfo {
  std::string libraryProject;
  std::string library;
  std::string name;
  int32_t number = 0;
};

struct ScriptedProperty {
  std::string name;
  std::string value;
};

// A missing type, AN or Tarvo info makes the matching Get fail, as a server does for an object without it.
struct ScriptedObject {
  std::optional<std::string> type;
  std::optional<int16_t> an;
  std::optional<ScriptedTarvoInfo> tarvo;
  std::vector<ScriptedProperty> properties;
};

inline ScriptedObject TarvoObject(int16_t an, ScriptedTarvoInfo info, std::vector<ScriptedProperty> properties) {
  return ScriptedObject{"Tarvo", an, std::move(info), std::move(properties)};
}
inline ScriptedObject PlainObject(std::string type, int16_t an) {
  return ScriptedObject{std::move(type), an, std::nullopt, {}};
}

struct AutomationCall {
  AutomationOp op = AutomationOp::kOpenPage;
  std::string argument;  // "project|page" for OpenPage, "1"/"0" for SetInteractive, the folder for ServeFolder
  bool succeeded = false;
};

// What a test scripts and what it inspects afterwards. Shared by every automation made from it, so the log,
// the call counts and the creation count outlive the instance a run releases.
class ScriptedSite {
 public:
  void AddPage(const std::string& project, const std::string& page, std::vector<ScriptedObject> objects) {
    pages_[{project, page}] = std::move(objects);
  }
  const std::vector<ScriptedObject>* FindPage(const std::string& project, const std::string& page) const {
    const auto found = pages_.find({project, page});
    return found == pages_.end() ? nullptr : &found->second;
  }

  // The nth call (1-based, counted over every instance) of op fails without touching anything.
  void FailCall(AutomationOp op, int32_t nthCall) { failing_[op].insert(nthCall); }
  void FailEveryCall(AutomationOp op, bool fail = true) {
    if (fail) failingAlways_.insert(op);
    else failingAlways_.erase(op);
  }
  // The nth call of op throws an Error, as a broken server might, instead of reporting failure.
  void ThrowOnCall(AutomationOp op, int32_t nthCall, int32_t number = kErrInvalidArgument) {
    throwing_[op][nthCall] = number;
  }
  // The nth call of op finds the server gone, as a call to a server process that has ended does (0: no call);
  // replaces any earlier such call of the script.
  void LoseServerAtCall(AutomationOp op, int32_t nthCall) { losing_ = {op, nthCall}; }
  void FailOpenPage(const std::string& project, const std::string& page) { failingPages_.insert({project, page}); }
  // The nth creation (1-based) throws, as creation by class identifier fails when no server is installed.
  void FailCreation(int32_t nthCreation) { failingCreations_.insert(nthCreation); }
  // A failing call scribbles on its outputs, to prove that callers drop what a failed call wrote.
  void ScribbleOnFailure(bool scribble = true) { scribble_ = scribble; }

  const std::vector<AutomationCall>& Calls() const { return calls_; }
  std::vector<AutomationOp> CallOps() const {
    std::vector<AutomationOp> ops;
    for (const AutomationCall& call : calls_) ops.push_back(call.op);
    return ops;
  }
  int32_t CallCount(AutomationOp op) const {
    const auto found = counts_.find(op);
    return found == counts_.end() ? 0 : found->second;
  }
  std::vector<std::string> OpenedPages() const {
    std::vector<std::string> opened;
    for (const AutomationCall& call : calls_)
      if (call.op == AutomationOp::kOpenPage) opened.push_back(call.argument);
    return opened;
  }
  // Also restarts the per-operation counts that FailCall and ThrowOnCall refer to.
  void ClearCalls() {
    calls_.clear();
    counts_.clear();
  }
  int32_t Creations() const { return creationAttempts_ - static_cast<int32_t>(failedCreations_); }
  int32_t CreationAttempts() const { return creationAttempts_; }
  int32_t LiveInstances() const { return live_; }
  std::optional<bool> Interactive() const { return interactive_; }
  const std::string& ServedFolder() const { return servedFolder_; }

 private:
  friend class ScriptedAutomation;
  friend PageAutomationFactory MakeScriptedFactory(std::shared_ptr<ScriptedSite> site);

  // Counts the call and says whether the script wants it to fail; throws when the script says so.
  bool Begin(AutomationOp op) {
    const std::lock_guard hold(lock_);
    const int32_t nth = ++counts_[op];
    if (const auto throwing = throwing_.find(op); throwing != throwing_.end()) {
      if (const auto number = throwing->second.find(nth); number != throwing->second.end()) {
        calls_.push_back({op, {}, false});
        throw Error(number->second, std::string("scripted exception from ") + OpName(op));
      }
    }
    if (losing_ && *losing_ == std::pair{op, nth}) {
      calls_.push_back({op, {}, false});
      throw PageServerLost(462, std::string("scripted server gone at ") + OpName(op));
    }
    if (failingAlways_.count(op) != 0) return false;
    const auto failing = failing_.find(op);
    return failing == failing_.end() || failing->second.count(nth) == 0;
  }
  void Log(AutomationOp op, std::string argument, bool succeeded) {
    const std::lock_guard hold(lock_);
    calls_.push_back({op, std::move(argument), succeeded});
  }

  // Runs on workers call one site from several threads; what they change is changed under this lock.
  std::mutex lock_;
  std::map<std::pair<std::string, std::string>, std::vector<ScriptedObject>> pages_;
  std::map<AutomationOp, std::set<int32_t>> failing_;
  std::set<AutomationOp> failingAlways_;
  std::map<AutomationOp, std::map<int32_t, int32_t>> throwing_;
  std::optional<std::pair<AutomationOp, int32_t>> losing_;
  std::set<std::pair<std::string, std::string>> failingPages_;
  std::set<int32_t> failingCreations_;
  size_t failedCreations_ = 0;
  bool scribble_ = false;
  std::vector<AutomationCall> calls_;
  std::map<AutomationOp, int32_t> counts_;
  int32_t creationAttempts_ = 0;
  int32_t live_ = 0;
  std::optional<bool> interactive_;
  std::string servedFolder_;
};

// Follows the page-file server's cursor rules, so code tested against it behaves the same on real pages.
class ScriptedAutomation : public PageAutomation {
 public:
  explicit ScriptedAutomation(std::shared_ptr<ScriptedSite> site) : site_(std::move(site)) {
    const std::lock_guard hold(site_->lock_);
    ++site_->live_;
  }
  ~ScriptedAutomation() override {
    const std::lock_guard hold(site_->lock_);
    --site_->live_;
  }
  ScriptedAutomation(const ScriptedAutomation&) = delete;
  ScriptedAutomation& operator=(const ScriptedAutomation&) = delete;

  bool SetInteractive(bool bValue) override {
    const bool ok = site_->Begin(AutomationOp::kSetInteractive);
    if (ok) {
      const std::lock_guard hold(site_->lock_);
      site_->interactive_ = bValue;
    }
    site_->Log(AutomationOp::kSetInteractive, bValue ? "1" : "0", ok);
    return ok;
  }

  bool OpenPage(std::string_view sProjectView, std::string_view sPageView) override {
    const std::string sProject(sProjectView), sPage(sPageView);
    const bool allowed = site_->Begin(AutomationOp::kOpenPage);
    // Opening always lets go of the page held before, whether or not the new one opens.
    page_ = nullptr;
    object_.reset();
    property_.reset();
    const std::vector<ScriptedObject>* found = site_->FindPage(sProject, sPage);
    const bool ok = allowed && found != nullptr && site_->failingPages_.count({sProject, sPage}) == 0;
    if (ok) page_ = found;
    site_->Log(AutomationOp::kOpenPage, sProject + "|" + sPage, ok);
    return ok;
  }

  bool ClosePage() override {
    const bool ok = site_->Begin(AutomationOp::kClosePage) && page_ != nullptr;
    if (ok) {
      page_ = nullptr;
      object_.reset();
      property_.reset();
    }
    site_->Log(AutomationOp::kClosePage, {}, ok);
    return ok;
  }

  bool FirstObject() override {
    const bool ok = site_->Begin(AutomationOp::kFirstObject) && page_ != nullptr && !page_->empty();
    if (ok) MakeCurrent(0);
    site_->Log(AutomationOp::kFirstObject, {}, ok);
    return ok;
  }

  bool NextObject() override {
    const bool ok = site_->Begin(AutomationOp::kNextObject) && page_ != nullptr && object_.has_value() &&
                    *object_ + 1 < page_->size();
    if (ok) MakeCurrent(*object_ + 1);
    site_->Log(AutomationOp::kNextObject, {}, ok);
    return ok;
  }

  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override {
    const ScriptedObject* object = CurrentObject();
    const bool ok = site_->Begin(AutomationOp::kFirstProperty) && object != nullptr && !object->properties.empty();
    if (ok) TakeProperty(0, sName, sValue);
    else Scribble(sName, sValue);
    site_->Log(AutomationOp::kFirstProperty, {}, ok);
    return ok;
  }

  bool NextProperty(std::string_view& sName, std::string_view& sValue) override {
    const ScriptedObject* object = CurrentObject();
    const bool ok = site_->Begin(AutomationOp::kNextProperty) && object != nullptr && property_.has_value() &&
                    *property_ + 1 < object->properties.size();
    if (ok) TakeProperty(*property_ + 1, sName, sValue);
    else Scribble(sName, sValue);
    site_->Log(AutomationOp::kNextProperty, {}, ok);
    return ok;
  }

  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override {
    const ScriptedObject* object = CurrentObject();
    const bool ok = site_->Begin(AutomationOp::kGetTarvoInfo) && object != nullptr && object->tarvo.has_value();
    if (ok) {
      sLibProject = object->tarvo->libraryProject;
      sLibrary = object->tarvo->library;
      sTarvo = object->tarvo->name;
      nNumber = object->tarvo->number;
    } else if (site_->scribble_) {
      sLibProject = sLibrary = sTarvo = "#scribble#";
      nNumber = -1;
    }
    site_->Log(AutomationOp::kGetTarvoInfo, {}, ok);
    return ok;
  }

  bool GetObjectAN(int16_t& nAN) override {
    const ScriptedObject* object = CurrentObject();
    const bool ok = site_->Begin(AutomationOp::kGetObjectAN) && object != nullptr && object->an.has_value();
    if (ok) nAN = *object->an;
    else if (site_->scribble_) nAN = -999;
    site_->Log(AutomationOp::kGetObjectAN, {}, ok);
    return ok;
  }

  bool GetObjectType(std::string_view& sType) override {
    const ScriptedObject* object = CurrentObject();
    const bool ok = site_->Begin(AutomationOp::kGetObjectType) && object != nullptr && object->type.has_value();
    if (ok) sType = *object->type;
    else if (site_->scribble_) sType = "Tarvo";
    site_->Log(AutomationOp::kGetObjectType, {}, ok);
    return ok;
  }

  void ServeFolder(std::string_view sUserPath) override {
    {
      const std::lock_guard hold(site_->lock_);
      site_->servedFolder_ = sUserPath;
      ++site_->counts_[AutomationOp::kServeFolder];
    }
    site_->Log(AutomationOp::kServeFolder, std::string(sUserPath), true);
  }

 private:
  const ScriptedObject* CurrentObject() const {
    return page_ != nullptr && object_.has_value() ? &(*page_)[*object_] : nullptr;
  }
  void MakeCurrent(size_t index) {
    object_ = index;
    property_.reset();
  }
  void TakeProperty(size_t index, std::string_view& sName, std::string_view& sValue) {
    const ScriptedProperty& property = CurrentObject()->properties[index];
    property_ = index;
    sName = property.name;
    sValue = property.value;
  }
  void Scribble(std::string_view& sName, std::string_view& sValue) const {
    if (!site_->scribble_) return;
    sName = "TEXT";
    sValue = "#scribble#";
  }

  std::shared_ptr<ScriptedSite> site_;
  const std::vector<ScriptedObject>* page_ = nullptr;
  std::optional<size_t> object_;
  std::optional<size_t> property_;
};

// Stands in for creation by class identifier: every call makes a fresh instance on the shared site.
inline PageAutomationFactory MakeScriptedFactory(std::shared_ptr<ScriptedSite> site) {
  return [site]() -> std::unique_ptr<PageAutomation> {
    {
      const std::lock_guard hold(site->lock_);
      const int32_t nth = ++site->creationAttempts_;
      if (site->failingCreations_.count(nth) != 0) {
        ++site->failedCreations_;
        throw Error(kErrAutomationCreate, "scripted creation failure");
      }
    }
    return std::make_unique<ScriptedAutomation>(site);
  };
}

}  // namespace morvex::doubles

// The walk over one open page: Tarvo objects, their properties, and a report line for every reserved name.
#include <exception>
#include <new>
#include <string>

#include "Error.h"
#include "ReservedKeywords.h"
#include "TextUtil.h"
#include "basSearch.h"

namespace morvex {

namespace {

// Carries the one pending-error flag of a scan. Every step runs through Run, so a failing call, a thrown
// error or a refused addition all land in the same flag and the walk goes on with its next step.
class PendingError {
 public:
  template <typename Step>
  void Run(Step&& step) {
    try {
      if (!step()) set_ = true;
    } catch (const std::bad_alloc&) {
      // A finding that cannot be stored must not vanish from a report that claims to be complete.
      throw;
    } catch (const PageServerLost&) {
      throw;  // ends the run: every call after it would fail alike
    } catch (const Error&) {
      set_ = true;
    } catch (const std::exception&) {
      set_ = true;
    } catch (...) {
      set_ = true;
    }
  }
  void Clear() noexcept { set_ = false; }
  bool IsSet() const noexcept { return set_; }

 private:
  bool set_ = false;
};

constexpr std::string_view kTarvoType = "Tarvo";
constexpr std::string_view kCountPrefix = "Searching for reserved Tarvo keywords...";
constexpr std::string_view kCountSuffix = " found.";

}  // namespace

void ShowFoundCount(ProgressInterface& progress, int32_t nFound, std::string& scratch) {
  scratch.assign(kCountPrefix);
  AppendDecimal(scratch, nFound);
  scratch.append(kCountSuffix);
  progress.Text(0, scratch);
}

void ScanPageObjects(PageAutomation& automation, ProgressInterface& progress, std::string_view sProjectName,
                     std::string_view sPageName, FindingsList& findings, bool bShowAll) {
  // The texts are views into the server's page; only the finding's line copies them.
  bool typeIsTarvo = false;
  std::string_view propertyName;
  std::string_view propertyValue;
  std::string_view libraryProject;
  std::string_view library;
  std::string_view tarvoName;
  int16_t an = 0;
  PendingError pending;

  // What a failed call left in its outputs is never taken. The property texts and the identity texts read
  // as empty after a failed read; the type keeps its earlier verdict, so only a successful read changes it.
  std::string quotedValue;
  std::string anText;
  std::string countText;

  const auto readType = [&] {
    std::string_view received;
    if (!automation.GetObjectType(received)) return false;
    typeIsTarvo = received == kTarvoType;
    return true;
  };
  // The property and identity texts are emptied before their calls, so that a server raising an error
  // instead of failing leaves no earlier Tarvo's texts in a finding either.
  const auto readProperty = [&](bool first) {
    propertyName = {};
    propertyValue = {};
    std::string_view name, value;
    if (!(first ? automation.FirstProperty(name, value) : automation.NextProperty(name, value))) return false;
    propertyName = name;
    propertyValue = value;
    return true;
  };
  const auto readTarvoInfo = [&] {
    libraryProject = {};
    library = {};
    tarvoName = {};
    std::string_view project, libraryName, name;
    int32_t unusedNumber = 0;
    if (!automation.GetTarvoInfo(project, libraryName, name, unusedNumber)) return false;
    libraryProject = project;
    library = libraryName;
    tarvoName = name;
    return true;
  };
  const auto readAN = [&] {
    int16_t received = 0;
    if (!automation.GetObjectAN(received)) return false;
    an = received;
    return true;
  };
  const auto addFinding = [&] {
    if (!bShowAll) return findings.Add({libraryProject, library, tarvoName, propertyName});
    anText.clear();
    AppendDecimal(anText, an);
    quotedValue.assign(1, '\'').append(propertyValue).append(1, '\'');
    return findings.Add(
        {sProjectName, sPageName, anText, libraryProject, library, tarvoName, propertyName, quotedValue});
  };
  const auto showCount = [&] {
    ShowFoundCount(progress, findings.Count(), countText);
    return true;
  };

  pending.Clear();
  pending.Run([&] { return automation.FirstObject(); });
  while (!pending.IsSet()) {
    pending.Run(readType);
    if (typeIsTarvo) {
      pending.Clear();
      pending.Run([&] { return readProperty(true); });
      while (!pending.IsSet()) {
        if (IsReservedKeyword(propertyName)) {
          pending.Run(readTarvoInfo);
          pending.Run(readAN);
          pending.Run(addFinding);
          pending.Run(showCount);
        }
        pending.Clear();
        pending.Run([&] { return readProperty(false); });
      }
    }
    pending.Clear();
    pending.Run([&] { return automation.NextObject(); });
  }
}

}  // namespace morvex

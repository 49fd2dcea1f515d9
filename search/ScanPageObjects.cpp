// The walk over one open page: Tarvo objects, their properties, and a report line for every reserved name.
#include <exception>
#include <string>
#include <utility>
#include <vector>

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
  void Run(Step&& step) noexcept {
    try {
      if (!step()) set_ = true;
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

const std::u16string kTarvoType = u"Tarvo";
const std::u16string kCountPrefix = u"Searching for reserved Tarvo keywords...";
const std::u16string kCountSuffix = u" found.";

}  // namespace

void ScanPageObjects(PageAutomation& automation, ProgressInterface& progress, const std::u16string& sProjectName,
                     const std::u16string& sPageName, FindingsList& findings, bool bShowAll) {
  std::u16string typeText;
  std::u16string propertyName;
  std::u16string propertyValue;
  std::u16string libraryProject;
  std::u16string library;
  std::u16string tarvoName;
  int16_t an = 0;
  PendingError pending;

  // What a failed call left in its outputs is never taken. The property texts and the identity texts are
  // empty after a failed read anyway, so they are read in place and emptied again on failure; the type
  // text must keep its earlier value, so it is read into a buffer of its own and swapped in on success.
  std::u16string receivedType;
  std::u16string countText;

  const auto readType = [&] {
    if (!automation.GetObjectType(receivedType)) return false;
    typeText.swap(receivedType);
    return true;
  };
  const auto readProperty = [&](bool first) {
    propertyName.clear();
    propertyValue.clear();
    if (first ? automation.FirstProperty(propertyName, propertyValue)
              : automation.NextProperty(propertyName, propertyValue))
      return true;
    propertyName.clear();
    propertyValue.clear();
    return false;
  };
  const auto readTarvoInfo = [&] {
    libraryProject.clear();
    library.clear();
    tarvoName.clear();
    int32_t unusedNumber = 0;
    if (automation.GetTarvoInfo(libraryProject, library, tarvoName, unusedNumber)) return true;
    libraryProject.clear();
    library.clear();
    tarvoName.clear();
    return false;
  };
  const auto readAN = [&] {
    int16_t received = 0;
    if (!automation.GetObjectAN(received)) return false;
    an = received;
    return true;
  };
  // The identity texts and the property texts are emptied before they are next read, so the line may take
  // them over instead of copying them; only the AN must survive into the next finding.
  const auto addFinding = [&] {
    std::vector<std::u16string> fields;
    if (bShowAll) {
      fields.reserve(8);
      fields.push_back(sProjectName);
      fields.push_back(sPageName);
      fields.push_back(ToDecimal(an));
    } else {
      fields.reserve(4);
    }
    fields.push_back(std::move(libraryProject));
    fields.push_back(std::move(library));
    fields.push_back(std::move(tarvoName));
    fields.push_back(std::move(propertyName));
    if (bShowAll) {
      std::u16string& quotedValue = fields.emplace_back();
      quotedValue.reserve(propertyValue.size() + 2);
      quotedValue.append(1, u'\'').append(propertyValue).append(1, u'\'');
    }
    return findings.Add(std::move(fields));
  };
  const auto showCount = [&] {
    countText.assign(kCountPrefix).append(ToDecimal(findings.Count())).append(kCountSuffix);
    progress.Text(0, countText);
    return true;
  };

  pending.Clear();
  pending.Run([&] { return automation.FirstObject(); });
  while (!pending.IsSet()) {
    pending.Run(readType);
    if (typeText == kTarvoType) {
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

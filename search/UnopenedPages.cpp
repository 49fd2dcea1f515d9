// The compact list of pages that did not open and the summary line users read of it.
#include "UnopenedPages.h"

#include <algorithm>
#include <limits>

#include "TextUtil.h"

namespace morvex {

namespace {

uint32_t ClampedLength(std::string_view text) {
  // A name or detail longer than 4 GiB cannot come from a table cell or a parser; cut rather than wrap.
  return static_cast<uint32_t>(std::min<size_t>(text.size(), std::numeric_limits<uint32_t>::max()));
}

}  // namespace

void UnopenedPages::Add(std::string_view project, std::string_view page, const PageFailure& failure) {
  if (projects_.empty() || projects_.back() != project) projects_.emplace_back(project);
  Slot slot;
  slot.project = static_cast<uint32_t>(projects_.size() - 1);
  slot.reason = failure.reason;
  slot.page = text_.size();
  slot.pageLength = ClampedLength(page);
  slot.detailLength = ClampedLength(failure.detail);
  text_.append(page.substr(0, slot.pageLength));
  text_.append(std::string_view(failure.detail).substr(0, slot.detailLength));
  entries_.push_back(slot);
  ++byReason_[static_cast<size_t>(failure.reason)];
}

void UnopenedPages::AddPageList(std::string_view project, std::string_view path, const PageFailure& failure) {
  lists_.push_back(PageList{std::string(project), std::string(path), failure.reason, failure.detail, Count()});
}

UnopenedPages::Entry UnopenedPages::At(int64_t index) const {
  const Slot& slot = entries_[static_cast<size_t>(index)];
  const std::string_view text(text_);
  return Entry{projects_[slot.project], text.substr(slot.page, slot.pageLength), slot.reason,
               text.substr(slot.page + slot.pageLength, slot.detailLength)};
}

std::string GroupThousands(int64_t number) {
  std::string text = ToDecimal(number);
  const size_t firstDigit = text[0] == '-' ? 1 : 0;
  for (size_t end = text.size(); end > firstDigit + 3; end -= 3) text.insert(end - 3, 1, ',');
  return text;
}

namespace {

template <typename CountOf>
void AppendReasonCounts(std::string& text, CountOf countOf) {
  bool first = true;
  for (int reason = 0; reason < kPageFailureReasonCount; ++reason) {
    const int64_t count = countOf(static_cast<PageFailureReason>(reason));
    if (count == 0) continue;
    if (!first) text += ", ";
    first = false;
    text += GroupThousands(count);
    text += ' ';
    text += PageFailureText(static_cast<PageFailureReason>(reason));
  }
}

}  // namespace

std::string UnopenedSummary(const UnopenedPages& unopened) {
  if (!unopened.Any()) return {};
  std::string text = unopened.NothingScanned() ? "No page was scanned: " : "";
  if (unopened.Count() > 0) {
    text += GroupThousands(unopened.Count()) + " of " + GroupThousands(unopened.Tried()) +
            (unopened.Tried() == 1 ? " page" : " pages") + " could not be opened: ";
    AppendReasonCounts(text, [&](PageFailureReason reason) { return unopened.CountOf(reason); });
  }
  if (unopened.ListCount() > 0) {
    if (unopened.Count() > 0) text += "; ";
    text += GroupThousands(unopened.ListCount()) + " of " + GroupThousands(unopened.ListsTried()) +
            (unopened.ListsTried() == 1 ? " page list" : " page lists") + " could not be opened: ";
    AppendReasonCounts(text, [&](PageFailureReason reason) {
      int64_t count = 0;
      for (int64_t i = 0; i < unopened.ListCount(); ++i) count += unopened.ListAt(i).reason == reason ? 1 : 0;
      return count;
    });
  }
  return text;
}

namespace {

constexpr std::string_view kParagraph = "\r\n\r\n";

void AppendCell(std::string& text, std::string_view cell) {
  for (char c : cell) text += (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
}

void AppendRow(std::string& text, std::string_view project, std::string_view name, std::string_view reason) {
  AppendCell(text, project);
  text += '\t';
  AppendCell(text, name);
  text += '\t';
  AppendCell(text, reason);
  text += "\r\n";
}

}  // namespace

std::string UnopenedWindowMessage(const UnopenedPages& unopened, const PageServerUsed& server,
                                  ServerChoiceHint hint) {
  std::string text = UnopenedSummary(unopened);
  // Lists that hid every page are told in messages of their own; the server is only to blame where it was
  // given pages and opened none of them.
  if (unopened.Count() == 0 || unopened.Count() != unopened.Tried()) return text;
  text += kParagraph;
  if (server.pageFiles) {
    text += "The page server was Morvex's page-file server. It looks for each page as <page>.json in its "
            "project's folder (the project's Path in master.dbf), <page> being the page's Name in pages.dbf.";
  } else if (!server.classIdentifier.empty()) {
    text += "The page server was " + server.classIdentifier + ", chosen by its class identifier; where it looks for "
            "pages is for that server to say.";
  } else {
    text += "The page server in use opened none of them.";
  }
  text += kParagraph;
  if (hint == ServerChoiceHint::kChooseInWindow) {
    text += "To use another page server, choose \"Page server...\" in this window's system menu (Alt+Space), or set "
            "the value PageServer under HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Morvex\\Settings.";
  } else {
    text += "To scan these pages here, export them as page files: page-files.md (in docs/ of the sources, beside "
            "the README once installed) describes their names and contents.";
  }
  return text;
}

std::string UnopenedListText(const UnopenedPages& unopened) {
  std::string text;
  AppendRow(text, "Project", "Page", "Reason");
  unopened.ForEachAlike([&](std::string_view project, std::string_view name, bool, PageFailureReason reason,
                            std::string_view detail) {
    AppendRow(text, project, name, DescribePageFailure(reason, detail));
  });
  return text;
}

}  // namespace morvex

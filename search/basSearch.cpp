// basSearch: the search run, the page count, the project page scan and the percentage they share.
#include "basSearch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "Error.h"
#include "TextUtil.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace morvex {

namespace {

// Numbers of our own for failures that carry no number of their own; they follow those in Error.h.
constexpr int32_t kErrAutomationCall = 1007;  // SetInteractive reported failure
constexpr int32_t kErrUnexpected = 1008;      // a standard-library exception that is not a morvex::Error
constexpr int32_t kErrOutOfMemory = 7;        // the number users of the package's tools know for it

constexpr std::string_view kProjectList = "master.dbf";
constexpr std::string_view kPageList = "pages.dbf";
constexpr std::string_view kCountingText = "Finding Page Count...";
constexpr std::string_view kSearchingText = "Searching for reserved Tarvo keywords...";

constexpr std::array<std::string_view, 7> kBuiltInProjects = {
    "EXAMPLE", "INCLUDE", "SYSTEM", "INCV2", "ZRM_EXAMPLE", "ZRM_INCLUDE", "ZRM_QUICKPLOT"};

constexpr std::string_view kShowAllHeader =
    "Pg Proj\tPage\tAN\tLib Proj\tLibrary\tObject\tPropertyname\tPropertyValue";
constexpr std::string_view kUniqueHeader = "Project\tLibrary\tObject\tPropertyname";
constexpr std::string_view kLineEnd = "\r\n";

bool IsBuiltInProject(std::string_view sName) {
  const std::string upper = ToUpper(sName);
  for (std::string_view builtIn : kBuiltInProjects) {
    if (upper == builtIn) return true;
  }
  return false;
}

// The continue-on-error rule of the page scan: a failing step is abandoned and only marks the pending error.
template <typename StepBody>
void RunStep(bool& bPendingError, StepBody&& body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    throw;  // out of memory ends the run through the error report: a partial report must not pass as whole
  } catch (const PageServerLost&) {
    throw;  // no later step can succeed either
  } catch (const std::exception&) {
    bPendingError = true;
  }
}

std::string ErrorMessage(const std::string& sDescription, int32_t nNumber) {
  return sDescription + " " + ToDecimal(nNumber);
}

void ShowMessageQuietly(MessageSink& messages, std::string_view sMessage) {
  // The error report is the run's last act; a sink that fails there has nowhere left to report to.
  try {
    messages.ShowMessage(sMessage);
  } catch (...) {
  }
}

void SetInteractiveOrThrow(PageAutomation& automation, bool bValue) {
  if (!automation.SetInteractive(bValue)) {
    throw Error(kErrAutomationCall, bValue ? "Page automation failed: SetInteractive(True)"
                                           : "Page automation failed: SetInteractive(False)");
  }
}

// Steps 15 and 16 of a run that did not fail: give the server back its interactive mode and drop it.
void ReleaseAutomation(AppContext& context) {
  if (context.automation) SetInteractiveOrThrow(*context.automation, true);
  context.automation.reset();
}

}  // namespace

std::string_view ReportCompletenessNote(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCancelled: return "Partial report: the run was cancelled.";
    case RunOutcome::kUnexpectedError: return "No report: an error ended the run.";
    case RunOutcome::kCompleted:
    case RunOutcome::kProjectListMissing: break;
  }
  return {};
}

std::string_view ReportHeader(bool bShowAll) {
  return bShowAll ? kShowAllHeader : kUniqueHeader;
}

void WriteReport(const SearchResult& result, std::string_view lineEnd,
                 const std::function<void(std::string_view)>& write) {
  if (result.outcome == RunOutcome::kProjectListMissing || result.outcome == RunOutcome::kUnexpectedError)
    return;
  const FindingsList& findings = result.findings;
  if (findings.Count() == 0) {
    write(kNoItemsFound);
    return;
  }
  write(ReportHeader(result.showAll));
  write(lineEnd);
  for (int32_t i = 0; i < findings.Count(); ++i) {
    write(findings.Line(i));
    write(lineEnd);
  }
}

std::string SearchResult::Report() const {
  std::string report;
  size_t size = findings.TextBytes() + (static_cast<size_t>(findings.Count()) + 1) * kLineEnd.size() +
                kShowAllHeader.size();
  report.reserve(size);
  WriteReport(*this, kLineEnd, [&report](std::string_view piece) { report.append(piece); });
  return report;
}

bool ComputePercent(int32_t nPagesDone, int32_t nTotalPages, int32_t& nPercent) {
  if (nTotalPages == 0) return false;
  const double exact = static_cast<double>(nPagesDone) / static_cast<double>(nTotalPages) * 100.0;
  // Explicit half-to-even, so the result does not hang on the floating-point rounding mode in force.
  const double below = std::floor(exact);
  const double fraction = exact - below;
  double rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1.0;
  if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    ThrowOverflow();
  }
  nPercent = static_cast<int32_t>(rounded);
  return true;
}

int32_t CountPages(const TextTable& sTable, int32_t nPathColumn, std::string_view sBaseFolder) {
  clsDBase pageList;
  int32_t total = 0;
  const int32_t first = sTable.LowerBound(1);
  const int32_t last = sTable.UpperBound(1);
  for (int32_t row = first; row <= last; ++row) {
    const std::string& cell = sTable.At(row, nPathColumn);
    // Without a folder there is no page list; joined anyway, the name would reach the root folder.
    if (IsBlankPath(cell)) continue;
    try {
      pageList.Load(JoinPath(ResolveAgainst(sBaseFolder, cell), kPageList), 0);
    } catch (const Error&) {
      // One page list held open by another program, or unreadable, must not cost the whole run: it adds
      // nothing here, and the scan tells it as not opened, with its reason.
      pageList.CloseFile();
      continue;
    }
    int32_t sum = 0;
    if (__builtin_add_overflow(total, pageList.RecordCount(), &sum)) ThrowOverflow();
    total = sum;
    pageList.CloseFile();
  }
  return total;
}

namespace {

// Once per file and run: a page list read by the count and the scan, or named by two projects, is told once.
void TellDamagedTable(AppContext& context, const clsDBase& table, UnopenedPages* told) {
  if (!table.Corrupt() || (told != nullptr && !told->FirstTellingOfDamage(table.File()))) return;
  context.messages.ShowMessage(table.File() + " is damaged: " + table.CorruptReason());
}

// What a worker's page walk shows goes nowhere: the run's progress object is not to be touched from another
// thread. Only where the findings count would have been shown is kept, to be shown when the page is taken.
class ShownCounts : public ProgressInterface {
 public:
  ShownCounts(const FindingsList& findings, std::vector<int32_t>& shownAt) : findings_(findings), shownAt_(shownAt) {}
  void Title(std::string_view) override {}
  std::string Title() const override { return {}; }
  void Show() override {}
  void Close() override {}
  bool Shown() const override { return false; }

 protected:
  void SetLine(int index, std::string_view) override {
    if (index == 0) shownAt_.push_back(findings_.Count());
  }
  std::string Line(int) const override { return {}; }
  void ShowPercent(int32_t) override {}
  void ProcessEvents() override {}

 private:
  const FindingsList& findings_;
  std::vector<int32_t>& shownAt_;
};

// What a worker found on one page, until the page's turn comes.
struct PageOutcome {
  std::string name;
  bool opened = false;
  PageFailure failure;
  FindingsList findings;  // the page's own, repeats within it already dropped
  std::vector<int32_t> shownAt;  // how many of them there were at each showing of the count
  std::exception_ptr fatal;  // what would have ended the run at this page
};

// The page loop of ScanProject with the servers' work done on the workers: each page's outcome is taken in page
// order and told exactly as the one-server loop tells it. False when the user cancelled; the pages the workers
// finished after the one the Cancel was heard at are dropped unseen, as the one-server loop never opens them.
bool ScanPagesOnWorkers(PageWorkers& workers, AppContext& context, clsDBase& pageList, int32_t nameColumn,
                        int32_t pageCount, std::string_view sProjectName, FindingsList& findings,
                        int32_t& nPagesDone, int32_t nTotalPages, bool bShowAll, UnopenedPages* unopened) {
  std::vector<PageOutcome> outcomes(static_cast<size_t>(workers.Window()));
  const auto outcomeOf = [&](int32_t page) -> PageOutcome& {
    return outcomes[static_cast<size_t>(page % workers.Window())];
  };
  bool bPendingError = false;
  int32_t percent = 0;
  std::string line;

  const auto prepare = [&](int32_t page) {
    PageOutcome& outcome = outcomeOf(page);
    outcome.name.clear();
    RunStep(bPendingError, [&] { pageList.ReadElement(page + 1, nameColumn, outcome.name); });
  };
  const auto work = [&sProjectName, &outcomeOf, bShowAll](PageAutomation& server, int32_t page) {
    PageOutcome& outcome = outcomeOf(page);
    outcome.opened = false;
    outcome.failure = {};
    outcome.fatal = nullptr;
    try {
      outcome.findings.Clear();
      outcome.shownAt.clear();
      bool bOpenFailed = false;
      RunStep(bOpenFailed, [&] {
        outcome.opened = server.OpenPage(sProjectName, outcome.name);
        if (!outcome.opened) outcome.failure = server.LastOpenFailure();
      });
      if (!outcome.opened) return;
      ShownCounts shown(outcome.findings, outcome.shownAt);
      ScanPageObjects(server, shown, sProjectName, outcome.name, outcome.findings, bShowAll);
      bool bCloseFailed = false;
      RunStep(bCloseFailed, [&] { server.ClosePage(); });
    } catch (...) {
      outcome.fatal = std::current_exception();
    }
  };
  const auto take = [&](int32_t page) {
    PageOutcome& outcome = outcomeOf(page);
    bool bCancel = false;
    RunStep(bPendingError, [&] {
      line.assign("Page: ").append(outcome.name);
      context.progress.Text(2, line);
    });
    if (unopened != nullptr) {
      RunStep(bPendingError, [&] {
        unopened->CountTried();
        if (!outcome.opened) unopened->Add(sProjectName, outcome.name, outcome.failure);
      });
    }
    if (outcome.fatal) std::rethrow_exception(outcome.fatal);
    if (!outcome.opened) {
      RunStep(bPendingError, [&] { context.progress.PollCancel(bCancel); });
      return !bCancel;
    }
    // Added and counted in the steps the walk made them, so the progress lines read as with one server.
    const int32_t findingsBefore = findings.Count();
    int32_t added = 0;
    const auto addUpTo = [&](int32_t end) {
      for (; added < end; ++added) RunStep(bPendingError, [&] { findings.AddLineOf(outcome.findings, added); });
    };
    for (const int32_t shownAt : outcome.shownAt) {
      addUpTo(shownAt);
      RunStep(bPendingError, [&] { ShowFoundCount(context.progress, findings.Count(), line); });
    }
    addUpTo(outcome.findings.Count());
    outcome.findings.Clear();  // the memory of a page with many findings back before more pages are handed out
    if (context.findingsObserver != nullptr && findings.Count() != findingsBefore) {
      RunStep(bPendingError, [&] { context.findingsObserver->FindingsAdded(findings); });
    }
    RunStep(bPendingError, [&] {
      if (nPagesDone == std::numeric_limits<int32_t>::max()) ThrowOverflow();
      ++nPagesDone;
    });
    RunStep(bPendingError, [&] { ComputePercent(nPagesDone, nTotalPages, percent); });
    RunStep(bPendingError, [&] { context.progress.Update(percent, bCancel); });
    return !bCancel;
  };
  return workers.Run(pageCount, prepare, work, take);
}

}  // namespace

int16_t ScanProject(AppContext& context, std::string_view sProjectName, std::string_view sProjectPath,
                    FindingsList& findings, int32_t& nPagesDone, int32_t nTotalPages, bool bShowAll,
                    UnopenedPages* unopened, PageWorkers* workers) {
  bool bPendingError = false;
  clsDBase pageList;
  std::string listPath;
  PageFailure listFailure{PageFailureReason::kMissing, {}};
  bool loaded = false;
  if (unopened != nullptr) unopened->CountListTried();
  if (IsBlankPath(sProjectPath)) {
    listFailure = {PageFailureReason::kNoProjectFolder, "its Path in the project list is empty or blank"};
  } else if (sProjectPath.find('\0') != std::string_view::npos) {
    // The system would stop reading the name at the NUL and open some other file (a damaged table reads as
    // NULs past its end).
    listPath = JoinPath(sProjectPath, kPageList);
    listFailure = {PageFailureReason::kUnreadable, "its Path in the project list holds a NUL byte"};
  } else {
    listPath = JoinPath(sProjectPath, kPageList);
    try {
      loaded = pageList.Load(listPath, 0);
    } catch (const std::bad_alloc&) {
      throw;  // as in every other step: a partial report must not pass as whole
    } catch (const Error& error) {
      // The system's own words when the file could not be opened (locked, no permission); else what the reader
      // found wrong, which names the file.
      listFailure = {PageFailureReason::kUnreadable,
                     pageList.OpenError() ? pageList.OpenError().message() : error.Description()};
    } catch (const std::exception& error) {
      listFailure = {PageFailureReason::kUnreadable, error.what()};
    }
  }
  if (!loaded && listFailure.reason == PageFailureReason::kMissing && !listPath.empty()) {
    // The reader calls anything it cannot take for a table absent; a folder, a pipe or a file behind a folder
    // that refuses us is there, and a user looking for a missing file would look in vain.
    if (std::optional<PageFailure> why = FileOpenFailure(ToNativePath(listPath))) listFailure = std::move(*why);
  }
  if (!loaded) {
    std::string message = "Cannot open page list:\r\n";
    // Without a folder there is no path to show: the project is named instead.
    message += listPath.empty() ? std::string(kPageList) + " of project " + std::string(sProjectName) : listPath;
    if (listFailure.reason != PageFailureReason::kMissing) {
      message += "\r\n";
      message += DescribePageFailure(listFailure.reason, listFailure.detail);
    }
    RunStep(bPendingError, [&] { context.messages.ShowMessage(message); });
    if (unopened != nullptr) {
      RunStep(bPendingError, [&] { unopened->AddPageList(sProjectName, listPath, listFailure); });
    }
    RunStep(bPendingError, [&] { pageList.CloseFile(); });
    return 0;
  }
  RunStep(bPendingError, [&] { TellDamagedTable(context, pageList, unopened); });

  int32_t nameColumn = 0;
  int32_t pageCount = 0;
  RunStep(bPendingError, [&] { nameColumn = pageList.FieldNumber("Name"); });
  RunStep(bPendingError, [&] { pageCount = pageList.RecordCount(); });

  if (workers != nullptr) {
    const bool walked = ScanPagesOnWorkers(*workers, context, pageList, nameColumn, pageCount, sProjectName, findings,
                                           nPagesDone, nTotalPages, bShowAll, unopened);
    if (!walked) return -1;
    RunStep(bPendingError, [&] { pageList.CloseFile(); });
    return 0;
  }

  int32_t percent = 0;
  bool bCancel = false;
  std::string pageName;
  std::string nextPageName;
  std::string pageLine;
  int32_t namedAhead = 1;  // the last record named to the server ahead of its opening
  for (int32_t record = 1; record <= pageCount; ++record) {
    pageName.clear();
    RunStep(bPendingError, [&] { pageList.ReadElement(record, nameColumn, pageName); });
    RunStep(bPendingError, [&] {
      pageLine.assign("Page: ").append(pageName);
      context.progress.Text(2, pageLine);
    });

    bPendingError = false;
    PageFailure failure;
    RunStep(bPendingError, [&] {
      if (!context.automation) {
        bPendingError = true;
      } else if (!context.automation->OpenPage(sProjectName, pageName)) {
        bPendingError = true;
        failure = context.automation->LastOpenFailure();
      }
    });
    if (unopened != nullptr) {
      RunStep(bPendingError, [&] {
        unopened->CountTried();
        if (bPendingError) unopened->Add(sProjectName, pageName, failure);
      });
    }
    // The server may read the next pages while this one is walked; a Cancel leaves them unopened.
    if (context.automation) {
      try {
        const int64_t lastToName = std::min<int64_t>(int64_t{record} + kPagesNamedAhead, pageCount);
        while (namedAhead < lastToName) {
          ++namedAhead;
          pageList.ReadElement(namedAhead, nameColumn, nextPageName);
          context.automation->PreparePage(sProjectName, nextPageName);
        }
      } catch (const PageServerLost&) {
        throw;
      } catch (const std::exception&) {
        // Only a hint: the page is then read when it is opened.
        namedAhead = pageCount;
      }
    }
    if (bPendingError) {
      // A project whose pages all fail would otherwise run to its end with the user's Cancel unheard.
      RunStep(bPendingError, [&] { context.progress.PollCancel(bCancel); });
      if (bCancel) return -1;
      continue;
    }

    const int32_t findingsBefore = findings.Count();
    RunStep(bPendingError, [&] {
      ScanPageObjects(*context.automation, context.progress, sProjectName, pageName, findings, bShowAll);
    });
    if (context.findingsObserver != nullptr && findings.Count() != findingsBefore) {
      RunStep(bPendingError, [&] { context.findingsObserver->FindingsAdded(findings); });
    }
    RunStep(bPendingError, [&] {
      if (!context.automation->ClosePage()) bPendingError = true;
    });
    RunStep(bPendingError, [&] {
      if (nPagesDone == std::numeric_limits<int32_t>::max()) ThrowOverflow();
      ++nPagesDone;
    });
    RunStep(bPendingError, [&] { ComputePercent(nPagesDone, nTotalPages, percent); });
    RunStep(bPendingError, [&] { context.progress.Update(percent, bCancel); });
    if (bCancel) return -1;
  }

  RunStep(bPendingError, [&] { pageList.CloseFile(); });
  return 0;
}

SearchResult RunSearchDetailed(AppContext& context, std::string_view sFolder, bool bShowAll,
                               bool bIgnoreBuiltIn) {
  SearchResult result;
  result.showAll = bShowAll;
  int32_t errorNumber = 0;
  std::string errorDescription;
  try {
    context.progress.ClearCancel();
    context.progress.Show();
    context.progress.Text(0, kCountingText);

    if (!context.automation) {
      context.automation = context.createAutomation();
      if (!context.automation) throw Error(kErrAutomationCreate, "The page-automation server could not be created");
    }
    // Our server learns its site from the run, so a server kept from an earlier run follows a new folder.
    context.automation->ServeFolder(sFolder);

    clsDBase projectList;
    const std::string listPath = JoinPath(sFolder, kProjectList);
    if (!projectList.Load(listPath, 0)) {
      context.progress.Close();
      context.messages.ShowMessage("Cannot open project list:\r\n" + listPath);
      result.outcome = RunOutcome::kProjectListMissing;
      ReleaseAutomation(context);
      return result;
    }
    TellDamagedTable(context, projectList, &result.unopened);

    const int32_t nameColumn = projectList.FieldNumber("Name");
    const int32_t pathColumn = projectList.FieldNumber("Path");
    const int32_t recordCount = projectList.RecordCount();
    // The count would fail on the missing column with a bare "Subscript out of range"; say which file lacks it.
    if (recordCount > 0 && pathColumn < 1) {
      ThrowOutOfRange("Subscript out of range: " + listPath +
                      (projectList.Corrupt() ? " is damaged and" : "") +
                      " has no field \"Path\"");
    }
    // The reader's own array stands in for the copy: the count only reads it, and a copy of a large list
    // costs. A valid list without records is a site without projects, not a subscript error: it has no pages.
    const int32_t totalPages = recordCount == 0 ? 0 : CountPages(projectList.Values(), pathColumn, sFolder);

    context.progress.Text(0, kSearchingText);
    SetInteractiveOrThrow(*context.automation, false);
    // Made on their own threads and set up like the held server; an error ends the run as the held one's would.
    std::optional<PageWorkers> workers;
    if (context.pageWorkers > 1) {
      workers.emplace(context.pageWorkers, context.createAutomation, [sFolder](PageAutomation& server) {
        server.ServeFolder(sFolder);
        SetInteractiveOrThrow(server, false);
      });
    }

    int32_t pagesDone = 0;
    int16_t lastScanResult = 0;
    for (int32_t record = 1; record <= recordCount; ++record) {
      const std::string name = projectList.Element(record, nameColumn);
      if (bIgnoreBuiltIn && IsBuiltInProject(name)) continue;
      const std::string path = ResolveAgainst(sFolder, projectList.Element(record, pathColumn));
      context.progress.Text(1, "Project: " + name);
      if (projectList.RecordDeleted(record)) continue;
      result.projectFolders.emplace_back(name, path);
      lastScanResult = ScanProject(context, name, path, result.findings, pagesDone, totalPages, bShowAll,
                                   &result.unopened, workers ? &*workers : nullptr);
      if (lastScanResult == -1) break;
    }

    // A run that could not open some pages must not pass for a clean one: said in front of the progress window,
    // like the run's other messages, before "Done".
    // A page list that did not open had a message of its own already; it is counted again only where pages
    // failed too, or where nothing at all was scanned, which must never end like a clean run.
    if (lastScanResult == 0 && context.showUnopenedMessage &&
        (result.unopened.Count() > 0 || result.unopened.NothingScanned())) {
      const PageServerUsed server{context.automation->ServesPageFiles(), context.automation->ClassIdentifier()};
      context.messages.ShowMessageOfferingCopy(
          UnopenedWindowMessage(result.unopened, server, context.serverChoiceHint), kCopyUnopenedQuestion,
          [&result] { return UnopenedListText(result.unopened); });
    }
    context.progress.Close();
    if (lastScanResult == 0) {
      context.messages.ShowMessage("Done");
      result.outcome = RunOutcome::kCompleted;
    } else {
      result.outcome = RunOutcome::kCancelled;
    }
    if (workers) workers->Release([](PageAutomation& server) { SetInteractiveOrThrow(server, true); });
    ReleaseAutomation(context);
    return result;
  } catch (const PageServerLost& error) {
    errorNumber = error.Number();
    errorDescription = error.Description();
    // A proxy to a server that is gone never answers again: the next run creates a new one.
    context.automation.reset();
  } catch (const Error& error) {
    errorNumber = error.Number();
    errorDescription = error.Description();
  } catch (const std::bad_alloc&) {
    errorNumber = kErrOutOfMemory;
    errorDescription = "Out of memory";
  } catch (const std::exception& error) {
    errorNumber = kErrUnexpected;
    errorDescription = error.what();
  }

  // The progress window and the automation object stay as they are, for the next run to take over.
  result.outcome = RunOutcome::kUnexpectedError;
  ShowMessageQuietly(context.messages, ErrorMessage(errorDescription, errorNumber));
  return result;
}

std::string RunSearch(AppContext& context, std::string_view sFolder, bool bShowAll, bool bIgnoreBuiltIn) {
  return RunSearchDetailed(context, sFolder, bShowAll, bIgnoreBuiltIn).Report();
}

}  // namespace morvex

// PageFailure: why a page did not open, as far as the page server can tell, and the words users read for it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace morvex {

// In the order the summaries list them. kUnknown is what a server that keeps no reasons gives.
enum class PageFailureReason : uint8_t {
  kMissing,           // no page file of that name
  kNotOrdinaryFile,   // a folder, pipe or device where the page file should be
  kTooLarge,          // over the size a page file may have
  kUnreadable,        // there, but the system refused to open or read it
  kNotValidJson,      // the file is no JSON text
  kNotPageShape,      // JSON, but not a page
  kNameLeavesFolder,  // the page name would reach outside its project folder
  kUnknownProject,    // the project has no folder the server knows
  kNoProjectFolder,   // the project list gives the project no folder (an empty or blank Path)
  kUnknown,           // the server said only that it failed
};
inline constexpr int kPageFailureReasonCount = static_cast<int>(PageFailureReason::kUnknown) + 1;

struct PageFailure {
  PageFailureReason reason = PageFailureReason::kUnknown;
  std::string detail;  // where and what exactly, when the server knows (the parser's message, the member)
};

// "missing", "not valid JSON", ...: short enough for a count in a summary line.
std::string_view PageFailureText(PageFailureReason reason);
// A stable identifier for machine-readable output ("missing", "not-valid-json", ...).
std::string_view PageFailureId(PageFailureReason reason);
// The reason an identifier names, if any.
std::optional<PageFailureReason> PageFailureFromId(std::string_view id);
// The reason text and, when there is one, its detail after a colon.
std::string DescribePageFailure(PageFailureReason reason, std::string_view detail);

// Why a file could not be opened for reading, in the words pages and page lists share: missing, not an
// ordinary file (with "hidden or system file" where Windows sets it apart), or unreadable with the system's
// reason. From the error an open gave, or from opening the file now: nothing when it opens after all.
PageFailure FailureOfOpen(const std::error_code& error, const std::filesystem::path& file);
std::optional<PageFailure> FileOpenFailure(const std::filesystem::path& file);


}  // namespace morvex

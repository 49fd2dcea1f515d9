// The words and identifiers of the reasons a page did not open.
#include "PageFailure.h"

#include <array>

#include "basFileTools.h"

namespace morvex {

namespace {

struct ReasonNames {
  std::string_view text;
  std::string_view id;
};

constexpr std::array<ReasonNames, kPageFailureReasonCount> kReasonNames = {{
    {"missing", "missing"},
    {"not an ordinary file", "not-ordinary-file"},
    {"over the size limit", "too-large"},
    {"unreadable", "unreadable"},
    {"not valid JSON", "not-valid-json"},
    {"not a page", "not-page-shape"},
    {"a name outside its project folder", "name-leaves-folder"},
    {"project unknown to the page server", "unknown-project"},
    {"no project folder", "no-project-folder"},
    {"refused by the page server", "refused"},
}};

}  // namespace

std::string_view PageFailureText(PageFailureReason reason) {
  return kReasonNames[static_cast<size_t>(reason)].text;
}

std::string_view PageFailureId(PageFailureReason reason) {
  return kReasonNames[static_cast<size_t>(reason)].id;
}

std::optional<PageFailureReason> PageFailureFromId(std::string_view id) {
  for (size_t i = 0; i < kReasonNames.size(); ++i) {
    if (kReasonNames[i].id == id) return static_cast<PageFailureReason>(i);
  }
  return std::nullopt;
}

std::string DescribePageFailure(PageFailureReason reason, std::string_view detail) {
  std::string text(PageFailureText(reason));
  if (!detail.empty()) text.append(": ").append(detail);
  return text;
}

PageFailure FailureOfOpen(const std::error_code& error, const std::filesystem::path& file) {
  if (error == FileOpenError::kNotOrdinaryFile) {
    // Asked after the open only for the words: the open itself already refused the file.
    return {PageFailureReason::kNotOrdinaryFile,
            platform::IsHiddenOrSystemFile(file) ? "hidden or system file" : std::string()};
  }
  if (error == std::errc::no_such_file_or_directory) return {PageFailureReason::kMissing, {}};
  return {PageFailureReason::kUnreadable, error.message()};
}

std::optional<PageFailure> FileOpenFailure(const std::filesystem::path& file) {
  ReadOnlyFile opened;
  const std::error_code error = ReadOnlyFile::Open(file, opened);
  if (!error) return std::nullopt;
  return FailureOfOpen(error, file);
}

}  // namespace morvex

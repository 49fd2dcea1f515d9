// Writing a file the user named: where it leads, whether it may be replaced, and the move into place.
#include "NamedOutputFile.h"

#include <filesystem>
#include <system_error>

#include "basFileTools.h"

namespace morvex {

namespace {

// Scratch names tried in turn; one left over by a run that was killed is someone's file and stays.
constexpr int kScratchNames = 100;

std::string Reason(const std::error_code& error) {
  if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
    return "its folder does not exist";
  }
  return error.message();
}

}  // namespace

bool NamedOutputFile::Prepare(std::string_view path, std::string& error) {
  path_ = path;
  return Check(error);
}

bool NamedOutputFile::Check(std::string& error) {
  const std::filesystem::path native = ToNativePath(path_);
  // Decided from the name alone: opening such a name would reach the device, whatever the folder holds.
  if (IsDeviceName(FromNativePath(native.filename()))) {
    error = "a device name, not an ordinary file";
    return false;
  }
  if (const std::error_code code = platform::FindWriteTarget(native, target_)) {
    error = Reason(code);
    return false;
  }
  switch (target_.kind) {
    case platform::WriteTargetKind::kAbsent:
    case platform::WriteTargetKind::kOrdinaryFile:
      return true;
    case platform::WriteTargetKind::kNotOrdinaryFile:
      error = "not an ordinary file";
      return false;
    case platform::WriteTargetKind::kBrokenLink:
      error = "a link to a file that does not exist";
      return false;
  }
  return false;
}

bool NamedOutputFile::Replace(std::string_view bytes, std::string& error) {
  if (!Check(error)) return false;
  std::filesystem::path scratch;
  std::error_code code = std::make_error_code(std::errc::file_exists);
  for (int attempt = 0; attempt < kScratchNames && code == std::errc::file_exists; ++attempt) {
    scratch = target_.path;
    scratch += attempt == 0 ? std::string(".partial") : ".partial" + std::to_string(attempt);
    code = platform::WriteNewFile(scratch, bytes, target_);
  }
  if (!code) {
    code = platform::MoveOver(scratch, target_);
    if (code) {
      std::error_code ignored;
      std::filesystem::remove(scratch, ignored);
    }
  }
  if (code) error = code.message();
  return !code;
}

}  // namespace morvex

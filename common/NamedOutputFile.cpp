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
  if (!Check(error)) return false;
  if (IsStream()) {
    if (const std::error_code code = scratch_.OpenStream(target_.path)) {
      error = Reason(code);
      return false;
    }
    return true;
  }
  // A folder that refuses new files (permissions, a read-only mount) is found now, not after the scan.
  if (!CreateScratch(error)) return false;
  scratch_.Discard();
  return true;
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
    case platform::WriteTargetKind::kStream:
      return true;
    case platform::WriteTargetKind::kFolder:
      error = "a folder, not a file";
      return false;
    case platform::WriteTargetKind::kBlockDevice:
      error = "a block device, not an ordinary file";
      return false;
    case platform::WriteTargetKind::kSocket:
      error = "a socket, not an ordinary file";
      return false;
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
  if (!Begin(error)) return false;
  Write(bytes);
  return Commit(error);
}

bool NamedOutputFile::Begin(std::string& error) {
  writeError_.clear();
  // A stream was opened by Prepare and stays what it was; only a file's place can change meanwhile.
  if (IsStream()) return true;
  return Check(error) && CreateScratch(error);
}

bool NamedOutputFile::CreateScratch(std::string& error) {
  std::error_code code = std::make_error_code(std::errc::file_exists);
  for (int attempt = 0; attempt < kScratchNames && code == std::errc::file_exists; ++attempt) {
    scratchPath_ = target_.path;
    scratchPath_ += attempt == 0 ? std::string(".partial") : ".partial" + std::to_string(attempt);
    code = scratch_.Create(scratchPath_, target_);
  }
  if (code) error = code.message();
  return !code;
}

void NamedOutputFile::Write(std::string_view bytes) {
  if (!writeError_ && !bytes.empty()) writeError_ = scratch_.Write(bytes);
}

bool NamedOutputFile::Commit(std::string& error) {
  std::error_code code = writeError_;
  if (code) {
    scratch_.Discard();
  } else {
    code = scratch_.Finish();
  }
  if (!code && !IsStream()) {
    code = platform::MoveOver(scratchPath_, target_);
    if (code) {
      std::error_code ignored;
      std::filesystem::remove(scratchPath_, ignored);
    }
  }
  if (code) error = code.message();
  return !code;
}

}  // namespace morvex

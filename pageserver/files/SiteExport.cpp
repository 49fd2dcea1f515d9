// SiteExport: a site copied into a new folder as our page-file server reads it, pages taken from any page server.
#include "SiteExport.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "Error.h"
#include "PageDocument.h"
#include "PageFileWriter.h"
#include "TextUtil.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace morvex {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProjectList = "master.dbf";
constexpr std::string_view kPageList = "pages.dbf";
// Enough of a project's name to recognise its folder by; the record number keeps folders apart anyway.
constexpr size_t kLongestNamePart = 40;

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// True when inner is outer or lies below it, judged by what the folders are: a path spelt through another drive
// letter, a share, a link or a junction must not lead an export into the site.
bool IsWithin(const fs::path& inner, const fs::path& outer) { return platform::IsSameOrBelowFolder(inner, outer); }

std::error_code ReadAll(const fs::path& file, std::string& bytes) {
  ReadOnlyFile input;
  if (const std::error_code error = ReadOnlyFile::Open(file, input)) return error;
  bytes.assign(static_cast<size_t>(input.Size()), '\0');
  size_t read = 0;
  if (const std::error_code error = input.Read(bytes.data(), bytes.size(), read)) return error;
  bytes.resize(read);
  return {};
}

std::error_code WriteNew(const fs::path& file, std::string_view bytes) {
  platform::WriteTarget target;
  target.path = file;
  return platform::WriteNewFile(file, bytes, target);
}

uint32_t LittleEndian(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width && at + i < bytes.size(); ++i) {
    value |= uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  }
  return value;
}

struct ProjectCopy {
  std::string source;  // the project's folder in the site
  std::string folder;  // its folder's name in the export
};

// The project list's bytes with every non-blank "Path" cell naming the record's folder in the export;
// everything else, deleted records and their marks included, byte for byte as it was.
class ProjectListRewrite {
 public:
  bool Plan(const std::string& listPath, std::string_view siteFolder, ExportLayout& layout, std::string& error) {
    clsDBase projects;
    try {
      if (!projects.Load(listPath, 0)) return false;
    } catch (const Error& failure) {
      error = failure.Description();
      return false;
    }
    if (const std::error_code read = ReadAll(ToNativePath(listPath), bytes_)) {
      error = listPath + ": " + read.message();
      return false;
    }
    const int32_t nameField = projects.FieldNumber("Name");
    pathField_ = projects.FieldNumber("Path");
    if (pathField_ < 1) {
      error = listPath + " has no field \"Path\"";
      return false;
    }
    const int32_t width = projects.FieldLength(pathField_);
    // Where the reader finds a record's cells: the lengths of the fields before, after the deletion mark.
    int64_t offset = 1;
    for (int32_t field = 1; field < pathField_; ++field) offset += projects.FieldLength(field);
    const int64_t headerLength = static_cast<int16_t>(LittleEndian(bytes_, 8, 2));
    const int64_t recordLength = static_cast<int16_t>(LittleEndian(bytes_, 10, 2));

    for (int32_t record = 1; record <= projects.RecordCount(); ++record) {
      const std::string path = projects.Element(record, pathField_);
      if (IsBlankPath(path)) continue;  // no folder: the scan of the export says so as the site's does
      const std::string name = nameField < 1 ? std::string() : projects.Element(record, nameField);
      std::string folder = ExportFolderName(record, name, width);
      if (folder.empty()) {
        error = "the \"Path\" field of " + listPath + " holds " + ToDecimal(width) +
                " bytes, too few for the folder name of record " + ToDecimal(record);
        return false;
      }
      const int64_t at = headerLength + (record - 1) * recordLength + offset;
      if (at < 0 || at + width > static_cast<int64_t>(bytes_.size())) {
        error = listPath + " is damaged: the \"Path\" cell of record " + ToDecimal(record) + " is not in the file";
        return false;
      }
      std::string cell = folder;
      cell.resize(static_cast<size_t>(width), ' ');
      std::memcpy(bytes_.data() + at, cell.data(), cell.size());
      rewritten_.emplace_back(record, folder);
      // As our server looks a project up: the first record not deleted, with a folder, of that name.
      if (nameField >= 1 && !projects.RecordDeleted(record)) layout.pageFolderByName.emplace(FoldCase(name), folder);
      copies_.push_back({ResolveAgainst(siteFolder, path), std::move(folder)});
    }
    return Verify(listPath, projects.RecordCount(), error);
  }

  const std::string& Bytes() const { return bytes_; }
  const std::vector<ProjectCopy>& Copies() const { return copies_; }

 private:
  // A damaged list whose records overlap would read back other than planned; refused rather than exported.
  bool Verify(const std::string& listPath, int32_t records, std::string& error) const {
    clsDBase written;
    try {
      written.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size(), listPath, 0);
    } catch (const Error& failure) {
      error = failure.Description();
      return false;
    }
    bool same = written.RecordCount() == records;
    for (const auto& [record, folder] : rewritten_) same = same && written.Element(record, pathField_) == folder;
    if (!same) error = listPath + " is damaged: its \"Path\" cells cannot be rewritten one by one";
    return same;
  }

  std::string bytes_;
  int32_t pathField_ = 0;
  std::vector<std::pair<int32_t, std::string>> rewritten_;
  std::vector<ProjectCopy> copies_;
};

// The page files written so far, shared by every server a run makes: workers scanning side by side may meet
// the same file through a page listed twice or two projects of one name.
struct WrittenPages {
  enum class Claim { kWrite, kWrittenAlready, kDiffersOnlyInCase };
  // kWrite for the one caller that is to write the file. Where names compare without case (Windows), a file
  // that differs from one claimed before only in case would be that file, and our server would open it for
  // both pages.
  Claim Take(const std::string& file) {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto [at, taken] = files.emplace(platform::HasDrivePaths() ? FoldCase(file) : file, file);
    if (taken) return Claim::kWrite;
    return at->second == file ? Claim::kWrittenAlready : Claim::kDiffersOnlyInCase;
  }
  void Release(const std::string& file) {
    const std::lock_guard<std::mutex> lock(mutex);
    files.erase(platform::HasDrivePaths() ? FoldCase(file) : file);
  }
  std::mutex mutex;
  std::map<std::string, std::string> files;  // by the key names compare by, each as it was claimed
};

// A write that failed because of the page's name (which another name might have passed) rather than because
// of the folder it went into. Everything else would fail for every later page too.
bool IsNameFault(const std::error_code& error) {
  return error == std::errc::file_exists || error == std::errc::filename_too_long ||
         error == std::errc::invalid_argument || error == std::errc::illegal_byte_sequence;
}

// Why no page file can have this name on Windows, where it could otherwise be written; empty when it can.
std::string_view WindowsFileNameRefusal(std::string_view fileName, bool windowsRules) {
  if (!windowsRules) return {};
  if (IsDeviceNameOn(fileName, true)) return "its name is a device's on Windows";
  for (const char c : fileName) {
    if ((c >= 1 && c <= 31) || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return "its name holds a character that Windows refuses in file names";
    }
  }
  return {};
}

}  // namespace

struct SiteExport::Health {
  // True for the first failure, which is kept; the others only repeat it.
  void Fail(std::string reason) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!failure) failure = std::move(reason);
    failed.store(true, std::memory_order_relaxed);
  }
  bool Failed() const { return failed.load(std::memory_order_relaxed); }

  mutable std::mutex mutex;
  std::optional<std::string> failure;
  std::atomic<bool> failed{false};
};

namespace {

// The run's page server, writing each page that opens into the export before the run walks it.
class RecordingPageServer final : public PageAutomation {
 public:
  RecordingPageServer(std::unique_ptr<PageAutomation> inner, std::shared_ptr<const ExportLayout> layout,
                      std::shared_ptr<WrittenPages> written, std::shared_ptr<SiteExport::Health> health)
      : inner_(std::move(inner)),
        layout_(std::move(layout)),
        written_(std::move(written)),
        health_(std::move(health)) {}

  bool SetInteractive(bool bValue) override { return inner_->SetInteractive(bValue); }
  void ServeFolder(std::string_view sUserPath) override { inner_->ServeFolder(sUserPath); }
  void PreparePage(std::string_view sProject, std::string_view sPage) override {
    inner_->PreparePage(sProject, sPage);
  }
  PageFailure LastOpenFailure() override { return failure_; }

  bool OpenPage(std::string_view sProject, std::string_view sPage) override {
    page_.Close();
    if (!inner_->OpenPage(sProject, sPage)) {
      failure_ = inner_->LastOpenFailure();
      return false;
    }
    std::string json, why;
    bool walked = false;
    try {
      walked = WritePageFile(*inner_, json, why);
    } catch (const std::bad_alloc&) {
      throw;  // as everywhere in a run: a partial report must not pass as whole
    } catch (const PageServerLost&) {
      throw;  // a server that is gone fails every later page too: the run ends with the one message
    } catch (const std::exception& error) {
      // A server that raises instead of failing: the page is not half written, and the next one is tried.
      why = std::string("the server failed while the page was read: ") + error.what();
    }
    inner_->ClosePage();
    if (!walked) return Fail(PageFailureReason::kUnknown, why);
    if (!page_.LoadBytes(json)) {
      failure_ = page_.Failure();
      return false;
    }
    if (!Store(sProject, sPage, json)) {
      page_.Close();
      return false;
    }
    return true;
  }
  bool ClosePage() override { return page_.Close(); }
  bool FirstObject() override { return page_.FirstObject(); }
  bool NextObject() override { return page_.NextObject(); }
  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override {
    return page_.FirstProperty(sName, sValue);
  }
  bool NextProperty(std::string_view& sName, std::string_view& sValue) override {
    return page_.NextProperty(sName, sValue);
  }
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override {
    return page_.GetTarvoInfo(sLibProject, sLibrary, sTarvo, nNumber);
  }
  bool GetObjectAN(int16_t& nAN) override { return page_.GetObjectAN(nAN); }
  bool GetObjectType(std::string_view& sType) override { return page_.GetObjectType(sType); }

 private:
  bool Fail(PageFailureReason reason, std::string detail) {
    failure_ = {reason, std::move(detail)};
    return false;
  }

  bool Store(std::string_view sProject, std::string_view sPage, const std::string& json) {
    const auto found = layout_->pageFolderByName.find(FoldCase(sProject));
    if (found == layout_->pageFolderByName.end()) {
      return Fail(PageFailureReason::kUnknownProject, "the export has no folder for this project");
    }
    // The export holds only what our server can find again, and nothing outside its folder.
    if (sPage.find('\0') != std::string_view::npos || !IsNameWithinFolder(sPage)) {
      return Fail(PageFailureReason::kNameLeavesFolder, {});
    }
    const std::string fileName = std::string(sPage) + ".json";
    if (const std::string_view why = WindowsFileNameRefusal(fileName, platform::HasDrivePaths()); !why.empty()) {
      return Fail(PageFailureReason::kUnknown, std::string(why));
    }
    const std::string file = JoinPath(JoinPath(layout_->folder, found->second), fileName);
    // Once the export folder has refused a write, the copy is lost anyway: the scan goes on without it.
    if (health_->Failed()) return true;
    // A page list may name a page twice, or two projects of one name share a folder: the page is written once.
    switch (written_->Take(file)) {
      case WrittenPages::Claim::kWrite: break;
      case WrittenPages::Claim::kWrittenAlready: return true;
      case WrittenPages::Claim::kDiffersOnlyInCase:
        return Fail(PageFailureReason::kUnknown, "its name differs only in case from a page written before");
    }
    if (const std::error_code error = WriteNew(ToNativePath(file), json)) {
      written_->Release(file);
      if (!IsNameFault(error)) {
        health_->Fail(error.message());
        return true;
      }
      return Fail(PageFailureReason::kUnknown, "cannot be written into the export: " + error.message());
    }
    return true;
  }

  std::unique_ptr<PageAutomation> inner_;
  std::shared_ptr<const ExportLayout> layout_;
  PageDocument page_;
  PageFailure failure_;
  std::shared_ptr<WrittenPages> written_;
  std::shared_ptr<SiteExport::Health> health_;
};

}  // namespace

std::string ExportFolderName(int32_t nRecord, std::string_view sName, int32_t width) {
  std::string folder = ToDecimal(nRecord);
  if (width < 0 || folder.size() > static_cast<size_t>(width)) return {};
  std::string part;
  for (const char c : sName) {
    if (IsNameByte(c)) {
      part += c;
    } else if (part.empty() || part.back() != '_') {
      part += '_';
    }
  }
  while (!part.empty() && part.back() == '_') part.pop_back();
  const size_t room = static_cast<size_t>(width) - folder.size();
  if (!part.empty() && room >= 2) folder.append("-").append(part.substr(0, std::min(room - 1, kLongestNamePart)));
  return folder;
}

bool SiteExport::Begin(std::string_view exportFolder, std::string_view siteFolder, std::string& error) {
  const fs::path target = ToNativePath(exportFolder);
  if (IsWithin(target, ToNativePath(siteFolder))) {
    error = "it lies in the site's folder, and an export never writes into the site";
    return false;
  }
  std::error_code status;
  const bool exists = fs::exists(fs::symlink_status(target, status));
  if (exists && !fs::is_directory(target, status)) {
    error = "it is there and is not a folder";
    return false;
  }
  if (exists && !fs::is_empty(target, status)) {
    error = status ? status.message() : "it is not empty; give a new or empty folder";
    return false;
  }

  auto layout = std::make_shared<ExportLayout>();
  layout->folder = exportFolder;
  ProjectListRewrite projectList;
  if (!projectList.Plan(JoinPath(siteFolder, kProjectList), siteFolder, *layout, error)) return error.empty();

  if (!exists) {
    fs::create_directories(target, status);
    if (status) {
      error = "cannot create it: " + status.message();
      return false;
    }
  }
  if (const std::error_code written = WriteNew(target / kProjectList, projectList.Bytes())) {
    error = "cannot write its " + std::string(kProjectList) + ": " + written.message();
    return false;
  }
  for (const ProjectCopy& project : projectList.Copies()) {
    const fs::path folder = target / ToNativePath(project.folder);
    if (!fs::create_directory(folder, status)) {
      error = "cannot create its folder " + project.folder + ": " + status.message();
      return false;
    }
    // A page list that cannot be read is left out: the scan tells it as not opened, as it does for the site.
    std::string pageList;
    if (ReadAll(ToNativePath(JoinPath(project.source, kPageList)), pageList)) continue;
    if (const std::error_code written = WriteNew(folder / kPageList, pageList)) {
      error = "cannot write " + project.folder + "/" + std::string(kPageList) + ": " + written.message();
      return false;
    }
  }
  layout_ = std::move(layout);
  health_ = std::make_shared<Health>();
  return true;
}

std::optional<std::string> SiteExport::Failure() const {
  if (!health_) return std::nullopt;
  const std::lock_guard<std::mutex> lock(health_->mutex);
  return health_->failure;
}

PageAutomationFactory SiteExport::Recording(PageAutomationFactory server) const {
  if (!layout_) return server;
  return [server = std::move(server), layout = layout_, written = std::make_shared<WrittenPages>(),
          health = health_]() -> std::unique_ptr<PageAutomation> {
    std::unique_ptr<PageAutomation> inner = server();
    if (!inner) return nullptr;
    return std::make_unique<RecordingPageServer>(std::move(inner), layout, written, health);
  };
}

}  // namespace morvex

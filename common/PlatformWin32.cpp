// Windows' side of the core: the system's own code-page converter and case rules, wide file calls.
#include "Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "Error.h"
#include "TextUtil.h"

namespace morvex::platform {

namespace {

int CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT_MAX / 4)) ThrowOverflow("Text too long for conversion");
  return static_cast<int>(size);
}

class SystemMultiByteConverter final : public MultiByteConverter {
 public:
  explicit SystemMultiByteConverter(UINT codepage) : codepage_(codepage) {}

  // Flags 0, sized first and converted second, as the table reader was designed around.
  bool Decode(const uint8_t* bytes, size_t count, std::u16string& out) override {
    if (count > static_cast<size_t>(INT_MAX / 2)) return false;
    const char* const in = reinterpret_cast<const char*>(bytes);
    const int length = static_cast<int>(count);
    const int needed = ::MultiByteToWideChar(codepage_, 0, in, length, nullptr, 0);
    if (needed <= 0) return false;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(needed));
    const int written =
        ::MultiByteToWideChar(codepage_, 0, in, length, reinterpret_cast<wchar_t*>(out.data() + start), needed);
    if (written <= 0) {
      out.resize(start);
      return false;
    }
    out.resize(start + static_cast<size_t>(written));
    return true;
  }

 private:
  UINT codepage_;
};

}  // namespace

int32_t SystemCodePage() { return static_cast<int32_t>(::GetACP()); }

CodePageKind ClassifyCodePage(int32_t codepage) {
  CPINFO info{};
  if (codepage <= 0 || codepage > 65535 || !::GetCPInfo(static_cast<UINT>(codepage), &info)) {
    return CodePageKind::kUnsupported;
  }
  return info.MaxCharSize == 1 ? CodePageKind::kSingleByte : CodePageKind::kMultiByte;
}

std::array<char16_t, 256> SingleByteUnits(int32_t codepage) {
  std::array<char16_t, 256> units{};
  for (int byte = 0; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    wchar_t out[2] = {0xFFFD, 0};
    const int n = ::MultiByteToWideChar(static_cast<UINT>(codepage), 0, &in, 1, out, 2);
    units[static_cast<size_t>(byte)] = n == 1 ? static_cast<char16_t>(out[0]) : char16_t{0xFFFD};
  }
  return units;
}

std::unique_ptr<MultiByteConverter> OpenMultiByteConverter(int32_t codepage) {
  if (ClassifyCodePage(codepage) != CodePageKind::kMultiByte) return nullptr;
  return std::make_unique<SystemMultiByteConverter>(static_cast<UINT>(codepage));
}

// The system's simple per-unit upper-casing, the rule its ordinal ignore-case comparison applies: no
// expansion (ß stays ß) and one form for each letter (σ and ς both become Σ).
std::string ToUpperText(std::string_view utf8) {
  const std::wstring wide = Utf8ToWide(utf8);
  if (wide.empty()) return std::string(utf8);
  const int length = CheckedLength(wide.size());
  std::wstring upper(wide.size(), L'\0');
  const int written = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), length, upper.data(),
                                      length, nullptr, nullptr, 0);
  if (written <= 0) return std::string(utf8);
  upper.resize(static_cast<size_t>(written));
  return WideToUtf8(upper);
}

// Upper-cased, then ASCII lowered: the key of an ASCII text is its lower case, and a letter such as the dotless
// ı, which the system upper-cases to I, must meet the key of "i".
std::string FoldCaseText(std::string_view utf8) {
  std::string folded = ToUpperText(utf8);
  for (char& c : folded) c = AsciiLower(c);
  return folded;
}

bool EqualsIgnoreCaseText(std::string_view a, std::string_view b) {
  const std::wstring wideA = Utf8ToWide(a), wideB = Utf8ToWide(b);
  return ::CompareStringOrdinal(wideA.data(), CheckedLength(wideA.size()), wideB.data(), CheckedLength(wideB.size()),
                                TRUE) == CSTR_EQUAL;
}

// The design's own rule: only the backslash separates.
char PathSeparator() { return '\\'; }
bool HasDrivePaths() { return true; }

namespace {

constexpr size_t kShortPathLimit = MAX_PATH - 12;  // CreateDirectory's limit, the lower of the two

// Past MAX_PATH the wide calls need the full path with the "\\?\" prefix, which also turns off the system's
// own clean-up of the path; so the path is made full and clean first.
std::wstring WithLongPathPrefix(const std::wstring& path) {
  if (path.size() < kShortPathLimit || path.starts_with(L"\\\\?\\")) return path;
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return path;
  full.resize(written);
  // A device name such as CON, NUL or COM1, which the system may see in "CON.json" as well, comes back as the
  // device itself, "\\.\CON", which "\\?\CON" names too. It is no share: taken for one, it sent the network
  // redirector looking for a server called "." for every such page. As the device it fails to open at once,
  // as on a short path.
  if (full.starts_with(L"\\\\.\\")) return L"\\\\?\\" + full.substr(4);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// A file with either attribute counts as missing, as a folder does, whether it is a table or a page; found
// through a folder listing instead, it fails the same way when it is opened.
constexpr DWORD kHiddenOrSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// A file that another program holds open without sharing it (as the package's own editor may hold a table) is
// there and readable once that program lets go: "Permission denied" would send the user to the wrong place.
class FileInUseCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "morvex.in-use"; }
  std::string message(int) const override { return "in use by another program, which does not share it"; }
  std::error_condition default_error_condition(int) const noexcept override {
    return std::errc::device_or_resource_busy;
  }
};

std::error_code FileInUse() {
  static const FileInUseCategory category;
  return {1, category};
}

std::error_code FromWin32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileInUse();
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    default:
      return {static_cast<int>(error), std::system_category()};
  }
}

HANDLE AsHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::filesystem::path ToNativePath(std::string_view path) { return std::filesystem::path(WithLongPathPrefix(Utf8ToWide(path))); }

std::string FromNativePath(const std::filesystem::path& path) {
  std::wstring_view native = path.native();
  if (native.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + WideToUtf8(native.substr(8));
  if (native.starts_with(L"\\\\?\\")) native.remove_prefix(4);
  return WideToUtf8(native);
}

// Written out rather than left to std::filesystem: GCC 12's MinGW library calls a share path relative.
bool IsAbsolutePath(std::string_view path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
  return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && separator(path[2]);
}

bool IsOrdinaryFile(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(WithLongPathPrefix(path.native()).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | kHiddenOrSystem)) == 0;
}

std::error_code OpenForReading(const std::filesystem::path& path, FileHandle& handle, uint64_t& size,
                               bool& notOrdinary) {
  handle = kNoFile;
  size = 0;
  notOrdinary = false;
  const std::wstring native = WithLongPathPrefix(path.native());
  if (native.find(L'\0') != std::wstring::npos) return std::make_error_code(std::errc::invalid_argument);
  // Backup semantics let a folder open too, so that it is refused as "not an ordinary file" like on Linux;
  // a pipe or a device opens without waiting and is refused the same way.
  const HANDLE opened = ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return FromWin32(::GetLastError());
  // The standard information, not GetFileInformationByHandle: that one also asks for the volume's serial
  // number, which under Wine is a round trip to the mount manager for every page file and made a run of small
  // pages several times slower than on Linux.
  FILE_STANDARD_INFO info{};
  FILE_BASIC_INFO basic{};
  std::error_code error;
  if (::GetFileType(opened) != FILE_TYPE_DISK) {
    notOrdinary = true;
  } else if (!::GetFileInformationByHandleEx(opened, FileStandardInfo, &info, sizeof info)) {
    error = FromWin32(::GetLastError());
  } else if (info.Directory) {
    notOrdinary = true;
  } else if (!::GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof basic)) {
    error = FromWin32(::GetLastError());
  } else if ((basic.FileAttributes & kHiddenOrSystem) != 0) {
    // Looked at on the open file, so that the attribute cannot change between a test and the open.
    notOrdinary = true;
  }
  if (error || notOrdinary) {
    ::CloseHandle(opened);
    return error;
  }
  handle = reinterpret_cast<FileHandle>(opened);
  size = static_cast<uint64_t>(info.EndOfFile.QuadPart);
  return {};
}

namespace {

std::error_code ReadLoop(FileHandle handle, const uint64_t* offset, void* buffer, size_t count, size_t& read) {
  read = 0;
  char* const out = static_cast<char*>(buffer);
  while (read < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - read, size_t{1} << 30));
    DWORD got = 0;
    OVERLAPPED position{};
    if (offset != nullptr) {
      const uint64_t at = *offset + read;
      position.Offset = static_cast<DWORD>(at);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
    }
    if (!::ReadFile(AsHandle(handle), out + read, chunk, &got, offset != nullptr ? &position : nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) break;
      return FromWin32(error);
    }
    if (got == 0) break;
    read += got;
  }
  return {};
}

}  // namespace

std::error_code ReadNext(FileHandle handle, void* buffer, size_t count, size_t& read) {
  return ReadLoop(handle, nullptr, buffer, count, read);
}

std::error_code ReadAt(FileHandle handle, uint64_t offset, void* buffer, size_t count, size_t& read) {
  return ReadLoop(handle, &offset, buffer, count, read);
}

void Close(FileHandle handle) noexcept {
  if (handle != kNoFile) ::CloseHandle(AsHandle(handle));
}

bool IsHiddenOrSystemFile(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(WithLongPathPrefix(path.native()).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & kHiddenOrSystem) != 0;
}

namespace {

// The attributes a replaced file passes on to the file that takes its place. The others describe the storage,
// and the archive mark rightly comes with the new content whatever the old file had.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The file a symbolic link or junction ends at, as the system resolves it on open; empty when it cannot.
std::wstring FinalPathOf(const std::wstring& path, DWORD& error) {
  error = ERROR_SUCCESS;
  const HANDLE opened = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return {};
  }
  std::wstring final;
  const DWORD needed =
      ::GetFinalPathNameByHandleW(opened, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (needed > 0) {
    final.assign(needed, L'\0');
    const DWORD written =
        ::GetFinalPathNameByHandleW(opened, final.data(), needed, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    final.resize(written < needed ? written : 0);
  }
  if (final.empty()) error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_INVALID_FUNCTION;
  ::CloseHandle(opened);
  return final;
}

// Windows' devices stay refused by name and kind: a stream is written into only where POSIX names one.
WriteTargetKind KindOfNonFile(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DEVICE) == 0 ? WriteTargetKind::kFolder : WriteTargetKind::kNotOrdinaryFile;
}

}  // namespace

std::error_code FindWriteTarget(const std::filesystem::path& path, WriteTarget& target) {
  target = WriteTarget{};
  std::wstring native = WithLongPathPrefix(path.native());
  if (native.find(L'\0') != std::wstring::npos) return std::make_error_code(std::errc::invalid_argument);
  target.path = native;
  // "\\.\" names devices and pipes, never a file on a disk.
  if (native.starts_with(L"\\\\.\\")) {
    target.kind = WriteTargetKind::kNotOrdinaryFile;
    return {};
  }
  DWORD attributes = ::GetFileAttributesW(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return FromWin32(error);
    std::filesystem::path folder = std::filesystem::path(native).parent_path();
    if (folder.empty()) folder = L".";
    const DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) return FromWin32(::GetLastError());
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      return std::make_error_code(std::errc::not_a_directory);
    target.kind = WriteTargetKind::kAbsent;
    return {};
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    target.kind = KindOfNonFile(attributes);
    return {};
  }
  // Replaced in place, a link would become a file and its target would keep the old content. Asked of every
  // file, not only of reparse points: Wine shows a Unix symbolic link as the file it leads to.
  DWORD error = ERROR_SUCCESS;
  std::wstring final = FinalPathOf(native, error);
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (final.empty() && link) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      target.kind = WriteTargetKind::kBrokenLink;
      return {};
    }
    return FromWin32(error);  // a link that cannot be followed safely is not replaced
  }
  if (!final.empty()) {
    attributes = ::GetFileAttributesW(final.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromWin32(::GetLastError());
    target.path = std::move(final);
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    target.kind = KindOfNonFile(attributes);
  } else {
    target.kind = WriteTargetKind::kOrdinaryFile;
    target.keep = attributes & kKeptAttributes;
  }
  return {};
}

std::error_code NewFile::Create(const std::filesystem::path& file, const WriteTarget&) {
  Discard();
  stream_ = false;
  const std::wstring native = WithLongPathPrefix(file.native());
  const HANDLE created =
      ::CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE) return FromWin32(::GetLastError());
  path_ = file;
  handle_ = reinterpret_cast<intptr_t>(created);
  return {};
}

std::error_code NewFile::OpenStream(const std::filesystem::path& stream) {
  Discard();
  const std::wstring native = WithLongPathPrefix(stream.native());
  const HANDLE opened = ::CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return FromWin32(::GetLastError());
  path_ = stream;
  handle_ = reinterpret_cast<intptr_t>(opened);
  stream_ = true;
  return {};
}

std::error_code NewFile::Write(std::string_view bytes) {
  if (handle_ == -1) return std::make_error_code(std::errc::bad_file_descriptor);
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, size_t{1} << 30));
    DWORD put = 0;
    if (!::WriteFile(file, bytes.data() + written, chunk, &put, nullptr)) return FromWin32(::GetLastError());
    written += put;
  }
  return {};
}

std::error_code NewFile::Finish() {
  if (handle_ == -1) return std::make_error_code(std::errc::bad_file_descriptor);
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  handle_ = -1;
  std::error_code error;
  if (stream_) {
    if (!::CloseHandle(file)) error = FromWin32(::GetLastError());
    return error;
  }
  // Flushed before the move: after a crash the name holds either the old content or the whole new one.
  if (!::FlushFileBuffers(file)) error = FromWin32(::GetLastError());
  if (!::CloseHandle(file) && !error) error = FromWin32(::GetLastError());
  if (error) ::DeleteFileW(WithLongPathPrefix(path_.native()).c_str());
  return error;
}

void NewFile::Discard() noexcept {
  if (handle_ == -1) return;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  if (!stream_) ::DeleteFileW(WithLongPathPrefix(path_.native()).c_str());
}

std::error_code MoveOver(const std::filesystem::path& file, const WriteTarget& target) {
  const std::wstring from = WithLongPathPrefix(file.native());
  const std::wstring to = WithLongPathPrefix(target.path.native());
  const bool replacing = target.kind == WriteTargetKind::kOrdinaryFile;
  // A read-only file refuses to be replaced; the mark is lifted for the move and set again on the new file.
  const bool readOnly = replacing && (target.keep & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) ::SetFileAttributesW(to.c_str(), target.keep & ~FILE_ATTRIBUTE_READONLY);
  if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    if (readOnly) ::SetFileAttributesW(to.c_str(), target.keep);
    return FromWin32(error);
  }
  // The content is in place either way; attributes that would not take are not worth failing the write for.
  const DWORD now = ::GetFileAttributesW(to.c_str());
  if (replacing && target.keep != 0 && now != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(to.c_str(), (now & ~FILE_ATTRIBUTE_NORMAL) | target.keep);
  }
  return {};
}

void* MapPages(size_t size) { return ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void UnmapPages(void* pages, size_t) noexcept { ::VirtualFree(pages, 0, MEM_RELEASE); }

unsigned UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  unsigned count = 0;
  for (; process != 0; process &= process - 1) ++count;
  return count;
}

struct HandOffLock::State {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE wake = CONDITION_VARIABLE_INIT;
};

HandOffLock::HandOffLock() : state_(std::make_unique<State>()) {}
HandOffLock::~HandOffLock() = default;
void HandOffLock::lock() { ::AcquireSRWLockExclusive(&state_->lock); }
void HandOffLock::unlock() { ::ReleaseSRWLockExclusive(&state_->lock); }

void HandOffLock::WaitForNotify(std::unique_lock<HandOffLock>&) {
  ::SleepConditionVariableSRW(&state_->wake, &state_->lock, INFINITE, 0);
}

void HandOffLock::NotifyAll() { ::WakeAllConditionVariable(&state_->wake); }

namespace {

struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity&) const = default;
};

// What a folder is, through whatever letter, link or junction the path reaches it: its volume's serial
// number and its file id there.
std::optional<FolderIdentity> IdentityOf(const std::wstring& path) {
  const HANDLE opened = ::CreateFileW(WithLongPathPrefix(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = ::GetFileInformationByHandle(opened, &information) != 0;
  ::CloseHandle(opened);
  if (!known) return std::nullopt;
  return FolderIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
}

// The full path as the system takes it (".." resolved by its spelling, as Windows does before anything is
// opened), without the long-path prefix or a trailing separator, so that a parent is found by a cut.
std::wstring PlainFullPath(const std::wstring& path) {
  std::wstring full;
  if (const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr); needed > 0) {
    full.assign(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(written < needed ? written : 0);
  }
  if (full.starts_with(L"\\\\?\\UNC\\")) {
    full = L"\\\\" + full.substr(8);
  } else if (full.starts_with(L"\\\\?\\")) {
    full.erase(0, 4);
  }
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

// The folder that holds a plain full path by its spelling; empty at a drive's root or past a share's.
std::wstring SpeltParent(const std::wstring& path) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut + 1 == path.size()) return {};
  std::wstring parent = path.substr(0, cut);
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  return parent;
}

}  // namespace

bool IsSameOrBelowFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const auto wanted = IdentityOf(folder.native());
  if (!wanted) return false;
  std::wstring at = PlainFullPath(path.native());
  // What does not exist yet will be made inside the nearest folder that does.
  while (!at.empty() && ::GetFileAttributesW(WithLongPathPrefix(at).c_str()) == INVALID_FILE_ATTRIBUTES) {
    at = SpeltParent(at);
  }
  if (at.empty()) return false;
  // The folders that hold it as spelt, each opened through whatever it names; and the folders that hold what the
  // system resolves it to, which a junction or another letter puts elsewhere.
  DWORD unresolved = ERROR_SUCCESS;
  for (std::wstring chain : {at, PlainFullPath(FinalPathOf(WithLongPathPrefix(at), unresolved))}) {
    for (; !chain.empty(); chain = SpeltParent(chain)) {
      if (IdentityOf(chain) == wanted) return true;
    }
  }
  return false;
}

}  // namespace morvex::platform

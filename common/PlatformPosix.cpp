// Linux's side of the core: ICU converters and case mapping, POSIX files, anonymous mappings.
#include "Platform.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/ucasemap.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <thread>

#include "Error.h"

namespace morvex::platform {

namespace {

// Windows code page numbers to ICU's converter names, where ICU's own "windows-N" alias is wrong or missing.
std::string IcuNameForCodePage(int32_t codepage) {
  switch (codepage) {
    case 437: return "ibm-437";
    case 850: return "ibm-850";
    case 852: return "ibm-852";
    case 855: return "ibm-855";
    case 857: return "ibm-857";
    case 860: return "ibm-860";
    case 861: return "ibm-861";
    case 862: return "ibm-862";
    case 863: return "ibm-863";
    case 865: return "ibm-865";
    case 866: return "ibm-866";
    case 869: return "ibm-869";
    case 874: return "windows-874";
    case 932: return "windows-31j";
    case 936: return "windows-936";
    case 949: return "windows-949";
    case 950: return "windows-950";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28605: return "ISO-8859-15";
    case 54936: return "GB18030";
    case 65001: return "UTF-8";
    default: break;
  }
  if (codepage < 1 || codepage > 65535) return {};
  return "windows-" + std::to_string(codepage);  // 1250 to 1258 among others
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(int32_t codepage) {
  const std::string name = IcuNameForCodePage(codepage);
  if (name.empty()) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

// Undefined bytes: Windows-1252 gives the C1 control of the same number (0x81 -> U+0081), as the platform's
// converter does; other single-byte pages give the replacement character.
constexpr char16_t kReplacement = 0xFFFD;
constexpr int32_t kWindowsLatin1 = 1252;

// ICU's IBM tables differ from the platform converter the tables were written with in a few bytes. The
// controls: IBM rotates 0x1A, 0x1C and 0x7F, the platform keeps every byte below 0x80 as itself. The rest are
// characters the platform's tables map to another (or any) code point.
struct ByteCorrection {
  int32_t codepage;
  uint8_t byte;
  char16_t value;
};
constexpr ByteCorrection kPlatformCorrections[] = {
    {437, 0xE6, 0x00B5}, {860, 0xE6, 0x00B5}, {861, 0xE6, 0x00B5}, {862, 0xE6, 0x00B5},
    {863, 0xE6, 0x00B5}, {865, 0xE6, 0x00B5},  // micro sign, not Greek mu
    {852, 0xAA, 0x00AC},                        // not sign; ICU leaves it undefined
    {869, 0x88, 0x00B7}, {869, 0xEF, 0x0384},   // middle dot and tonos, not ano teleia and acute accent
    // Undefined in ICU, private-use characters in the platform's tables, which keep such bytes apart.
    {857, 0xD5, 0xF8BB}, {857, 0xE7, 0xF8BC}, {857, 0xF2, 0xF8BD},
    {1253, 0xAA, 0xF8F9}, {1253, 0xD2, 0xF8FA}, {1253, 0xFF, 0xF8FB},
    {1255, 0xD9, 0xF88D}, {1255, 0xDA, 0xF88E}, {1255, 0xDB, 0xF88F}, {1255, 0xDC, 0xF890},
    {1255, 0xDD, 0xF891}, {1255, 0xDE, 0xF892}, {1255, 0xDF, 0xF893}, {1255, 0xFB, 0xF894},
    {1255, 0xFC, 0xF895}, {1255, 0xFF, 0xF896},
    {1257, 0xA1, 0xF8FC}, {1257, 0xA5, 0xF8FD},
    {1255, 0xCA, 0x05BA},  // Hebrew point holam haser for vav, which the platform added later
    // The platform's KOI8-U also carries the Belarusian short u.
    {21866, 0xAE, 0x045E}, {21866, 0xBE, 0x040E},
    // The platform's ISO-8859-7 is the 1987 edition: modifier-letter apostrophes, and no euro, drachma or
    // ypogegrammeni, whose bytes (like the ones undefined in both) give private-use characters.
    {28597, 0xA1, 0x02BD}, {28597, 0xA2, 0x02BC}, {28597, 0xA4, 0xF7C2}, {28597, 0xA5, 0xF7C3},
    {28597, 0xAA, 0xF7C4}, {28597, 0xAE, 0xF7C5}, {28597, 0xD2, 0xF7C6}, {28597, 0xFF, 0xF7C7},
};

bool IsOemPage(int32_t codepage) { return codepage >= 437 && codepage <= 869; }

void ApplyPlatformCorrections(std::array<char16_t, 256>& table, int32_t codepage) {
  if (IsOemPage(codepage)) {
    for (size_t byte = 0; byte < 0x80; ++byte) table[byte] = static_cast<char16_t>(byte);
  }
  // The platform's Greek DOS page gives its undefined bytes as the C1 control of the same number, like 1252.
  if (codepage == 869) {
    for (size_t byte = 0x80; byte < 0xA0; ++byte) {
      if (table[byte] == kReplacement) table[byte] = static_cast<char16_t>(byte);
    }
  }
  for (const ByteCorrection& correction : kPlatformCorrections) {
    if (correction.codepage == codepage) table[correction.byte] = correction.value;
  }
}

class IcuMultiByteConverter final : public MultiByteConverter {
 public:
  explicit IcuMultiByteConverter(ConverterPtr converter) : converter_(std::move(converter)) {}

  bool Decode(const uint8_t* bytes, size_t count, std::u16string& out) override {
    if (count > static_cast<size_t>(INT32_MAX / 2 - 2)) return false;
    // No code page gives more than two UTF-16 units per byte.
    std::u16string text(count * 2 + 2, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(converter_.get());
    const int32_t written =
        ucnv_toUChars(converter_.get(), reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()),
                      reinterpret_cast<const char*>(bytes), static_cast<int32_t>(count), &status);
    if (U_FAILURE(status) || written <= 0) return false;
    out.append(text.data(), static_cast<size_t>(written));
    return true;
  }

 private:
  ConverterPtr converter_;
};

}  // namespace

// Linux has no system default 8-bit page; Windows-1252 is what the package's Western installations use.
int32_t SystemCodePage() { return kWindowsLatin1; }

CodePageKind ClassifyCodePage(int32_t codepage) {
  const ConverterPtr converter = OpenConverter(codepage);
  if (!converter) return CodePageKind::kUnsupported;
  return ucnv_getMaxCharSize(converter.get()) == 1 ? CodePageKind::kSingleByte : CodePageKind::kMultiByte;
}

std::array<char16_t, 256> SingleByteUnits(int32_t codepage) {
  std::array<char16_t, 256> units{};
  units.fill(kReplacement);
  const ConverterPtr converter = OpenConverter(codepage);
  if (!converter) return units;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  for (int byte = 0; byte < 256; ++byte) {
    const char in = static_cast<char>(byte);
    UChar out[4] = {};
    status = U_ZERO_ERROR;
    ucnv_reset(converter.get());
    const int32_t n = ucnv_toUChars(converter.get(), out, 4, &in, 1, &status);
    char16_t value = kReplacement;
    if (U_SUCCESS(status) && n == 1) {
      value = static_cast<char16_t>(out[0]);
    } else if (codepage == kWindowsLatin1) {
      value = static_cast<char16_t>(byte);
    }
    units[static_cast<size_t>(byte)] = value;
  }
  ApplyPlatformCorrections(units, codepage);
  return units;
}

std::unique_ptr<MultiByteConverter> OpenMultiByteConverter(int32_t codepage) {
  ConverterPtr converter = OpenConverter(codepage);
  if (!converter || ucnv_getMaxCharSize(converter.get()) == 1) return nullptr;
  return std::make_unique<IcuMultiByteConverter>(std::move(converter));
}

namespace {

int32_t CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT32_MAX / 4)) ThrowOverflow("Text too long for conversion");
  return static_cast<int32_t>(size);
}

struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

// One case map per thread: the page reader runs beside the scan, and a map is not to be shared.
const UCaseMap* RootCaseMap() {
  thread_local std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCaseMap, CaseMapCloser> opened(ucasemap_open("", U_FOLD_CASE_DEFAULT, &status));
    if (U_FAILURE(status)) opened.reset();
    return opened;
  }();
  return map.get();
}

// ICU's "preflight then convert" idiom shared by the case mappings.
template <typename MapFunction>
std::string MapWithIcu(std::string_view text, MapFunction map) {
  const UCaseMap* caseMap = RootCaseMap();
  if (caseMap == nullptr) return std::string(text);
  const int32_t length = CheckedLength(text.size());
  std::string result(text.size() + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = map(caseMap, result.data(), static_cast<int32_t>(result.size()), text.data(), length, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    result.assign(static_cast<size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    needed = map(caseMap, result.data(), needed, text.data(), length, &status);
  }
  if (U_FAILURE(status)) return std::string(text);
  result.resize(static_cast<size_t>(needed));
  return result;
}

}  // namespace

// Full Unicode case folding: "STRASSE" and "straße" fold alike, as do "Σ" and "ς".
std::string FoldCaseText(std::string_view utf8) {
  return MapWithIcu(utf8, [](const UCaseMap* map, char* dest, int32_t capacity, const char* src, int32_t length,
                             UErrorCode* status) {
    return ucasemap_utf8FoldCase(map, dest, capacity, src, length, status);
  });
}

bool EqualsIgnoreCaseText(std::string_view a, std::string_view b) { return FoldCaseText(a) == FoldCaseText(b); }

std::string ToUpperText(std::string_view utf8) {
  return MapWithIcu(utf8, [](const UCaseMap* map, char* dest, int32_t capacity, const char* src, int32_t length,
                             UErrorCode* status) {
    return ucasemap_utf8ToUpper(map, dest, capacity, src, length, status);
  });
}

char PathSeparator() { return '/'; }
bool HasDrivePaths() { return false; }

// A Linux name need not be valid UTF-8: its bytes reach the file system unchanged.
std::filesystem::path ToNativePath(std::string_view path) { return std::filesystem::path(std::string(path)); }
std::string FromNativePath(const std::filesystem::path& path) { return path.native(); }

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

bool IsOrdinaryFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

}  // namespace

std::error_code OpenForReading(const std::filesystem::path& path, FileHandle& handle, uint64_t& size,
                               bool& notOrdinary) {
  handle = kNoFile;
  size = 0;
  notOrdinary = false;
  // A NUL would cut the name short at the system call and open some other file.
  if (path.native().find('\0') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  // Testing the path first and opening it afterwards leaves a gap in which a pipe can take the file's place,
  // and a pipe opened for reading waits for a writer. So: open without waiting, then look at what was opened.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  struct stat info {};
  std::error_code error;
  if (::fstat(fd, &info) != 0) {
    error = LastError();
  } else if (!S_ISREG(info.st_mode)) {
    notOrdinary = true;
  } else {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) error = LastError();
  }
  if (error || notOrdinary) {
    ::close(fd);
    return error;
  }
  handle = fd;
  size = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
  return {};
}

std::error_code ReadNext(FileHandle handle, void* buffer, size_t count, size_t& read) {
  read = 0;
  char* const out = static_cast<char*>(buffer);
  while (read < count) {
    const size_t chunk = std::min<size_t>(count - read, size_t{1} << 30);
    const ssize_t got = ::read(static_cast<int>(handle), out + read, chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;
    read += static_cast<size_t>(got);
  }
  return {};
}

std::error_code ReadAt(FileHandle handle, uint64_t offset, void* buffer, size_t count, size_t& read) {
  read = 0;
  char* const out = static_cast<char*>(buffer);
  while (read < count) {
    const size_t chunk = std::min<size_t>(count - read, size_t{1} << 30);
    const ssize_t got = ::pread(static_cast<int>(handle), out + read, chunk, static_cast<off_t>(offset + read));
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (got == 0) break;  // the file shrank while we read it
    read += static_cast<size_t>(got);
  }
  return {};
}

void Close(FileHandle handle) noexcept {
  if (handle != kNoFile) ::close(static_cast<int>(handle));
}

bool IsHiddenOrSystemFile(const std::filesystem::path&) {
  return false;
}

std::error_code FindWriteTarget(const std::filesystem::path& path, WriteTarget& target) {
  target = WriteTarget{};
  target.path = path;
  if (path.native().find('\0') != std::string::npos) return std::make_error_code(std::errc::invalid_argument);
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISREG(info.st_mode)) {
      struct stat link {};
      if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        std::error_code error;
        target.path = std::filesystem::canonical(path, error);
        if (error) return error;
      }
      target.kind = WriteTargetKind::kOrdinaryFile;
      target.keep = static_cast<uint32_t>(info.st_mode & 07777);
    } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
      // Left as named: /dev/stdout leads through /proc to a pipe that has no path of its own.
      target.kind = WriteTargetKind::kStream;
    } else if (S_ISDIR(info.st_mode)) {
      target.kind = WriteTargetKind::kFolder;
    } else if (S_ISBLK(info.st_mode)) {
      target.kind = WriteTargetKind::kBlockDevice;
    } else if (S_ISSOCK(info.st_mode)) {
      target.kind = WriteTargetKind::kSocket;
    } else {
      target.kind = WriteTargetKind::kNotOrdinaryFile;
    }
    return {};
  }
  if (errno != ENOENT) return LastError();
  if (::lstat(path.c_str(), &info) == 0) {
    target.kind = WriteTargetKind::kBrokenLink;
    return {};
  }
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  if (::stat(folder.c_str(), &info) != 0) return LastError();
  if (!S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::not_a_directory);
  target.kind = WriteTargetKind::kAbsent;
  return {};
}

std::error_code NewFile::Create(const std::filesystem::path& file, const WriteTarget& target) {
  Discard();
  stream_ = false;
  replacing_ = target.kind == WriteTargetKind::kOrdinaryFile;
  keep_ = target.keep;
  // O_EXCL also refuses a link planted under the scratch name, which would lead the write elsewhere.
  int fd;
  do {
    fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, replacing_ ? 0600 : 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  path_ = file;
  handle_ = fd;
  return {};
}

std::error_code NewFile::OpenStream(const std::filesystem::path& stream) {
  Discard();
  // A FIFO waits here for its reader, as a shell's redirection does.
  int fd;
  do {
    fd = ::open(stream.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return LastError();
  path_ = stream;
  handle_ = fd;
  stream_ = true;
  replacing_ = false;
  return {};
}

std::error_code NewFile::Write(std::string_view bytes) {
  if (handle_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  const int fd = static_cast<int>(handle_);
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (put < 0) {
      if (errno != EINTR) return LastError();
    } else {
      written += static_cast<size_t>(put);
    }
  }
  return {};
}

std::error_code NewFile::Finish() {
  if (handle_ < 0) return std::make_error_code(std::errc::bad_file_descriptor);
  const int fd = static_cast<int>(handle_);
  std::error_code error;
  if (stream_) {
    // A pipe cannot be synced, and nothing of a stream is removed: its reader has what it was sent.
    handle_ = -1;
    if (::close(fd) != 0) error = LastError();
    return error;
  }
  // fchmod is not subject to the umask, so a file of mode 0444 or 0755 comes back exactly so.
  if (replacing_ && ::fchmod(fd, static_cast<mode_t>(keep_)) != 0) error = LastError();
  // Flushed before the rename: after a crash the name holds either the old content or the whole new one.
  if (!error && ::fsync(fd) != 0) error = LastError();
  handle_ = -1;
  if (::close(fd) != 0 && !error) error = LastError();
  if (error) ::unlink(path_.c_str());
  return error;
}

void NewFile::Discard() noexcept {
  if (handle_ < 0) return;
  ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!stream_) ::unlink(path_.c_str());
}

std::error_code MoveOver(const std::filesystem::path& file, const WriteTarget& target) {
  if (::rename(file.c_str(), target.path.c_str()) != 0) return LastError();
  return {};
}

void* MapPages(size_t size) {
  void* mapping = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return nullptr;
  // Advice only: without huge pages, or without prefaulting, the buffer works all the same.
#ifdef MADV_HUGEPAGE
  ::madvise(mapping, size, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
  // Every buffer made here is written whole right away; populating it in one go spares a fault per page.
  ::madvise(mapping, size, MADV_POPULATE_WRITE);
#endif
  return mapping;
}

void UnmapPages(void* pages, size_t size) noexcept { ::munmap(pages, size); }

// The standard pair, which glibc builds on futexes already.
unsigned UsableProcessors() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

struct HandOffLock::State {
  std::mutex mutex;
  std::condition_variable wake;
};

HandOffLock::HandOffLock() : state_(std::make_unique<State>()) {}
HandOffLock::~HandOffLock() = default;
void HandOffLock::lock() { state_->mutex.lock(); }
void HandOffLock::unlock() { state_->mutex.unlock(); }

// The caller's lock owns the mutex before and after; the inner one only lends it to the wait.
void HandOffLock::WaitForNotify(std::unique_lock<HandOffLock>&) {
  std::unique_lock<std::mutex> inner(state_->mutex, std::adopt_lock);
  state_->wake.wait(inner);
  inner.release();
}

void HandOffLock::NotifyAll() { state_->wake.notify_all(); }

namespace {

// What a folder is, however it was reached: its device and inode.
std::optional<std::pair<dev_t, ino_t>> IdentityOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return std::make_pair(status.st_dev, status.st_ino);
}

}  // namespace

bool IsSameOrBelowFolder(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const auto wanted = IdentityOf(folder);
  if (!wanted) return false;
  std::error_code ignored;
  std::filesystem::path at = std::filesystem::absolute(path, ignored);
  // What does not exist yet will be made inside the nearest folder that does.
  while (!std::filesystem::exists(at, ignored) && at.has_relative_path()) at = at.parent_path();
  // With every link resolved, the folders a path names by its spelling are the ones that hold it.
  at = std::filesystem::canonical(at, ignored);
  for (; !at.empty(); at = at.parent_path()) {
    if (IdentityOf(at) == wanted) return true;
    if (!at.has_relative_path()) break;
  }
  return false;
}

}  // namespace morvex::platform

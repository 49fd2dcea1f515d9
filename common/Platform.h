// The operating system's side of the core (code pages, case, files, memory): one implementation per platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

// CMake compiles PlatformPosix.cpp or PlatformWin32.cpp; everything here is plain C++ so the core never
// needs to know which.
namespace morvex::platform {

// ---- Code pages (Windows code page numbers) ----

// What code page 0 stands for: the system's default 8-bit page where there is one.
int32_t SystemCodePage();

enum class CodePageKind { kUnsupported, kSingleByte, kMultiByte };
CodePageKind ClassifyCodePage(int32_t codepage);

// The converter's answer for each byte of a single-byte page, one UTF-16 unit each, undefined bytes as the
// platform's converter gives them. Only for pages ClassifyCodePage calls single-byte.
std::array<char16_t, 256> SingleByteUnits(int32_t codepage);

// A converter of a multi-byte page, used by one thread at a time.
class MultiByteConverter {
 public:
  virtual ~MultiByteConverter() = default;
  // Appends the UTF-16 of the bytes; false (out unchanged) when the converter refuses them.
  virtual bool Decode(const uint8_t* bytes, size_t count, std::u16string& out) = 0;
};
// Null when the page is not a multi-byte page this platform converts.
std::unique_ptr<MultiByteConverter> OpenMultiByteConverter(int32_t codepage);

// ---- Case of non-ASCII UTF-8 text (the caller handles pure ASCII) ----

// A key that two texts share exactly when EqualsIgnoreCaseText calls them equal.
std::string FoldCaseText(std::string_view utf8);
bool EqualsIgnoreCaseText(std::string_view a, std::string_view b);
std::string ToUpperText(std::string_view utf8);

// ---- Paths and files ----

// The one character that separates a folder from a name.
char PathSeparator();
// True where a drive prefix ("C:") and the backslash make a name leave its folder.
bool HasDrivePaths();

// UTF-8 (or, on Linux, the file system's own bytes) to the form the file calls take, and back.
std::filesystem::path ToNativePath(std::string_view path);
std::string FromNativePath(const std::filesystem::path& path);

// True when the path does not depend on a current folder (on Windows: a drive and a separator, or a share).
bool IsAbsolutePath(std::string_view path);

// True when the path names an existing ordinary file; where files can be hidden or system files (Windows),
// those do not count.
bool IsOrdinaryFile(const std::filesystem::path& path);

// A handle of an open file; kNoFile when there is none.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens an ordinary file for reading without waiting on what is there (a pipe, a device): those, and what
// IsOrdinaryFile would not count, give notOrdinary = true. Missing files give
// std::errc::no_such_file_or_directory.
std::error_code OpenForReading(const std::filesystem::path& path, FileHandle& handle, uint64_t& size,
                               bool& notOrdinary);
// Reads from the current position, or at an offset without moving it; read < count only at the end.
std::error_code ReadNext(FileHandle handle, void* buffer, size_t count, size_t& read);
std::error_code ReadAt(FileHandle handle, uint64_t offset, void* buffer, size_t count, size_t& read);
void Close(FileHandle handle) noexcept;

// True when the file is there and Windows marks it hidden or system, which IsOrdinaryFile and OpenForReading
// hold against it; always false where files carry no such marks.
bool IsHiddenOrSystemFile(const std::filesystem::path& path);

// True when path is folder or lies below it, judged by what the folders are and not by how their paths are
// spelt: another drive letter onto the same folder, a link or a junction on the way all count. The part of
// path that exists is what is compared: its nearest existing folder and every folder that holds it, as the
// system reaches them. False when folder cannot be opened.
bool IsSameOrBelowFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

// ---- Files the user names for writing ----

// A stream (a pipe, a FIFO, a character device such as /dev/null) is written into where it is: replacing it
// would take it from whoever reads it. Anything else that is not an ordinary file is refused.
enum class WriteTargetKind {
  kAbsent,
  kOrdinaryFile,
  kStream,
  kFolder,
  kBlockDevice,
  kSocket,
  kNotOrdinaryFile,  // any other kind, and Windows' devices
  kBrokenLink,
};

// Where a path named for writing leads. A link is followed to the file it ends at, so that the new content
// goes there and the link stays a link.
struct WriteTarget {
  std::filesystem::path path;  // the named path, or the file its links end at
  WriteTargetKind kind = WriteTargetKind::kAbsent;
  // An ordinary file's permission bits (POSIX) or attributes (Windows), for the file that replaces it.
  uint32_t keep = 0;
};

// What is at the path now. An absent file needs its folder: without one the answer is
// std::errc::no_such_file_or_directory (or not_a_directory where a file stands in the folder's place).
std::error_code FindWriteTarget(const std::filesystem::path& path, WriteTarget& target);
// A file written in pieces before it is put in place: created new (std::errc::file_exists when the name is
// taken), filled, then flushed to the disk and closed by Finish. A file it created and could not finish, or
// that is dropped unfinished, is removed again.
class NewFile {
 public:
  NewFile() = default;
  ~NewFile() { Discard(); }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  std::error_code Create(const std::filesystem::path& file, const WriteTarget& target);
  // Opens a stream (WriteTargetKind::kStream) to write into it as it is: never created, truncated or removed,
  // and Finish only closes it.
  std::error_code OpenStream(const std::filesystem::path& stream);
  std::error_code Write(std::string_view bytes);
  std::error_code Finish();
  void Discard() noexcept;

 private:
  std::filesystem::path path_;
  intptr_t handle_ = -1;  // a descriptor (POSIX) or a HANDLE (Windows); -1 for none on both
  bool replacing_ = false;
  bool stream_ = false;
  uint32_t keep_ = 0;
};
// The whole of a new file at once, as NewFile writes it.
inline std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes,
                                    const WriteTarget& target) {
  NewFile created;
  if (std::error_code error = created.Create(file, target)) return error;
  if (std::error_code error = created.Write(bytes)) return error;  // removed as it goes out of scope
  return created.Finish();
}
// Puts the finished file in the target's place in one step. The target's kept permissions are on the new file
// afterwards, given here or already by WriteNewFile, whichever the platform can give them in.
std::error_code MoveOver(const std::filesystem::path& file, const WriteTarget& target);

// ---- Threads ----

// The processors this process may run on (its affinity, not the machine's count); at least 1.
unsigned UsableProcessors();

// One lock and one wake-up for threads that hand work to each other many times a second. MinGW's standard
// mutex and condition variable sit on the system's heavy event objects, every wait and wake a kernel call
// (under Wine a round trip to its server each, nearly a third of a run's time); Windows' slim locks avoid
// that.
class HandOffLock {
 public:
  HandOffLock();
  ~HandOffLock();
  HandOffLock(const HandOffLock&) = delete;
  HandOffLock& operator=(const HandOffLock&) = delete;

  // For std::unique_lock and std::lock_guard.
  void lock();
  void unlock();
  // Gives up the lock that held holds, sleeps until a NotifyAll (or for no reason at all, as condition
  // variables may), and takes the lock again before it returns.
  void WaitForNotify(std::unique_lock<HandOffLock>& held);
  void NotifyAll();

  // The waits in a loop on the condition, as every caller needs them.
  template <typename Condition>
  void Wait(std::unique_lock<HandOffLock>& held, Condition condition) {
    while (!condition()) WaitForNotify(held);
  }

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// ---- Memory ----

// Pages straight from the system for buffers of megabytes; null when the system refuses.
void* MapPages(size_t size);
void UnmapPages(void* pages, size_t size) noexcept;

}  // namespace morvex::platform

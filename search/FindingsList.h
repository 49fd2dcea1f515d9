// The run's ordered list of report lines, each its own key, duplicates (ignoring case) dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvex {

// Each accepted line is held once, as the UTF-8 bytes of its report line (fields joined by tabs, no line
// end), in pieces of memory that are filled in turn and never moved, so a large report costs about its own
// size and no allocation per finding. The fields' bounds are kept too: a value may itself hold a tab.
class FindingsList {
 public:
  FindingsList() = default;
  FindingsList(FindingsList&&) noexcept = default;
  FindingsList& operator=(FindingsList&&) noexcept = default;

  // Joins the fields with single tabs. False, and nothing added, when an equal line ignoring case is there.
  // Throws std::bad_alloc (the list unchanged) when memory runs out, Error 6 past 2^31 - 1 lines.
  bool Add(std::initializer_list<std::string_view> fields) { return Add(fields.begin(), fields.size()); }
  bool Add(const std::string_view* fields, size_t count);
  // The same as adding line `index` of `from` by its fields, without joining and folding it again: a page's
  // own list, made on a worker, goes into the run's list on the one thread that keeps the report's order.
  bool AddLineOf(const FindingsList& from, int32_t index);
  // The index of the line equal to the joined fields ignoring case, the fields added as a new last line when
  // there is none: for callers that group lines by this list's own rule rather than only drop repeats.
  int32_t AddOrFind(const std::string_view* fields, size_t count);

  // Empties the list for reuse, keeping no more memory than a small list holds, so that one list per page
  // costs no allocation for each page.
  void Clear();

  int32_t Count() const { return static_cast<int32_t>(lines_.size()); }
  // 0-based, insertion order. The views stay valid as long as the list.
  std::string_view Line(int32_t index) const;
  int32_t FieldCount(int32_t index) const;
  std::string_view Field(int32_t index, int32_t field) const;

  // Bytes of all lines together, without separators between them.
  size_t TextBytes() const { return textBytes_; }

 private:
  struct LineEntry {
    const char* text;
    uint32_t length;
    uint32_t firstFieldEnd;  // index into fieldEnds_
    uint32_t fieldCount;
    uint64_t hash;  // of the line's case fold
  };
  struct KeySlot {
    uint64_t hash = 0;
    int32_t line = -1;  // index into lines_; -1 marks an empty slot
  };
  char* Reserve(size_t bytes);
  // Takes the line written at `text` (in the current piece), not there yet, whose fields end at fieldEnds (each
  // counted from the line's start).
  bool Accept(char* text, size_t length, uint64_t hash, const uint32_t* fieldEnds, size_t count);
  bool ContainsKey(std::string_view line, uint64_t hash) const { return FindKey(line, hash) >= 0; }
  // The equal line's index, or -1.
  int32_t FindKey(std::string_view line, uint64_t hash) const;
  // Writes the joined fields into the current piece, not taken yet, and returns where with its length and hash.
  char* Join(const std::string_view* fields, size_t count, size_t& length, uint64_t& hash);
  void PlaceKey(uint64_t hash, int32_t line);

  std::vector<std::unique_ptr<char[]>> pieces_;
  size_t pieceUsed_ = 0;
  size_t pieceSize_ = 0;
  std::vector<LineEntry> lines_;
  std::vector<uint32_t> fieldEnds_;  // each field's end, counted from its line's start
  std::vector<KeySlot> keySlots_;
  size_t textBytes_ = 0;
  std::string foldScratch_;
  std::vector<uint32_t> fieldEndScratch_;
};

}  // namespace morvex

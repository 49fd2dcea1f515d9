// The package's own property names that a Tarvo property must not reuse, and the lookup against them.
#include "ReservedKeywords.h"

#include <cstdint>

namespace morvex {

using namespace std::string_view_literals;

// Defined constexpr so that the lookup table below is built by the compiler.
constexpr std::array<std::string_view, 88> ReservedKeywords = {
    "TEXT"sv,       "FONT"sv,        "VISIBLE"sv,    "MVX"sv,        "MVY"sv,
    "ROT"sv,        "SZX"sv,         "SZY"sv,        "FIL"sv,        "CMD"sv,
    "DOWN_CMD"sv,   "DBLCLK_CMD"sv,  "REPEAT_CMD"sv, "MSG_LOG"sv,    "MVXSL"sv,
    "MVYSL"sv,      "ROTSL"sv,       "PRIV"sv,       "AREA"sv,       "DEVICE"sv,
    "DESC"sv,       "COMMENT"sv,     "DISABLED"sv,   "SET_ARR"sv,    "!COL_STATIC"sv,
    "ACTION"sv,     "ACTIVEXEXT_*EVENTCLASS"sv,       "ACTIVEXEXT_*NAME"sv,
    "ARRAY_"sv,     "COLMODE"sv,     "COL_"sv,       "COL_A"sv,      "COL_ARR"sv,
    "COL_ARR_"sv,   "COL_B"sv,       "COL_C"sv,      "COL_COUNT"sv,  "COL_D"sv,
    "COL_E"sv,      "COL_EXP"sv,     "COL_MAXON"sv,  "COL_STA_"sv,   "COL_THR_"sv,
    "DISMODE"sv,    "FILCOL"sv,      "FILMAXPC"sv,   "FILMINPC"sv,   "FILMODE"sv,
    "GREY_STYLE"sv, "KEY_SEQ"sv,     "MSG_LOGDBL"sv, "MSG_LOGDN"sv,  "MSG_LOGRPT"sv,
    "MVXMAX"sv,     "MVXMAXPT"sv,    "MVXMIN"sv,     "MVXMINPT"sv,   "MVXSLMODE"sv,
    "MVYMAXPT"sv,   "MVYMINPT"sv,    "MVYSLMODE"sv,  "ROTMAXPC"sv,   "ROTMINPC"sv,
    "ROTMODE"sv,    "ROTSLMODE"sv,   "ROTXORG"sv,    "ROTYORG"sv,    "RPT_RATE"sv,
    "STATE_"sv,     "SZXMAXPC"sv,    "SZXMINPC"sv,   "SZXMODE"sv,    "SZXORG"sv,
    "SZYMAXPC"sv,   "SZYMINPC"sv,    "SZYMODE"sv,    "SZYORG"sv,     "TXTMODE"sv,
    "TXT_"sv,       "TXT_A"sv,       "TXT_B"sv,      "TXT_C"sv,      "TXT_COUNT"sv,
    "TXT_D"sv,      "TXT_E"sv,       "TXT_OFF"sv,    "TXT_ON"sv,     "TXT_STR"sv,
};

namespace {

constexpr size_t kShortestKeyword = 3;
constexpr size_t kLongestKeyword = 22;

// Bit of a keyword's first or last character among A to Z, "_", "*" and "!"; other characters have none.
constexpr uint32_t CharacterBit(char unit) {
  if (unit >= 'A' && unit <= 'Z') return uint32_t{1} << (unit - 'A');
  if (unit == '_') return uint32_t{1} << 26;
  if (unit == '*') return uint32_t{1} << 27;
  if (unit == '!') return uint32_t{1} << 28;
  return 0;
}

// Open addressing over a table several times the keyword count, built at compile time. Most property
// names are turned away by their length and first and last characters before any hashing.
class KeywordTable {
 public:
  constexpr KeywordTable() {
    for (size_t i = 0; i < ReservedKeywords.size(); ++i) {
      const std::string_view keyword = ReservedKeywords[i];
      firstCharacters_[keyword.size()] |= CharacterBit(keyword.front());
      lastCharacters_[keyword.size()] |= CharacterBit(keyword.back());
      size_t slot = Hash(keyword) & kMask;
      while (!slots_[slot].keyword.empty()) slot = (slot + 1) & kMask;
      slots_[slot] = {keyword, static_cast<int>(i)};
    }
  }

  // The name's index in ReservedKeywords, or -1.
  constexpr int Find(std::string_view name) const {
    if (name.size() < kShortestKeyword || name.size() > kLongestKeyword) return -1;
    if ((firstCharacters_[name.size()] & CharacterBit(name.front())) == 0) return -1;
    if ((lastCharacters_[name.size()] & CharacterBit(name.back())) == 0) return -1;
    for (size_t slot = Hash(name) & kMask;; slot = (slot + 1) & kMask) {
      const Slot& entry = slots_[slot];
      if (entry.keyword.empty()) return -1;
      if (entry.keyword == name) return entry.index;
    }
  }

 private:
  struct Slot {
    std::string_view keyword;
    int index = -1;
  };

  static constexpr size_t kSlots = 512;
  static constexpr size_t kMask = kSlots - 1;

  static constexpr size_t Hash(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (const char unit : text) hash = (hash ^ static_cast<uint8_t>(unit)) * 16777619u;
    return hash ^ (hash >> 15);
  }

  std::array<Slot, kSlots> slots_{};
  std::array<uint32_t, kLongestKeyword + 1> firstCharacters_{};
  std::array<uint32_t, kLongestKeyword + 1> lastCharacters_{};
};

constexpr KeywordTable kKeywordTable;

}  // namespace

bool IsReservedKeyword(std::string_view sName) { return kKeywordTable.Find(sName) >= 0; }

std::optional<size_t> ReservedKeywordIndex(std::string_view sName) {
  const int index = kKeywordTable.Find(sName);
  if (index < 0) return std::nullopt;
  return static_cast<size_t>(index);
}

}  // namespace morvex

// The package's own property names that a Tarvo property must not reuse, and the lookup against them.
#include "ReservedKeywords.h"

#include <cstdint>

namespace morvex {

using namespace std::string_view_literals;

// Defined constexpr so that the lookup table below is built by the compiler.
constexpr std::array<std::u16string_view, 88> ReservedKeywords = {
    u"TEXT"sv,       u"FONT"sv,        u"VISIBLE"sv,    u"MVX"sv,        u"MVY"sv,
    u"ROT"sv,        u"SZX"sv,         u"SZY"sv,        u"FIL"sv,        u"CMD"sv,
    u"DOWN_CMD"sv,   u"DBLCLK_CMD"sv,  u"REPEAT_CMD"sv, u"MSG_LOG"sv,    u"MVXSL"sv,
    u"MVYSL"sv,      u"ROTSL"sv,       u"PRIV"sv,       u"AREA"sv,       u"DEVICE"sv,
    u"DESC"sv,       u"COMMENT"sv,     u"DISABLED"sv,   u"SET_ARR"sv,    u"!COL_STATIC"sv,
    u"ACTION"sv,     u"ACTIVEXEXT_*EVENTCLASS"sv,       u"ACTIVEXEXT_*NAME"sv,
    u"ARRAY_"sv,     u"COLMODE"sv,     u"COL_"sv,       u"COL_A"sv,      u"COL_ARR"sv,
    u"COL_ARR_"sv,   u"COL_B"sv,       u"COL_C"sv,      u"COL_COUNT"sv,  u"COL_D"sv,
    u"COL_E"sv,      u"COL_EXP"sv,     u"COL_MAXON"sv,  u"COL_STA_"sv,   u"COL_THR_"sv,
    u"DISMODE"sv,    u"FILCOL"sv,      u"FILMAXPC"sv,   u"FILMINPC"sv,   u"FILMODE"sv,
    u"GREY_STYLE"sv, u"KEY_SEQ"sv,     u"MSG_LOGDBL"sv, u"MSG_LOGDN"sv,  u"MSG_LOGRPT"sv,
    u"MVXMAX"sv,     u"MVXMAXPT"sv,    u"MVXMIN"sv,     u"MVXMINPT"sv,   u"MVXSLMODE"sv,
    u"MVYMAXPT"sv,   u"MVYMINPT"sv,    u"MVYSLMODE"sv,  u"ROTMAXPC"sv,   u"ROTMINPC"sv,
    u"ROTMODE"sv,    u"ROTSLMODE"sv,   u"ROTXORG"sv,    u"ROTYORG"sv,    u"RPT_RATE"sv,
    u"STATE_"sv,     u"SZXMAXPC"sv,    u"SZXMINPC"sv,   u"SZXMODE"sv,    u"SZXORG"sv,
    u"SZYMAXPC"sv,   u"SZYMINPC"sv,    u"SZYMODE"sv,    u"SZYORG"sv,     u"TXTMODE"sv,
    u"TXT_"sv,       u"TXT_A"sv,       u"TXT_B"sv,      u"TXT_C"sv,      u"TXT_COUNT"sv,
    u"TXT_D"sv,      u"TXT_E"sv,       u"TXT_OFF"sv,    u"TXT_ON"sv,     u"TXT_STR"sv,
};

namespace {

constexpr size_t kShortestKeyword = 3;
constexpr size_t kLongestKeyword = 22;

// Bit of a keyword's first or last character among A to Z, "_", "*" and "!"; other characters have none.
constexpr uint32_t CharacterBit(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return uint32_t{1} << (unit - u'A');
  if (unit == u'_') return uint32_t{1} << 26;
  if (unit == u'*') return uint32_t{1} << 27;
  if (unit == u'!') return uint32_t{1} << 28;
  return 0;
}

// Open addressing over a table several times the keyword count, built at compile time. Most property
// names are turned away by their length and first and last characters before any hashing.
class KeywordTable {
 public:
  constexpr KeywordTable() {
    for (const std::u16string_view keyword : ReservedKeywords) {
      firstCharacters_[keyword.size()] |= CharacterBit(keyword.front());
      lastCharacters_[keyword.size()] |= CharacterBit(keyword.back());
      size_t slot = Hash(keyword) & kMask;
      while (!slots_[slot].empty()) slot = (slot + 1) & kMask;
      slots_[slot] = keyword;
    }
  }

  constexpr bool Contains(std::u16string_view name) const {
    if (name.size() < kShortestKeyword || name.size() > kLongestKeyword) return false;
    if ((firstCharacters_[name.size()] & CharacterBit(name.front())) == 0) return false;
    if ((lastCharacters_[name.size()] & CharacterBit(name.back())) == 0) return false;
    for (size_t slot = Hash(name) & kMask;; slot = (slot + 1) & kMask) {
      const std::u16string_view entry = slots_[slot];
      if (entry.empty()) return false;
      if (entry == name) return true;
    }
  }

 private:
  static constexpr size_t kSlots = 512;
  static constexpr size_t kMask = kSlots - 1;

  static constexpr size_t Hash(std::u16string_view text) {
    uint32_t hash = 2166136261u;
    for (const char16_t unit : text) hash = (hash ^ unit) * 16777619u;
    return hash ^ (hash >> 15);
  }

  std::array<std::u16string_view, kSlots> slots_{};
  std::array<uint32_t, kLongestKeyword + 1> firstCharacters_{};
  std::array<uint32_t, kLongestKeyword + 1> lastCharacters_{};
};

}  // namespace

bool IsReservedKeyword(std::u16string_view sName) {
  static constexpr KeywordTable kTable;
  return kTable.Contains(sName);
}

}  // namespace morvex

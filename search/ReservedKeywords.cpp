// The package's own property names that a Tarvo property must not reuse, and the lookup against them.
#include "ReservedKeywords.h"

#include <unordered_set>

namespace morvex {

using namespace std::string_view_literals;

const std::array<std::u16string_view, 88> ReservedKeywords = {
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

const std::unordered_set<std::u16string_view>& KeywordSet() {
  // Built on first use so that no other static's initialisation order matters.
  static const std::unordered_set<std::u16string_view> set(ReservedKeywords.begin(), ReservedKeywords.end());
  return set;
}

}  // namespace

bool IsReservedKeyword(std::u16string_view sName) {
  // Most property names are longer or shorter than every keyword; skip hashing them.
  if (sName.size() < kShortestKeyword || sName.size() > kLongestKeyword) return false;
  return KeywordSet().count(sName) != 0;
}

}  // namespace morvex

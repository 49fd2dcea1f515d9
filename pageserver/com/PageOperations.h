// The automation shape of a page server: the operations' names, dispatch identifiers and arguments, shared by
// our client and our server so that the two can never disagree.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace morvex::com {

enum class ArgKind : uint8_t { kText, kBool, kInt16, kInt32 };

enum class PageOp : uint8_t {
  kSetInteractive,
  kOpenPage,
  kClosePage,
  kFirstObject,
  kNextObject,
  kFirstProperty,
  kNextProperty,
  kGetTarvoInfo,
  kGetObjectAN,
  kGetObjectType,
  kServeFolder,  // ours: not every server has it
  kPreparePage,  // ours: not every server has it
  kLastOpenFailure,  // ours: not every server has it
};
inline constexpr size_t kPageOpCount = 13;
inline constexpr size_t kRequiredPageOps = 10;  // the package's ten come first
inline constexpr size_t kMostArgs = 4;

struct OperationShape {
  std::wstring_view name;
  int32_t dispid;  // what our server answers; a client asks every server by name
  uint8_t inputCount;
  std::array<ArgKind, kMostArgs> inputs;   // by value
  uint8_t outputCount;
  std::array<ArgKind, kMostArgs> outputs;  // by reference, after the inputs
  bool answers;                            // returns True or False; the optional two return nothing
};

using enum ArgKind;
inline constexpr std::array<OperationShape, kPageOpCount> kOperations = {{
    {L"SetInteractive", 1, 1, {kBool}, 0, {}, true},
    {L"OpenPage", 2, 2, {kText, kText}, 0, {}, true},
    {L"ClosePage", 3, 0, {}, 0, {}, true},
    {L"FirstObject", 4, 0, {}, 0, {}, true},
    {L"NextObject", 5, 0, {}, 0, {}, true},
    {L"FirstProperty", 6, 0, {}, 2, {kText, kText}, true},
    {L"NextProperty", 7, 0, {}, 2, {kText, kText}, true},
    {L"GetTarvoInfo", 8, 0, {}, 4, {kText, kText, kText, kInt32}, true},
    {L"GetObjectAN", 9, 0, {}, 1, {kInt16}, true},
    {L"GetObjectType", 10, 0, {}, 1, {kText}, true},
    {L"ServeFolder", 11, 1, {kText}, 0, {}, false},
    {L"PreparePage", 12, 2, {kText, kText}, 0, {}, false},
    {L"LastOpenFailure", 13, 0, {}, 2, {kText, kText}, true},
}};

// Our server numbers the operations in their order, from 1; OperationOfDispid relies on it.
static_assert([] {
  for (size_t i = 0; i < kOperations.size(); ++i)
    if (kOperations[i].dispid != static_cast<int32_t>(i + 1)) return false;
  return true;
}());

inline const OperationShape& Shape(PageOp op) { return kOperations[static_cast<size_t>(op)]; }

// The operation our server numbers dispid, if any.
inline std::optional<PageOp> OperationOfDispid(int32_t dispid) {
  if (dispid < 1 || dispid > static_cast<int32_t>(kPageOpCount)) return std::nullopt;
  return static_cast<PageOp>(dispid - 1);
}

}  // namespace morvex::com

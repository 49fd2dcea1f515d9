// Path helpers shared by the table reader, the search and the page-file server.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace morvex {

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The folder, one separator unless the folder already ends in one, then the file name (not examined).
// An empty folder gives the separator and the name.
std::u16string JoinPath(std::u16string_view sFolder, std::u16string_view sFileName);

// The same rule with an explicit separator, so both platforms' behaviour can be exercised anywhere.
std::u16string JoinPathWith(std::u16string_view sFolder, std::u16string_view sFileName, char16_t separator);

std::filesystem::path ToNativePath(std::u16string_view path);
std::u16string FromNativePath(const std::filesystem::path& path);

// True when the path names an existing ordinary file (a folder or a device counts as missing).
bool FileExists(std::u16string_view sFile);

// A project's "Path" cell, taken relative to the folder that holds the project list when it is relative.
// Empty cells stay empty, so that they keep their old meaning (the root folder).
std::u16string ResolveAgainst(std::u16string_view sBaseFolder, std::u16string_view sPath);

}  // namespace morvex

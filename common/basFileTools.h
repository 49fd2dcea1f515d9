// Path helpers shared by the table reader, the search and the page-file server.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace morvex {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The folder, one separator unless the folder already ends in one, then the file name (not examined).
// An empty folder gives the separator and the name.
std::string JoinPath(std::string_view sFolder, std::string_view sFileName);

// The same rule with an explicit separator, so both platforms' behaviour can be exercised anywhere.
std::string JoinPathWith(std::string_view sFolder, std::string_view sFileName, char separator);

// Paths are held as UTF-8 on Windows and as the file system's own bytes elsewhere: a Linux name that is not
// valid UTF-8 still reaches the file system unchanged.
std::filesystem::path ToNativePath(std::string_view path);
std::string FromNativePath(const std::filesystem::path& path);

// True when the path names an existing ordinary file (a folder or a device counts as missing).
bool FileExists(std::string_view sFile);

// A project's "Path" cell, taken relative to the folder that holds the project list when it is relative.
// Empty cells stay empty, so that they keep their old meaning (the root folder).
std::string ResolveAgainst(std::string_view sBaseFolder, std::string_view sPath);

}  // namespace morvex

# Sourced by the scripts that run Windows programs under Wine: the paths they are given and the loader.

# Wine's drive Z: is the Linux root; winepath itself stops at 260 characters, so the name is made here.
windows_path() {
  local full
  full=$(realpath -m "$1")
  printf 'Z:%s' "${full//\//\\}"
}

# The loader a Windows build's tests use, from its CMake cache: for x64 Wine's 64-bit one, since "wine" starts
# a 64-bit program from a 32-bit process once wine32 is installed, a cost a start on Windows does not have.
wine_loader_of() {
  local loader
  loader=$(sed -n 's/^MORVEX_WINE64_LOADER:FILEPATH=//p' "$1/CMakeCache.txt" 2>/dev/null)
  printf '%s' "${loader:-wine}"
}

// morvex-dbf: prints a dBase table as tab-separated text, exactly as the search reads it.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CodePage.h"
#include "Console.h"
#include "Error.h"
#include "TextUtil.h"
#include "Version.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace {

// Values may hold any character, NUL included; escaping keeps one record on one line and one value per column.
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case '\0': out += "\\0"; break;
      default: out += c; break;
    }
  }
}

// Buffers the dump and remembers the first failed write, so a closed pipe or a full disk ends the dump early.
class Output {
 public:
  std::string& Buffer() { return buffer_; }
  bool MaybeFlush() { return buffer_.size() < (size_t{1} << 16) || Flush(); }
  bool Flush() {
    if (failed_) return false;
    errno = 0;
    const size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    if (written != buffer_.size() || std::fflush(stdout) != 0) {
      failed_ = true;
      error_ = errno;
      readerGone_ = morvex::console::ReaderHasGone(error_);
    }
    buffer_.clear();
    return !failed_;
  }
  int Error() const { return error_; }
  bool ReaderGone() const { return readerGone_; }

 private:
  std::string buffer_;
  bool failed_ = false;
  int error_ = 0;
  bool readerGone_ = false;
};

// True when the whole table reached stdout; otherwise output says why not.
bool PrintTable(const morvex::clsDBase& table, Output& output) {
  std::string& out = output.Buffer();
  out += "Deleted";
  const int32_t fields = table.FieldCount();
  for (int32_t f = 1; f <= fields; ++f) {
    out += '\t';
    AppendEscaped(out, table.FieldName(f));
  }
  out += '\n';
  const int32_t records = table.RecordCount();
  std::string value;
  for (int32_t r = 1; r <= records; ++r) {
    if (table.RecordDeleted(r)) out += '*';
    for (int32_t f = 1; f <= fields; ++f) {
      out += '\t';
      table.ReadElement(r, f, value);
      AppendEscaped(out, value);
    }
    out += '\n';
    if (!output.MaybeFlush()) break;
  }
  return output.Flush();
}

// CLI11's messages are one line today; a newline in a later one must not break the one-line promise.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that stops early (`| head`) closes the pipe: the dump then stops at the failed write with status 2.
  morvex::console::PrepareStreams();
  CLI::App app{"Prints a dBase table as tab-separated text (UTF-8): a header line \"Deleted\" and the field names, "
               "then one line per record, \"*\" first for a deleted one. Tab, CR, LF, backslash and NUL in values "
               "are written as \\t, \\r, \\n, \\\\ and \\0.",
               "morvex-dbf"};
  std::string file;
  int32_t codepage = 0;
  app.add_option("FILE", file, "The table file (.dbf)")->required();
  app.add_option("--codepage", codepage,
                 "Windows code page of the values; 0, the default, is Windows-1252 (866 for Russian DOS tables, "
                 "65001 for UTF-8, ...)");
  app.set_version_flag("--version", std::string(morvex::kVersionText));
  try {
    const std::vector<std::string> arguments = morvex::console::Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    // The full help would bury the one thing that went wrong; it is a --help away.
    std::fprintf(stderr, "morvex-dbf: %s (run morvex-dbf --help for usage)\n", OneLine(error.what()).c_str());
    return 2;
  }

  morvex::clsDBase table;
  const std::string& path = file;
  try {
    if (!table.Load(path, codepage)) {
      std::fprintf(stderr, "morvex-dbf: no table file \"%s\" (missing, or not an ordinary file)\n", file.c_str());
      return 2;
    }
  } catch (const morvex::Error& error) {
    std::fprintf(stderr, "morvex-dbf: %s (error %d)\n", error.Description().c_str(), static_cast<int>(error.Number()));
    return 2;
  } catch (const std::bad_alloc&) {
    // A table is held whole; one larger than the memory a process has (2 or 4 GiB for an x86 one) cannot be.
    std::fprintf(stderr, "morvex-dbf: table \"%s\" does not fit in memory (error 7)\n", file.c_str());
    return 2;
  }
  if (table.Corrupt()) {
    std::fprintf(stderr, "morvex-dbf: warning: table \"%s\" is damaged: %s; printing what was read\n", file.c_str(),
                 table.CorruptReason().c_str());
  }
  if (!morvex::CodePageDecoder(codepage).Supported()) {
    // The reader answers such a page with empty values, as designed; the dump must not pass that off as data.
    std::fprintf(stderr, "morvex-dbf: warning: code page %d is not supported; the values are shown empty\n",
                 static_cast<int>(codepage));
  }
  Output output;
  if (PrintTable(table, output)) return 0;
  // A reader that has gone away wants no explanation; any other lost output is worth one line.
  if (!output.ReaderGone()) {
    std::fprintf(stderr, "morvex-dbf: cannot write the table: %s\n",
                 output.Error() > 0 ? std::strerror(output.Error()) : "output error");
  }
  return 2;
}

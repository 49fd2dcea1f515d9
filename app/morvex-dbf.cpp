// morvex-dbf: prints a dBase table as tab-separated text, exactly as the search reads it.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <string>

#include "Error.h"
#include "TextUtil.h"
#include "Version.h"
#include "basFileTools.h"
#include "clsDBase.h"

namespace {

// Values may hold any character, NUL included; escaping keeps one record on one line and one value per column.
void AppendEscaped(std::string& out, const std::u16string& text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  for (const char16_t c : text) {
    switch (c) {
      case u'\t': escaped += u"\\t"; break;
      case u'\r': escaped += u"\\r"; break;
      case u'\n': escaped += u"\\n"; break;
      case u'\\': escaped += u"\\\\"; break;
      case u'\0': escaped += u"\\0"; break;
      default: escaped += c; break;
    }
  }
  out += morvex::Utf16ToUtf8(escaped);
}

class Output {
 public:
  ~Output() { Flush(); }
  std::string& Buffer() { return buffer_; }
  void MaybeFlush() {
    if (buffer_.size() >= (size_t{1} << 16)) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
  }

 private:
  std::string buffer_;
};

void PrintTable(const morvex::clsDBase& table) {
  Output output;
  std::string& out = output.Buffer();
  out += "Deleted";
  const int32_t fields = table.FieldCount();
  for (int32_t f = 1; f <= fields; ++f) {
    out += '\t';
    AppendEscaped(out, table.FieldName(f));
  }
  out += '\n';
  const int32_t records = table.RecordCount();
  std::u16string value;
  for (int32_t r = 1; r <= records; ++r) {
    if (table.RecordDeleted(r)) out += '*';
    for (int32_t f = 1; f <= fields; ++f) {
      out += '\t';
      table.ReadElement(r, f, value);
      AppendEscaped(out, value);
    }
    out += '\n';
    output.MaybeFlush();
  }
}

}  // namespace

int main(int argc, char** argv) {
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
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return 2;
  }

  morvex::clsDBase table;
  const std::u16string path = morvex::Utf8ToUtf16(file);
  try {
    if (!table.Load(path, codepage)) {
      std::fprintf(stderr, "morvex-dbf: no table file \"%s\" (missing, or not an ordinary file)\n", file.c_str());
      return 2;
    }
  } catch (const morvex::Error& error) {
    std::fprintf(stderr, "morvex-dbf: %s (error %d)\n", error.Description().c_str(), static_cast<int>(error.Number()));
    return 2;
  }
  if (table.Corrupt()) {
    std::fprintf(stderr,
                 "morvex-dbf: warning: table \"%s\" is damaged (its header terminator or end-of-file marker is "
                 "wrong, or the file is cut short); printing what was read\n",
                 file.c_str());
  }
  PrintTable(table);
  std::fflush(stdout);
  return std::ferror(stdout) ? 1 : 0;
}

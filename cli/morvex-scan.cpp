// morvex-scan: the search run from the command line, for scripts and build pipelines.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Console.h"
#include "PageServerChoice.h"
#include "ScanOutput.h"
#include "ScanTerminal.h"
#include "TextUtil.h"
#include "Version.h"
#include "basSearch.h"

namespace {

constexpr const char* kExitStatusFooter =
    "Exit status:\n"
    "  0    the scan finished and found no collision\n"
    "  1    the scan finished and found collisions\n"
    "  2    the project list could not be opened, a wrong option was given, an error ended the scan,\n"
    "       or the report could not be written\n"
    "  130  the scan was cancelled with Ctrl-C (the partial report is printed)";

// Writes the report in the pieces it comes in; a failed write makes the rest a no-op. A report that did not
// reach its reader (full disk, closed pipe) must not end with a success status.
class ReportWriter {
 public:
  void operator()(std::string_view piece) {
    if (failed_ || piece.empty()) return;
    if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) Fail();
  }
  bool Finish() {
    if (!failed_ && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) Fail();
    return !failed_;
  }
  int Error() const { return error_; }
  bool ReaderGone() const { return readerGone_; }

 private:
  void Fail() {
    failed_ = true;
    error_ = errno;
    readerGone_ = morvex::console::ReaderHasGone(error_);
  }
  bool failed_ = false;
  int error_ = 0;
  bool readerGone_ = false;
};

// CLI11's messages are one line today; a newline in a later one must not break the one-line promise.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// CLI11 takes the arguments as C strings; these are the UTF-8 ones.
void ParseUtf8(CLI::App& app, const std::vector<std::string>& arguments) {
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  app.parse(static_cast<int>(pointers.size()), pointers.data());
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that stops early (`| head`) closes the pipe: the write then fails and ends the run with status 2.
  morvex::console::PrepareStreams();
  CLI::App app{"Lists Tarvo property names that collide with the package's reserved property names, for every "
               "page of every project in FOLDER (the folder that holds master.dbf)."};
  app.name("morvex-scan");

  bool bShowAll = false;
  bool bUnique = false;
  bool bIgnoreBuiltIn = false;
  bool bIncludeBuiltIn = false;
  std::string format = "tsv";
  std::string folder;

  CLI::Option* showAll = app.add_flag("--show-all", bShowAll, "One line per placement, with page, AN and value (default)");
  CLI::Option* unique = app.add_flag("--unique", bUnique, "One line per distinct Tarvo and property name");
  showAll->excludes(unique);
  CLI::Option* ignore = app.add_flag("--ignore-built-in", bIgnoreBuiltIn, "Skip the package's built-in projects (default)");
  CLI::Option* include = app.add_flag("--include-built-in", bIncludeBuiltIn, "Scan the built-in projects too");
  ignore->excludes(include);
  app.add_option("--format", format, "Output format: tsv (the report) or json")
      ->check(CLI::IsMember({"tsv", "json"}))
      ->default_str("tsv");
  std::string pageServer;
  app.add_option("--page-server", pageServer,
                 "The page server to open pages with, by ProgID (Company.Server) or {CLSID}; Windows only. "
                 "Default: Morvex's own, reading page files");
  app.add_option("FOLDER", folder, "The folder that holds the project list master.dbf")->required();
  app.set_version_flag("--version", std::string(morvex::kVersionText));
  app.footer(kExitStatusFooter);

  try {
    ParseUtf8(app, morvex::console::Arguments(argc, argv));
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    // The full help would bury the one thing that went wrong; it is a --help away.
    std::cerr << "morvex-scan: " << OneLine(error.what()) << " (run morvex-scan --help for usage)\n";
    return 2;
  }

  morvex::PageAutomationFactory pageServerFactory = morvex::ChoosePageServer(pageServer);
  if (!pageServerFactory) {
    std::cerr << "morvex-scan: page servers by class identifier (--page-server) are a Windows feature\n";
    return 2;
  }

  morvex::InstallInterruptHandler();
  morvex::TerminalProgress progress(stderr, morvex::console::IsConsole(stderr));
  morvex::TerminalMessages messages(stderr, progress);
  morvex::AppContext context(std::move(pageServerFactory), progress, messages);

  const bool bShowAllRun = !bUnique;
  // The folder's bytes go to the file system as they were given: a name need not be valid UTF-8 on Linux.
  const morvex::SearchResult result = morvex::RunSearchDetailed(context, folder, bShowAllRun, !bIncludeBuiltIn);
  progress.ClearStatusLine();

  static char outputBuffer[1 << 16];
  std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
  ReportWriter writer;
  const morvex::OutputSink sink = [&writer](std::string_view piece) { writer(piece); };
  if (format == "json") {
    morvex::WriteJson(result, bShowAllRun, sink);
  } else {
    morvex::WriteTsv(result, sink);
  }
  if (!writer.Finish()) {
    // A reader that has gone away wants no explanation, and a pipeline stderr would only fill with noise.
    if (!writer.ReaderGone()) {
      std::fprintf(stderr, "morvex-scan: cannot write the report: %s\n", std::strerror(writer.Error()));
    }
    return 2;
  }
  return morvex::ExitStatus(result);
}

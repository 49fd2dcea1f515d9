// morvex-sitegen: writes a seeded, deterministic site of P projects × G pages × O objects for benchmarks.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "SiteGenerator.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a generated site (master.dbf, one pages.dbf per project, one JSON file per page)."};
  app.name("morvex-sitegen");
  morvex::SiteShape shape;
  std::string outDir;
  app.add_option("--projects", shape.projects, "Number of projects")->check(CLI::Range(1, 9999));
  app.add_option("--pages", shape.pages, "Pages per project")->check(CLI::Range(0, 9999));
  app.add_option("--objects", shape.objects, "Objects per page")->check(CLI::Range(0, 32767));
  app.add_option("--collisions", shape.collisionsPerMille,
                 "Chance per thousand that a Tarvo property takes a reserved name; 4 keeps the usual sites")
      ->check(CLI::Range(0, 1000));
  app.add_option("--seed", shape.seed, "Seed of the generator; the same seed gives the same site");
  app.add_option("--page-files", shape.pageFiles,
                 "Page files: exact (named as listed), upper (names in upper case) or none")
      ->transform(CLI::CheckedTransformer(std::map<std::string, morvex::SiteShape::PageFiles>{
          {"exact", morvex::SiteShape::PageFiles::kExactNames},
          {"upper", morvex::SiteShape::PageFiles::kUpperCaseNames},
          {"none", morvex::SiteShape::PageFiles::kNone}}));
  app.add_option("--other-files", shape.otherFilesPerProject, "Files that are no pages, per project folder")
      ->check(CLI::Range(0, 99999));
  app.add_option("OUT_DIR", outDir, "Folder to write the site into")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "morvex-sitegen: %s\n\n%s", error.what(), app.help().c_str());
    return 2;
  }
  try {
    const morvex::SiteSummary summary = morvex::GenerateSite(shape, outDir);
    std::printf("pages %lld, tarvos %lld, reserved properties %lld, largest page %llu bytes\n",
                static_cast<long long>(summary.pageFiles), static_cast<long long>(summary.tarvos),
                static_cast<long long>(summary.reservedProperties),
                static_cast<unsigned long long>(summary.largestPageBytes));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "morvex-sitegen: %s\n", error.what());
    return 1;
  }
  return 0;
}

// The report units over a dense run's placements: the collision counts and the HTML page, from a TSV report.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "CollisionCounts.h"
#include "HtmlReport.h"

namespace {

// The placements of a show-all TSV report (MORVEX_BENCH_TSV, as bench_html.sh writes it), read once.
const morvex::SearchResult& Placements() {
  static const morvex::SearchResult result = [] {
    morvex::SearchResult loaded;
    const char* path = std::getenv("MORVEX_BENCH_TSV");
    std::ifstream in(path != nullptr ? path : "");
    if (!in) {
      std::cerr << "set MORVEX_BENCH_TSV to a show-all TSV report\n";
      std::exit(2);
    }
    std::string line;
    std::getline(in, line);  // the header
    std::vector<std::string_view> fields;
    while (std::getline(in, line)) {
      fields.clear();
      size_t start = 0;
      for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(std::string_view(line).substr(start, tab - start));
      fields.push_back(std::string_view(line).substr(start));
      loaded.findings.Add(fields.data(), fields.size());
      loaded.unopened.CountTried();
    }
    return loaded;
  }();
  return result;
}

void BM_CountCollisions(benchmark::State& state) {
  const morvex::SearchResult& result = Placements();
  for (auto _ : state) benchmark::DoNotOptimize(morvex::CountCollisions(result));
  state.counters["placements"] = result.findings.Count();
}
BENCHMARK(BM_CountCollisions)->Unit(benchmark::kMillisecond);

void BM_WriteHtml(benchmark::State& state) {
  const morvex::SearchResult& result = Placements();
  morvex::HtmlReportInfo info;
  info.siteFolder = "site";
  info.pageHref = [](std::string_view project, std::string_view page) {
    return std::optional<std::string>(std::string(project) + "/" + std::string(page) + ".json");
  };
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = 0;
    morvex::WriteHtml(result, info, [&bytes](std::string_view piece) { bytes += piece.size(); });
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteHtml)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

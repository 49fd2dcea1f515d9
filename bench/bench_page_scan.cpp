// Page scan benchmark: simdjson's parse of a 10,000-object page, our open-and-scan of it, and memory over many pages.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "DbfWriter.h"
#include "FindingsList.h"
#include "PageFileServer.h"
#include "ProgressInterface.h"
#include "ReservedKeywords.h"
#include "SilentProgress.h"
#include "basFileTools.h"
#include "basSearch.h"

namespace {

namespace fs = std::filesystem;

// Half the objects are Tarvos with 1 to 12 properties; one property in `reservedOneIn` has a reserved name.
std::string MakePage(int objects, uint32_t seed, uint32_t reservedOneIn) {
  std::mt19937 random(seed);
  const char* const kPlainTypes[] = {"Rectangle", "Line", "Text", "Ellipse", "Polygon"};
  const char* const kOrdinaryNames[] = {"Tag", "Units", "Limit", "Colour", "Label", "Device_1", "Text", "COL_X"};
  std::string page = "{\n  \"objects\": [\n";
  for (int i = 0; i < objects; ++i) {
    if (i != 0) page += ",\n";
    const int an = static_cast<int>(random() % 65536) - 32768;
    if (i % 2 == 1) {
      page += R"(    {"type": ")" + std::string(kPlainTypes[random() % 5]) + R"(", "an": )" + std::to_string(an) + "}";
      continue;
    }
    page += R"(    {"type": "Tarvo", "an": )" + std::to_string(an) + R"(, "tarvo": {"project": "include", "library": "lib)" +
            std::to_string(random() % 40) + R"(", "name": "tarvo_)" + std::to_string(random() % 500) +
            R"(", "number": )" + std::to_string(random() % 100) + R"(}, "properties": [)";
    const int properties = 1 + static_cast<int>(random() % 12);
    for (int p = 0; p < properties; ++p) {
      if (p != 0) page += ", ";
      std::string name;
      if (random() % reservedOneIn == 0) {
        const std::string_view keyword = morvex::ReservedKeywords[random() % morvex::ReservedKeywords.size()];
        name.assign(keyword.begin(), keyword.end());
      } else {
        name = kOrdinaryNames[random() % 8];
      }
      page += R"({"name": ")" + name + R"(", "value": "value )" + std::to_string(random() % 10000) + "\"}";
    }
    page += "]}";
  }
  page += "\n  ]\n}\n";
  return page;
}

void WriteFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

long ResidentKilobytes() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * 4;
}

// One site for the whole process: master.dbf, one project, the big page and 2,000 small ones.
struct Site {
  static constexpr int kSmallPages = 2000;
  // Benchmark argument 0: a few collisions per page, as real projects have; 1: a collision-heavy page.
  static constexpr uint32_t kSparseReserved = 64;
  static constexpr uint32_t kDenseReserved = 8;

  Site() {
    root = fs::temp_directory_path() /
           ("morvex-bench-pages-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root / "plant");
    morvex::doubles::ProjectListWriter().Add({"Plant", "plant"}).WriteTo(root / "master.dbf");
    pages[0] = MakePage(10000, 1, kSparseReserved);
    pages[1] = MakePage(10000, 1, kDenseReserved);
    WriteFile(root / "plant" / "Big0.json", pages[0]);
    WriteFile(root / "plant" / "Big1.json", pages[1]);
    for (int i = 0; i < kSmallPages; ++i)
      WriteFile(root / "plant" / ("Small" + std::to_string(i) + ".json"), MakePage(20 + i % 200, 100u + static_cast<uint32_t>(i), kSparseReserved));
  }
  ~Site() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  fs::path root;
  std::string pages[2];
};

Site& TheSite() {
  static Site site;
  return site;
}

void BM_SimdjsonParse(benchmark::State& state) {
  const simdjson::padded_string bytes(TheSite().pages[state.range(0)]);
  simdjson::dom::parser parser;
  for (auto _ : state) {
    simdjson::dom::element root;
    if (parser.parse(bytes).get(root) != simdjson::SUCCESS) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_SimdjsonParse)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_OpenAndScanPageFile(benchmark::State& state) {
  Site& site = TheSite();
  morvex::PageFileServer server;
  server.ServeFolder(morvex::FromNativePath(site.root));
  morvex::SilentProgress progress;
  const std::string& bytes = site.pages[state.range(0)];
  const std::string page = state.range(0) == 0 ? "Big0" : "Big1";
  int32_t found = 0;
  for (auto _ : state) {
    // A run's findings list outlives its pages: making and freeing it is no part of one page's cost.
    state.PauseTiming();
    auto findings = std::make_unique<morvex::FindingsList>();
    state.ResumeTiming();
    if (!server.OpenPage("Plant", page)) state.SkipWithError("open failed");
    morvex::ScanPageObjects(server, progress, "Plant", page, *findings, true);
    server.ClosePage();
    found = findings->Count();
    state.PauseTiming();
    findings.reset();
    state.ResumeTiming();
  }
  state.counters["findings"] = found;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_OpenAndScanPageFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Without the file read, to tell parsing and walking apart from I/O.
void BM_OpenAndScanInMemory(benchmark::State& state) {
  Site& site = TheSite();
  morvex::PageFileServer server;
  morvex::SilentProgress progress;
  const std::string& bytes = site.pages[state.range(0)];
  for (auto _ : state) {
    state.PauseTiming();
    auto findings = std::make_unique<morvex::FindingsList>();
    state.ResumeTiming();
    if (!server.OpenPageContent(bytes)) state.SkipWithError("open failed");
    morvex::ScanPageObjects(server, progress, "Plant", "Big", *findings, true);
    server.ClosePage();
    state.PauseTiming();
    findings.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_OpenAndScanInMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The server's share: every object and property read, nothing tested or added.
void BM_OpenAndWalkInMemory(benchmark::State& state) {
  Site& site = TheSite();
  morvex::PageFileServer server;
  std::string_view type, name, value, project, library, tarvo;
  int16_t an = 0;
  int32_t number = 0;
  const std::string& bytes = site.pages[0];
  for (auto _ : state) {
    if (!server.OpenPageContent(bytes)) state.SkipWithError("open failed");
    for (bool more = server.FirstObject(); more; more = server.NextObject()) {
      server.GetObjectType(type);
      if (type != "Tarvo") continue;
      server.GetTarvoInfo(project, library, tarvo, number);
      server.GetObjectAN(an);
      for (bool property = server.FirstProperty(name, value); property; property = server.NextProperty(name, value))
        benchmark::DoNotOptimize(name.data());
    }
    server.ClosePage();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_OpenAndWalkInMemory)->Unit(benchmark::kMicrosecond);

// Resident memory after the first 100 pages and after all 2,000: one page at a time must not accumulate.
void BM_ManyPagesMemory(benchmark::State& state) {
  Site& site = TheSite();
  morvex::PageFileServer server;
  server.ServeFolder(morvex::FromNativePath(site.root));
  morvex::SilentProgress progress;
  long afterFirst = 0;
  long afterAll = 0;
  int64_t found = 0;
  for (auto _ : state) {
    for (int i = 0; i < Site::kSmallPages; ++i) {
      // A list per page, so that only the server's own memory can grow.
      morvex::FindingsList findings;
      const std::string digits = std::to_string(i);
      const std::string page = "Small" + std::string(digits.begin(), digits.end());
      if (server.OpenPage("Plant", page)) {
        morvex::ScanPageObjects(server, progress, "Plant", page, findings, true);
        server.ClosePage();
      }
      found += findings.Count();
      if (i == 99) afterFirst = ResidentKilobytes();
    }
    afterAll = ResidentKilobytes();
  }
  state.counters["findings"] = static_cast<double>(found);
  state.counters["rss_kb_after_100"] = static_cast<double>(afterFirst);
  state.counters["rss_kb_after_2000"] = static_cast<double>(afterAll);
}
BENCHMARK(BM_ManyPagesMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

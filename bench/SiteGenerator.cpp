// Site generation: dBase III tables for the lists and one JSON file per page, with a realistic mix of objects.
#include "SiteGenerator.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvex {

namespace {

// splitmix64: tiny and fully specified, so a seed gives the same site with every standard library.
class SiteRandom {
 public:
  explicit SiteRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform enough for test data; the bias of a modulo over 64 bits is negligible here.
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }
  bool Chance(uint32_t perThousand) { return Below(1000) < perThousand; }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t state_;
};

constexpr std::array<std::string_view, 8> kLibraries = {"pumps", "valves", "meters", "alarms",
                                                        "motors", "tanks", "pipes", "frames"};
constexpr std::array<std::string_view, 12> kTarvoNames = {"pump_h", "pump_v",  "valve_h", "valve_v",
                                                          "flow",   "level",   "temp",    "lamp",
                                                          "motor",  "tank_s", "pipe_90", "frame_a"};
// Ordinary template property names, near-misses of reserved names among them.
constexpr std::array<std::string_view, 20> kPlainProperties = {
    "Tag",   "Value", "Unit",   "Min",      "Max",        "Label",  "Alarm",   "Text",   "COL_F", "TXT_OFFSET",
    "Color", "Font2", "MVYMAX", "COL_ALPHA", "Description", "Limit", "Setpoint", "Enable", "Owner", "Area2"};
constexpr std::array<std::string_view, 10> kReservedProperties = {
    "TEXT", "FONT", "COL_A", "VISIBLE", "!COL_STATIC", "TXT_ON", "DESC", "COL_", "DOWN_CMD", "MVXMAX"};
constexpr std::array<std::string_view, 5> kPlainTypes = {"Rectangle", "Text", "Line", "Polyline", "Ellipse"};

void WriteDbf(const std::filesystem::path& file, const std::vector<std::pair<std::string, uint8_t>>& fields,
              const std::vector<std::vector<std::string>>& records) {
  const auto headerLength = static_cast<uint16_t>(32 + 32 * fields.size() + 1);
  uint16_t recordLength = 1;
  for (const auto& field : fields) recordLength = static_cast<uint16_t>(recordLength + field.second);

  std::string out;
  out.reserve(headerLength + records.size() * recordLength + 1);
  auto put16 = [&out](uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
  };
  const auto count = static_cast<uint32_t>(records.size());
  out += std::string{'\x03', '\x7E', '\x01', '\x0F'};  // dBase III, a fixed date so reruns give equal bytes
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((count >> shift) & 0xFF));
  put16(headerLength);
  put16(recordLength);
  out.append(20, '\0');
  for (const auto& [name, length] : fields) {
    std::string descriptor(32, '\0');
    descriptor.replace(0, name.size(), name);
    descriptor[11] = 'C';
    descriptor[16] = static_cast<char>(length);
    out += descriptor;
  }
  out.push_back('\x0D');
  for (const auto& record : records) {
    out.push_back(' ');
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string value = i < record.size() ? record[i] : std::string();
      if (value.size() > fields[i].second) throw std::invalid_argument("value too long for field " + fields[i].first);
      value.resize(fields[i].second, ' ');
      out += value;
    }
  }
  out.push_back('\x1A');
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!stream) throw std::runtime_error("cannot write " + file.string());
}

std::string Numbered(std::string_view prefix, int32_t number, int width) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width, number);
  return std::string(prefix) + digits;
}

struct PageText {
  std::string json;
  int64_t tarvos = 0;
  int64_t reserved = 0;
};

PageText MakePage(SiteRandom& random, int32_t objects, uint32_t collisionsPerMille) {
  PageText page;
  page.json.reserve(static_cast<size_t>(objects) * 260 + 32);
  page.json += "{\"objects\": [\n";
  for (int32_t i = 0; i < objects; ++i) {
    const int32_t an = i + 1;
    if (i > 0) page.json += ",\n";
    if (random.Chance(500)) {
      ++page.tarvos;
      page.json += "{\"type\": \"Tarvo\", \"an\": " + std::to_string(an) + ", \"tarvo\": {\"project\": \"include\", ";
      page.json += "\"library\": \"" + std::string(random.Pick(kLibraries)) + "\", \"name\": \"" +
                   std::string(random.Pick(kTarvoNames)) + "\", \"number\": " + std::to_string(random.Below(100)) +
                   "}, \"properties\": [";
      const uint32_t properties = 1 + random.Below(12);
      for (uint32_t p = 0; p < properties; ++p) {
        if (p > 0) page.json += ", ";
        std::string_view name;
        if (random.Chance(collisionsPerMille)) {
          name = random.Pick(kReservedProperties);
          ++page.reserved;
        } else {
          name = random.Pick(kPlainProperties);
        }
        page.json += "{\"name\": \"" + std::string(name) + "\", \"value\": \"" +
                     Numbered("V", static_cast<int32_t>(random.Below(10000)), 4) + "\"}";
      }
      page.json += "]}";
    } else {
      page.json += "{\"type\": \"" + std::string(random.Pick(kPlainTypes)) + "\", \"an\": " + std::to_string(an) +
                   ", \"x\": " + std::to_string(random.Below(1920)) + ", \"y\": " + std::to_string(random.Below(1080)) +
                   "}";
    }
  }
  page.json += "\n]}\n";
  return page;
}

}  // namespace

SiteSummary GenerateSite(const SiteShape& shape, const std::filesystem::path& outDir) {
  if (shape.projects < 1 || shape.pages < 0 || shape.objects < 0 || shape.collisionsPerMille < 0 ||
      shape.collisionsPerMille > 1000) {
    throw std::invalid_argument("bad site shape");
  }
  SiteRandom random(shape.seed);
  SiteSummary summary;
  std::filesystem::create_directories(outDir);

  std::vector<std::vector<std::string>> projects;
  for (int32_t p = 1; p <= shape.projects; ++p) {
    const std::string name = Numbered("Station_", p, 4);
    const std::string folder = Numbered("p", p, 4);
    projects.push_back({name, folder});

    const std::filesystem::path projectDir = outDir / folder;
    std::filesystem::create_directories(projectDir);
    std::vector<std::vector<std::string>> pages;
    for (int32_t g = 1; g <= shape.pages; ++g) {
      const std::string pageName = Numbered("Page_", g, 4);
      pages.push_back({pageName, "Generated page " + std::to_string(g)});
      const PageText page = MakePage(random, shape.objects, static_cast<uint32_t>(shape.collisionsPerMille));
      if (shape.pageFiles == SiteShape::PageFiles::kNone) continue;
      std::string fileName = pageName + ".json";
      if (shape.pageFiles == SiteShape::PageFiles::kUpperCaseNames)
        for (char& c : fileName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      std::ofstream stream(projectDir / fileName, std::ios::binary | std::ios::trunc);
      stream.write(page.json.data(), static_cast<std::streamsize>(page.json.size()));
      if (!stream) throw std::runtime_error("cannot write a page file in " + projectDir.string());
      ++summary.pageFiles;
      summary.tarvos += page.tarvos;
      summary.reservedProperties += page.reserved;
      if (page.json.size() > summary.largestPageBytes) summary.largestPageBytes = page.json.size();
    }
    for (int32_t o = 1; o <= shape.otherFilesPerProject; ++o)
      std::ofstream(projectDir / (Numbered("Other_", o, 5) + ".txt"), std::ios::binary) << o << '\n';
    WriteDbf(projectDir / "pages.dbf", {{"Name", 32}, {"Comment", 40}}, pages);
  }
  WriteDbf(outDir / "master.dbf", {{"Name", 32}, {"Path", 64}}, projects);
  return summary;
}

}  // namespace morvex

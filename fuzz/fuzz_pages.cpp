// Fuzz target: any bytes as a page's content, then every operation of the server and a full scan over it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FindingsList.h"
#include "PageFileServer.h"
#include "ProgressInterface.h"
#include "SilentProgress.h"
#include "basSearch.h"

namespace {

// Touches the received texts so that a bad conversion shows up under the sanitizers.
size_t Checksum(std::string_view text) {
  size_t sum = text.size();
  for (const char unit : text) sum = sum * 31 + static_cast<unsigned char>(unit);
  return sum;
}

size_t WalkEverything(morvex::PageFileServer& server) {
  size_t sum = 0;
  std::string_view type, name, value, project, library, tarvo;
  int16_t an = 0;
  int32_t number = 0;
  // Calls out of order must fail quietly.
  sum += server.NextObject() + server.NextProperty(name, value) + server.FirstProperty(name, value);
  if (!server.FirstObject()) return sum;
  do {
    if (server.GetObjectType(type)) sum += Checksum(type);
    if (server.GetObjectAN(an)) sum += static_cast<size_t>(an);
    if (server.GetTarvoInfo(project, library, tarvo, number))
      sum += Checksum(project) + Checksum(library) + Checksum(tarvo) + static_cast<size_t>(number);
    sum += server.NextProperty(name, value);
    if (server.FirstProperty(name, value)) {
      do sum += Checksum(name) + Checksum(value);
      while (server.NextProperty(name, value));
      sum += server.NextProperty(name, value);
    }
  } while (server.NextObject());
  sum += server.NextObject();
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One server for the whole process, as one run reuses one server for page after page.
  static morvex::PageFileServer server;
  static morvex::SilentProgress progress;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!server.OpenPageContent(bytes)) {
    volatile bool closed = server.ClosePage();
    (void)closed;
    return 0;
  }
  volatile size_t sink = WalkEverything(server);
  (void)sink;
  morvex::FindingsList findings;
  morvex::ScanPageObjects(server, progress, "Fuzz", "Page", findings, size % 2 == 0);
  server.ClosePage();
  return 0;
}

// Reading the page files again after a scan, to pair each placement with the object that gave it.
#include "PageObjectPlaces.h"

#include <string>

#include "PageDocument.h"
#include "PageLocator.h"

namespace morvex {

namespace {

// A Tarvo object as the scan saw it: what a finding of it repeats, and where it starts.
struct TarvoObject {
  std::string an;
  std::string_view libProject, library, tarvo;
  std::vector<std::string_view> properties;
  ObjectPlace place;
};

std::vector<TarvoObject> ReadTarvoObjects(PageDocument& page) {
  std::vector<TarvoObject> objects;
  for (bool more = page.FirstObject(); more; more = page.NextObject()) {
    std::string_view type;
    if (!page.GetObjectType(type) || type != "Tarvo") continue;
    TarvoObject object;
    int16_t an = 0;
    int32_t number = 0;
    if (page.GetObjectAN(an)) object.an = std::to_string(an);
    page.GetTarvoInfo(object.libProject, object.library, object.tarvo, number);
    page.GetObjectPlace(object.place.line, object.place.column);
    std::string_view name, value;
    for (bool property = page.FirstProperty(name, value); property; property = page.NextProperty(name, value))
      object.properties.push_back(name);
    objects.push_back(std::move(object));
  }
  return objects;
}

bool Gives(const TarvoObject& object, const FindingsList& placements, int32_t i) {
  if (placements.FieldCount(i) < 7) return false;
  if (object.an != placements.Field(i, 2) || object.libProject != placements.Field(i, 3) ||
      object.library != placements.Field(i, 4) || object.tarvo != placements.Field(i, 5))
    return false;
  for (const std::string_view name : object.properties)
    if (name == placements.Field(i, 6)) return true;
  return false;
}

}  // namespace

std::vector<ObjectPlace> FindObjectPlaces(const FindingsList& placements, std::string_view siteFolder,
                                          const std::vector<int32_t>* wanted) {
  std::vector<ObjectPlace> places(static_cast<size_t>(placements.Count()));
  auto nextWanted = wanted != nullptr ? wanted->begin() : std::vector<int32_t>::const_iterator();
  PageLocator locator;
  locator.ServeFolder(siteFolder);
  PageDocument page;
  int32_t runStart = 0;
  while (runStart < placements.Count()) {
    // The placements of one page come together, in the order the scan met their objects.
    const std::string_view project = placements.Field(runStart, 0), pageName = placements.Field(runStart, 1);
    int32_t runEnd = runStart + 1;
    while (runEnd < placements.Count() && placements.Field(runEnd, 0) == project &&
           placements.Field(runEnd, 1) == pageName)
      ++runEnd;
    if (wanted != nullptr) {
      while (nextWanted != wanted->end() && *nextWanted < runStart) ++nextWanted;
      if (nextWanted == wanted->end() || *nextWanted >= runEnd) {
        runStart = runEnd;  // no placement of this page is asked for
        continue;
      }
    }
    std::string folder;
    PageFailure failure;
    ReadOnlyFile file;
    if (locator.PageFolder(project, pageName, folder, failure) &&
        locator.OpenPageFile(folder, pageName, file, failure) && page.LoadFile(file)) {
      const std::vector<TarvoObject> objects = ReadTarvoObjects(page);
      size_t cursor = 0;
      for (int32_t i = runStart; i < runEnd; ++i) {
        // Onwards from the last object first, as the scan went; then from the top, for a page scanned twice.
        for (size_t step = 0; step < objects.size(); ++step) {
          const size_t at = (cursor + step) % objects.size();
          if (!Gives(objects[at], placements, i)) continue;
          places[static_cast<size_t>(i)] = objects[at].place;
          cursor = at;
          break;
        }
      }
      page.Close();
    }
    runStart = runEnd;
  }
  return places;
}

PageFileNamer OnDiskPageFileNames() {
  auto locator = std::make_shared<PageLocator>();
  return [locator](const std::string& folder, std::string_view page) { return locator->PageFileName(folder, page); };
}

}  // namespace morvex

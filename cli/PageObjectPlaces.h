// PageObjectPlaces: where the Tarvo object of each placement starts in its page file, for runs of our own server.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FindingsList.h"
#include "PageAutomation.h"
#include "Platform.h"
#include "PageFileLocations.h"

namespace morvex {

// Notes, while the scan has each page open, where the objects that gave findings start: reading every page
// again afterwards would cost a dense site as much as its scan.
class ObjectPlaceRecorder {
 public:
  // A Tarvo object as the scan read it: what a finding of it repeats, and where it starts.
  struct TarvoObject {
    std::string an, libProject, library, tarvo;
    std::string properties;  // those the scan made findings of, each followed by a NUL
    ObjectPlace place;
  };

  // The servers the factory makes, each noting its pages here; safe from the scan's workers.
  PageAutomationFactory Recording(PageAutomationFactory inner);

  // Per placement of a --show-all list, the place of its object; 0 where the page was not noted or holds no
  // object that gives that finding.
  std::vector<ObjectPlace> PlacesOf(const FindingsList& placements) const;

  void Keep(std::string_view project, std::string_view page, std::vector<TarvoObject> objects);

 private:
  mutable platform::HandOffLock lock_;  // MinGW's own mutex is a kernel call each time
  std::unordered_map<std::string, std::vector<TarvoObject>> pages_;  // by PageKey
};

}  // namespace morvex

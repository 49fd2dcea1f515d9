// Noting where the scan's findings start in their page files, and pairing each placement with its object.
#include "PageObjectPlaces.h"

#include <utility>

namespace morvex {

namespace {

// Passes every call on, and keeps for each page the objects the scan asked the Tarvo or the AN of: it asks
// them only of an object with a property it reports.
class PlaceRecording : public PageAutomation {
 public:
  PlaceRecording(std::unique_ptr<PageAutomation> inner, ObjectPlaceRecorder& recorder)
      : inner_(std::move(inner)), recorder_(recorder) {}
  ~PlaceRecording() override { KeepPage(); }

  bool SetInteractive(bool bValue) override { return inner_->SetInteractive(bValue); }
  bool OpenPage(std::string_view sProject, std::string_view sPage) override {
    KeepPage();
    if (!inner_->OpenPage(sProject, sPage)) return false;
    open_ = true;
    project_.assign(sProject);
    page_.assign(sPage);
    return true;
  }
  bool ClosePage() override {
    KeepPage();
    return inner_->ClosePage();
  }
  bool FirstObject() override {
    FinishObject();
    return inner_->FirstObject();
  }
  bool NextObject() override {
    FinishObject();
    return inner_->NextObject();
  }
  bool FirstProperty(std::string_view& sName, std::string_view& sValue) override {
    return NoteProperty(inner_->FirstProperty(sName, sValue), sName);
  }
  bool NextProperty(std::string_view& sName, std::string_view& sValue) override {
    return NoteProperty(inner_->NextProperty(sName, sValue), sName);
  }
  bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary, std::string_view& sTarvo,
                    int32_t& nNumber) override {
    if (!inner_->GetTarvoInfo(sLibProject, sLibrary, sTarvo, nNumber)) return false;
    Want();
    object_.libProject.assign(sLibProject);
    object_.library.assign(sLibrary);
    object_.tarvo.assign(sTarvo);
    return true;
  }
  bool GetObjectAN(int16_t& nAN) override {
    if (!inner_->GetObjectAN(nAN)) return false;
    Want();
    object_.an = std::to_string(nAN);
    return true;
  }
  bool GetObjectType(std::string_view& sType) override { return inner_->GetObjectType(sType); }
  void ServeFolder(std::string_view sUserPath) override { inner_->ServeFolder(sUserPath); }
  void PreparePage(std::string_view sProject, std::string_view sPage) override {
    inner_->PreparePage(sProject, sPage);
  }
  PageFailure LastOpenFailure() override { return inner_->LastOpenFailure(); }
  bool GetObjectPlace(int32_t& nLine, int32_t& nColumn) override {
    return inner_->GetObjectPlace(nLine, nColumn);
  }
  bool ServesPageFiles() const override { return inner_->ServesPageFiles(); }
  std::string ClassIdentifier() const override { return inner_->ClassIdentifier(); }

 private:
  bool NoteProperty(bool read, std::string_view name) {
    property_ = read ? name : std::string_view();
    propertyTaken_ = false;
    return read;
  }
  void Want() {
    if (!wanted_) inner_->GetObjectPlace(object_.place.line, object_.place.column);
    wanted_ = true;
    if (!propertyTaken_) object_.properties.append(property_).push_back('\0');
    propertyTaken_ = true;
  }
  void FinishObject() {
    // Only a wanted object was written to; most are passed over, and need no fresh one.
    if (wanted_) {
      objects_.push_back(std::move(object_));
      object_ = {};
    }
    wanted_ = false;
    property_ = {};
    propertyTaken_ = false;
  }
  void KeepPage() {
    if (!open_) return;
    FinishObject();
    open_ = false;
    recorder_.Keep(project_, page_, std::move(objects_));
    objects_.clear();
  }

  std::unique_ptr<PageAutomation> inner_;
  ObjectPlaceRecorder& recorder_;
  bool open_ = false;
  std::string project_, page_;
  std::vector<ObjectPlaceRecorder::TarvoObject> objects_;
  ObjectPlaceRecorder::TarvoObject object_;  // the current one
  bool wanted_ = false;
  std::string_view property_;  // the current property's name, valid until it changes
  bool propertyTaken_ = false;
};

// A NUL cannot be in a name that reached a page file, so it keeps project and page apart.
std::string PageKey(std::string_view project, std::string_view page) {
  std::string key(project);
  key += '\0';
  key += page;
  return key;
}

bool Gives(const ObjectPlaceRecorder::TarvoObject& object, const FindingsList& placements, int32_t i) {
  if (placements.FieldCount(i) < 7) return false;
  if (object.an != placements.Field(i, 2) || object.libProject != placements.Field(i, 3) ||
      object.library != placements.Field(i, 4) || object.tarvo != placements.Field(i, 5))
    return false;
  const std::string_view property = placements.Field(i, 6);
  for (size_t at = 0; at < object.properties.size();) {
    const size_t end = object.properties.find('\0', at);
    if (std::string_view(object.properties).substr(at, end - at) == property) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

PageAutomationFactory ObjectPlaceRecorder::Recording(PageAutomationFactory inner) {
  return [this, inner = std::move(inner)]() -> std::unique_ptr<PageAutomation> {
    return std::make_unique<PlaceRecording>(inner(), *this);
  };
}

void ObjectPlaceRecorder::Keep(std::string_view project, std::string_view page,
                               std::vector<TarvoObject> objects) {
  std::lock_guard<platform::HandOffLock> guard(lock_);
  // A page listed twice gives the same objects twice: the first reading stands.
  pages_.try_emplace(PageKey(project, page), std::move(objects));
}

std::vector<ObjectPlace> ObjectPlaceRecorder::PlacesOf(const FindingsList& placements) const {
  std::lock_guard<platform::HandOffLock> guard(lock_);
  std::vector<ObjectPlace> places(static_cast<size_t>(placements.Count()));
  int32_t runStart = 0;
  while (runStart < placements.Count()) {
    // The placements of one page come together, in the order the scan met their objects.
    const std::string_view project = placements.Field(runStart, 0), pageName = placements.Field(runStart, 1);
    int32_t runEnd = runStart + 1;
    while (runEnd < placements.Count() && placements.Field(runEnd, 0) == project &&
           placements.Field(runEnd, 1) == pageName)
      ++runEnd;
    const auto page = pages_.find(PageKey(project, pageName));
    if (page != pages_.end() && !page->second.empty()) {
      const std::vector<TarvoObject>& objects = page->second;
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
    }
    runStart = runEnd;
  }
  return places;
}

}  // namespace morvex

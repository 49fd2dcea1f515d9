// PageAutomation: the page-automation server the search calls, and the factory that creates one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "Error.h"
#include "PageFailure.h"

namespace morvex {

// Every operation reports success (true) or failure (false). A failed call leaves its outputs untouched.
// Texts come and go as UTF-8. A text handed out is a view into the server's own copy of the page, so the
// scan copies only what it keeps: an object's type and Tarvo texts stay valid until the current object
// changes, a property's name and value until the current property changes, all of them at most until the
// page is closed.
class PageAutomation {
 public:
  virtual ~PageAutomation() = default;

  virtual bool SetInteractive(bool bValue) = 0;
  virtual bool OpenPage(std::string_view sProject, std::string_view sPage) = 0;
  virtual bool ClosePage() = 0;
  virtual bool FirstObject() = 0;
  virtual bool NextObject() = 0;
  virtual bool FirstProperty(std::string_view& sName, std::string_view& sValue) = 0;
  virtual bool NextProperty(std::string_view& sName, std::string_view& sValue) = 0;
  virtual bool GetTarvoInfo(std::string_view& sLibProject, std::string_view& sLibrary,
                            std::string_view& sTarvo, int32_t& nNumber) = 0;
  virtual bool GetObjectAN(int16_t& nAN) = 0;
  virtual bool GetObjectType(std::string_view& sType) = 0;

  // Not one of the package server's operations: our own server has no registry to learn its site from, so
  // each run tells the held server which folder (the one holding "master.dbf") it serves from now on.
  virtual void ServeFolder(std::string_view sUserPath) { (void)sUserPath; }

  // Not one of the package server's operations either: a page the caller will open soon. Called in the order
  // the pages will be opened, several pages ahead, so that a server able to may read them while the caller
  // works on the open page. Changes nothing a caller can see.
  virtual void PreparePage(std::string_view sProject, std::string_view sPage) {
    (void)sProject;
    (void)sPage;
  }

  // Nor is this: why the last OpenPage failed, for a server that keeps such reasons. Only valid right after
  // an OpenPage that returned false.
  virtual PageFailure LastOpenFailure() { return {}; }

  // Nor this: where the current object starts in the page's file (1-based line; column in UTF-16 code units),
  // for a server that reads files; false where that is not known.
  virtual bool GetObjectPlace(int32_t& nLine, int32_t& nColumn) {
    (void)nLine;
    (void)nColumn;
    return false;
  }

  // Nor these two: which server this is, for a run that opened no page and must say which server it asked.
  // Our page-file server says it reads page files; a server created by class identifier gives that identifier.
  virtual bool ServesPageFiles() const { return false; }
  virtual std::string ClassIdentifier() const { return {}; }
};

// Thrown by a call to a server that can no longer be reached (its process has ended): every call after it
// would fail alike, so it ends the run with its one message instead of a failure for every page that is left.
class PageServerLost : public Error {
 public:
  using Error::Error;
};

// Stands for creation by class identifier. It throws Error when the server cannot be created.
using PageAutomationFactory = std::function<std::unique_ptr<PageAutomation>()>;

}  // namespace morvex

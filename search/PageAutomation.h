// PageAutomation: the page-automation server the search calls, and the factory that creates one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace morvex {

// Every operation reports success (true) or failure (false). A failed call leaves its outputs untouched.
class PageAutomation {
 public:
  virtual ~PageAutomation() = default;

  virtual bool SetInteractive(bool bValue) = 0;
  virtual bool OpenPage(const std::u16string& sProject, const std::u16string& sPage) = 0;
  virtual bool ClosePage() = 0;
  virtual bool FirstObject() = 0;
  virtual bool NextObject() = 0;
  virtual bool FirstProperty(std::u16string& sName, std::u16string& sValue) = 0;
  virtual bool NextProperty(std::u16string& sName, std::u16string& sValue) = 0;
  virtual bool GetTarvoInfo(std::u16string& sLibProject, std::u16string& sLibrary, std::u16string& sTarvo,
                            int32_t& nNumber) = 0;
  virtual bool GetObjectAN(int16_t& nAN) = 0;
  virtual bool GetObjectType(std::u16string& sType) = 0;

  // Not one of the package server's operations: our own server has no registry to learn its site from, so
  // each run tells the held server which folder (the one holding "master.dbf") it serves from now on.
  virtual void ServeFolder(const std::u16string& sUserPath) { (void)sUserPath; }
};

// Stands for creation by class identifier. It throws Error when the server cannot be created.
using PageAutomationFactory = std::function<std::unique_ptr<PageAutomation>()>;

}  // namespace morvex

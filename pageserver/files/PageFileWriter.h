// PageFileWriter: the open page of any page server, written out in our page-file format.
#pragma once

#include <string>

#include "PageAutomation.h"

namespace morvex {

// Walks every object of the page open on server (its type, AN, Tarvo identity and properties, each where the
// server answers for it) and puts the page-file text into json: one object per line, in page order, so that
// the same page always gives the same bytes. A member the server fails to answer is left out, so that our
// server fails it likewise. False, with the reason in error, when a text the server gave is not valid UTF-8,
// which a page file cannot hold. Leaves the server on the page's last object.
bool WritePageFile(PageAutomation& server, std::string& json, std::string& error);

}  // namespace morvex

// What screen readers get for the results box: the system's object for the window, read as a read-only text.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace morvex::win32 {

// WM_GETOBJECT's answer for the client area of a view that answers the edit box's messages: the system's
// standard object for the window (location, focus, navigation), with the role of a text, the read-only state,
// the name of the label before it (or "Results") and the text as its value. The system's own edit box proxy
// would do the same where it exists; Wine 8 does not have it (oleacc's CreateStdAccessibleProxyW aborts there).
LRESULT AnswerAccessibleObject(HWND view, WPARAM wParam);

}  // namespace morvex::win32

// ControlAccessible: what screen readers get for each control of the windows: its name, role and value.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// oleacc.h needs windows.h before it.
#include <oleacc.h>

namespace morvex::win32 {

// Where a control's accessible name comes from.
enum class AccessibleName {
  kOwnText,      // its caption, without the & of its access key (buttons, check boxes, labels)
  kLabelBefore,  // the text of the label just before it, as screen readers name an edit box
  kFixed,        // the name given (a drawing that shows something)
};

struct AccessibleFacts {
  long role = 0;  // ROLE_SYSTEM_...
  AccessibleName nameFrom = AccessibleName::kOwnText;
  const wchar_t* fixedName = L"";
  bool readOnly = false;
  bool textIsValue = false;  // the window's text is the value (a text box, the progress bar's percentage)
};

inline constexpr AccessibleFacts kLabelFacts{ROLE_SYSTEM_STATICTEXT};
inline constexpr AccessibleFacts kPushButtonFacts{ROLE_SYSTEM_PUSHBUTTON};
inline constexpr AccessibleFacts kCheckBoxFacts{ROLE_SYSTEM_CHECKBUTTON};
inline constexpr AccessibleFacts kOptionFacts{ROLE_SYSTEM_RADIOBUTTON};
inline constexpr AccessibleFacts kTextBoxFacts{ROLE_SYSTEM_TEXT, AccessibleName::kLabelBefore, L"", false, true};

// WM_GETOBJECT's answer for the client area of a control: the system's standard object for the window (location,
// focus, navigation, state) with the facts' name, role and value. The system gives the common controls' own
// proxies where it has them; Wine 8 has none (oleacc's CreateStdAccessibleProxyW aborts there), and answers every
// control as a nameless client area, an edit box by the path typed in it.
LRESULT AnswerAccessibleObject(HWND control, WPARAM wParam, const AccessibleFacts& facts);

// Makes a control of a system class answer WM_GETOBJECT with the facts, for as long as it lives.
void AnswerScreenReaders(HWND control, const AccessibleFacts& facts);

}  // namespace morvex::win32

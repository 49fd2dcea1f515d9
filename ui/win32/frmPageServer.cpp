// The page server dialog: the server in use, our page-file server or a class identifier, Test, OK and Cancel.
#include "frmPageServer.h"

#include <utility>

#include "AboutText.h"
#include "ControlAccessible.h"
#include "RegistrySettings.h"

namespace morvex::win32 {

namespace {

constexpr wchar_t kClassName[] = L"MorvexPageServer";
enum ControlId { kOurServerId = 10, kClassId, kClassTextId, kTestId };

// The form in twips, laid out like the others and scaled to the DPI it is shown at.
constexpr int kClientWidth = 6840;
constexpr int kClientHeight = 3000;
constexpr TwipRect kInUseLabel{120, 120, 6600, 255};
constexpr TwipRect kOurServerOption{120, 480, 6600, 255};
constexpr TwipRect kClassOption{120, 780, 6600, 255};
constexpr TwipRect kClassBox{360, 1080, 5040, 315};
constexpr TwipRect kTestButton{5520, 1050, 1200, 375};
constexpr TwipRect kOutcomeLabel{120, 1560, 6600, 780};
constexpr TwipRect kOkButton{4200, 2490, 1200, 375};
constexpr TwipRect kCancelButton{5520, 2490, 1200, 375};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

}  // namespace

std::string frmPageServer::Describe(const std::string& classIdentifier) {
  const std::string name = Trimmed(classIdentifier);
  if (name.empty()) return std::string(kOwnPageServerDescription);
  return "the COM server " + name;
}

frmPageServer::frmPageServer(HWND owner, const wchar_t* settingsKey, ServerTest testServer)
    : owner_(owner), settingsKey_(settingsKey), testServer_(std::move(testServer)) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);

  dpi_ = SystemDpi();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExW(exStyle, kClassName, L"Page server", style, 0, 0, frame.right - frame.left,
                            frame.bottom - frame.top, owner_, nullptr, GetModuleHandleW(nullptr), this);
  createControls(LoadPageServerSetting(HKEY_CURRENT_USER, settingsKey_));
  RegisterDialogWindow(window_);
  CentreOnScreen(window_);
}

frmPageServer::~frmPageServer() {
  end();
  if (font_ != nullptr) DeleteObject(font_);
}

void frmPageServer::createControls(const std::string& inUse) {
  // Created in tab order; the two options are one group, so the arrow keys move between them.
  lblInUse_ = CreateChild(window_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0);
  SetWindowTextUtf8(lblInUse_, "In use: " + Describe(inUse));
  optOurServer_ = CreateChild(window_, L"BUTTON", L"&Our page-file server: <page>.json in each project's folder",
                              BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kOurServerId);
  optClass_ = CreateChild(window_, L"BUTTON", L"&Class identifier (ProgID or {CLSID}):", BS_AUTORADIOBUTTON,
                          kClassId);
  txtClass_ = CreateChild(window_, L"EDIT", L"", ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP, kClassTextId,
                          WS_EX_CLIENTEDGE);
  cmdTest_ = CreateChild(window_, L"BUTTON", L"&Test", BS_PUSHBUTTON | WS_TABSTOP, kTestId);
  lblOutcome_ = CreateChild(window_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0);
  cmdOk_ = CreateChild(window_, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK);
  cmdCancel_ = CreateChild(window_, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL);
  // The identifier's box has an option, not a label, before it: it is named for what it takes.
  const std::pair<HWND, AccessibleFacts> facts[] = {
      {lblInUse_, kLabelFacts},
      {optOurServer_, kOptionFacts},
      {optClass_, kOptionFacts},
      {txtClass_, {ROLE_SYSTEM_TEXT, AccessibleName::kFixed, L"Class identifier (ProgID or {CLSID})", false, true}},
      {cmdTest_, kPushButtonFacts},
      {lblOutcome_, kLabelFacts},
      {cmdOk_, kPushButtonFacts},
      {cmdCancel_, kPushButtonFacts}};
  for (const auto& [control, fact] : facts) AnswerScreenReaders(control, fact);
  layOut();
  const std::string name = Trimmed(inUse);
  SetWindowTextUtf8(txtClass_, name);
  SendMessageW(name.empty() ? optOurServer_ : optClass_, BM_SETCHECK, BST_CHECKED, 0);
  onChoiceChanged();
  if (!testServer_) EnableWindow(cmdTest_, FALSE);
}

void frmPageServer::layOut() {
  HFONT oldFont = font_;
  font_ = CreateDialogFont(dpi_);
  const std::pair<HWND, TwipRect> places[] = {
      {lblInUse_, kInUseLabel}, {optOurServer_, kOurServerOption}, {optClass_, kClassOption},
      {txtClass_, kClassBox},   {cmdTest_, kTestButton},           {lblOutcome_, kOutcomeLabel},
      {cmdOk_, kOkButton},      {cmdCancel_, kCancelButton}};
  for (const auto& [control, place] : places) PlaceChild(control, place, dpi_, font_);
  if (oldFont != nullptr) DeleteObject(oldFont);
}

// The identifier's box takes text only while a class identifier is chosen.
void frmPageServer::onChoiceChanged() {
  EnableWindow(txtClass_, SendMessageW(optClass_, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

std::string frmPageServer::chosenIdentifier() const {
  if (SendMessageW(optClass_, BM_GETCHECK, 0, 0) != BST_CHECKED) return {};
  return Trimmed(WindowTextUtf8(txtClass_));
}

// OK and Test refuse alike: a class identifier chosen with nothing typed names no server, and Test must not
// report ours as ready when OK would not take the choice.
bool frmPageServer::refusedEmptyChoice() {
  if (SendMessageW(optClass_, BM_GETCHECK, 0, 0) != BST_CHECKED || !chosenIdentifier().empty()) return false;
  SetWindowTextUtf8(lblOutcome_, "Type a ProgID or {CLSID}, or choose our page-file server.");
  SetFocus(txtClass_);
  return true;
}

void frmPageServer::onTest() {
  if (!testServer_) return;
  if (refusedEmptyChoice()) return;
  SetWindowTextUtf8(lblOutcome_, "Creating " + Describe(chosenIdentifier()) + "...");
  UpdateWindow(lblOutcome_);
  SetWindowTextUtf8(lblOutcome_, testServer_(chosenIdentifier()));
}

void frmPageServer::onOk() {
  if (refusedEmptyChoice()) return;
  if (!SavePageServerSetting(chosenIdentifier(), HKEY_CURRENT_USER, settingsKey_)) {
    SetWindowTextUtf8(lblOutcome_, "The setting could not be written to the registry.");
    return;
  }
  accepted_ = true;
  end();
}

bool frmPageServer::RunModal() {
  if (window_ == nullptr) return accepted_;
  EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOWNORMAL);
  SetFocus(SendMessageW(optClass_, BM_GETCHECK, 0, 0) == BST_CHECKED ? txtClass_ : optOurServer_);
  MSG message;
  while (window_ != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchWithDialogKeys(message);
  if (window_ != nullptr) {
    // WM_QUIT: the program is ending; the outer loop must see it too.
    PostQuitMessage(static_cast<int>(message.wParam));
    end();
  }
  return accepted_;
}

// The owner is enabled again before the dialog goes, so the system gives it the activation back.
void frmPageServer::end() {
  if (window_ == nullptr) return;
  if (owner_ != nullptr) EnableWindow(owner_, TRUE);
  HWND window = window_;
  window_ = nullptr;
  UnregisterDialogWindow(window);
  DestroyWindow(window);
}

LRESULT CALLBACK frmPageServer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  frmPageServer* self = FormOfWindow<frmPageServer>(window, message, lParam);
  return self != nullptr ? self->handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT frmPageServer::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kOurServerId:
        case kClassId: onChoiceChanged(); return 0;
        case kTestId: onTest(); return 0;
        case IDOK: onOk(); return 0;
        case IDCANCEL: end(); return 0;  // Cancel, Escape, and the close box through WM_CLOSE below
        default: break;
      }
      break;
    case DM_GETDEFID:
      // Return presses OK from every control but the buttons, which press themselves.
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_CLOSE:
      end();
      return 0;
    case WM_DPICHANGED:
      dpi_ = DpiOfChange(wParam);
      layOut();
      MoveToSuggestedFrame(window_, lParam);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace morvex::win32

// Writes and removes our page server's class, ProgIDs, interface and type library keys.
#include "Registration.h"

#include <initializer_list>
#include <utility>

#include "ComText.h"
#include "PageServerDispatch.h"

namespace morvex::com {

namespace {

constexpr const wchar_t* kDescription = L"Morvex page files";
constexpr const wchar_t* kLocalDescription = L"Morvex page files, in a process of their own";
constexpr const wchar_t* kLibraryDescription = L"Morvex page files 1.0";
constexpr const wchar_t* kInterfaceName = L"DPageServer";
// The proxy that COM's own marshaller uses for a pure dispatch interface.
constexpr const wchar_t* kDispatchProxy = L"{00020420-0000-0000-C000-000000000046}";
// A type library registers under the platform it was built for; programs of both bitnesses may share the key.
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";

HKEY Root(RegistrationScope scope) { return scope == RegistrationScope::kUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::wstring ClassesPath(const std::wstring& below) { return L"Software\\Classes\\" + below; }

// Sets one string value (name null: the key's default) under path, creating the key.
LSTATUS SetString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status;
}

LSTATUS DeleteTree(HKEY root, const std::wstring& path) {
  const LSTATUS status = RegDeleteTreeW(root, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  // RegDeleteTree empties the key; the key itself goes separately.
  const LSTATUS removed = RegDeleteKeyW(root, path.c_str());
  return removed == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : removed;
}

bool HasSubkeys(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  const bool any = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr) == ERROR_SUCCESS && subkeys > 0;
  RegCloseKey(key);
  return any;
}

// A per-user store often has no CLSID, Interface or TypeLib key until a registration makes one; an empty
// one is taken away again.
void RemoveIfEmpty(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  DWORD values = 0;
  const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS && subkeys == 0 && values == 0;
  RegCloseKey(key);
  if (empty) RegDeleteKeyW(root, path.c_str());
}

}  // namespace

HRESULT RegisterPageServer(RegistrationScope scope, const std::wstring& serverFile) {
  const HKEY root = Root(scope);
  const std::wstring clsid = GuidText(kPageFilesClsid);
  const std::wstring libid = GuidText(kPageServerLibid);
  const std::wstring classKey = ClassesPath(L"CLSID\\" + clsid);
  const std::wstring libraryKey = ClassesPath(L"TypeLib\\" + libid + L"\\1.0");
  const std::wstring interfaceKey = ClassesPath(L"Interface\\" + GuidText(kPageServerDiid));
  std::wstring folder = serverFile;
  folder.resize(folder.find_last_of(L"\\/") == std::wstring::npos ? 0 : folder.find_last_of(L"\\/"));

  const std::initializer_list<std::pair<std::wstring, std::pair<const wchar_t*, std::wstring>>> values = {
      {classKey, {nullptr, kDescription}},
      {classKey + L"\\InprocServer32", {nullptr, serverFile}},
      {classKey + L"\\InprocServer32", {L"ThreadingModel", L"Apartment"}},
      {classKey + L"\\ProgID", {nullptr, kPageFilesVersionedProgId}},
      {classKey + L"\\VersionIndependentProgID", {nullptr, kPageFilesProgId}},
      {classKey + L"\\TypeLib", {nullptr, libid}},
      {ClassesPath(kPageFilesProgId), {nullptr, kDescription}},
      {ClassesPath(kPageFilesProgId) + L"\\CLSID", {nullptr, clsid}},
      {ClassesPath(kPageFilesProgId) + L"\\CurVer", {nullptr, kPageFilesVersionedProgId}},
      {ClassesPath(kPageFilesVersionedProgId), {nullptr, kDescription}},
      {ClassesPath(kPageFilesVersionedProgId) + L"\\CLSID", {nullptr, clsid}},
      {libraryKey, {nullptr, kLibraryDescription}},
      {libraryKey + L"\\FLAGS", {nullptr, L"0"}},
      {libraryKey + L"\\HELPDIR", {nullptr, folder}},
      {libraryKey + L"\\0\\" + kPlatform, {nullptr, serverFile}},
      {interfaceKey, {nullptr, kInterfaceName}},
      {interfaceKey + L"\\ProxyStubClsid32", {nullptr, kDispatchProxy}},
      {interfaceKey + L"\\TypeLib", {nullptr, libid}},
      {interfaceKey + L"\\TypeLib", {L"Version", L"1.0"}},
  };
  for (const auto& [path, value] : values) {
    const LSTATUS status = SetString(root, path, value.first, value.second);
    if (status != ERROR_SUCCESS) {
      // Half a registration would make a class that loads without its type library, or the other way round.
      UnregisterPageServer(scope);
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

HRESULT UnregisterPageServer(RegistrationScope scope) {
  const HKEY root = Root(scope);
  const std::wstring libid = GuidText(kPageServerLibid);
  const std::wstring library = ClassesPath(L"TypeLib\\" + libid);
  LSTATUS worst = ERROR_SUCCESS;
  const auto remove = [&](const std::wstring& path) {
    const LSTATUS status = DeleteTree(root, path);
    if (status != ERROR_SUCCESS) worst = status;
  };
  remove(ClassesPath(L"CLSID\\" + GuidText(kPageFilesClsid)));
  remove(ClassesPath(kPageFilesProgId));
  remove(ClassesPath(kPageFilesVersionedProgId));
  remove(ClassesPath(L"Interface\\" + GuidText(kPageServerDiid)));
  // The library key stays while a build of the other bitness is still registered beside us.
  remove(library + L"\\1.0\\0\\" + kPlatform);
  if (!HasSubkeys(root, library + L"\\1.0\\0")) remove(library);
  if (scope == RegistrationScope::kUser) {
    for (const wchar_t* parent : {L"CLSID", L"Interface", L"TypeLib"}) RemoveIfEmpty(root, ClassesPath(parent));
  }
  return worst == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(worst);
}

HRESULT RegisterLocalPageServer(const std::wstring& serverFile) {
  const HKEY root = HKEY_LOCAL_MACHINE;
  const std::wstring clsid = GuidText(kLocalPageFilesClsid);
  const std::wstring classKey = ClassesPath(L"CLSID\\" + clsid);
  // Quoted: COM appends its own switch to the command, and the folder may hold blanks.
  const std::initializer_list<std::pair<std::wstring, std::wstring>> values = {
      {classKey, kLocalDescription},
      {classKey + L"\\LocalServer32", L"\"" + serverFile + L"\""},
      {classKey + L"\\ProgID", kLocalPageFilesProgId},
      {ClassesPath(kLocalPageFilesProgId), kLocalDescription},
      {ClassesPath(kLocalPageFilesProgId) + L"\\CLSID", clsid},
  };
  for (const auto& [path, value] : values) {
    const LSTATUS status = SetString(root, path, nullptr, value);
    if (status != ERROR_SUCCESS) {
      UnregisterLocalPageServer();
      return HRESULT_FROM_WIN32(status);
    }
  }
  return S_OK;
}

HRESULT UnregisterLocalPageServer() {
  LSTATUS worst = ERROR_SUCCESS;
  for (const std::wstring& path : {ClassesPath(L"CLSID\\" + GuidText(kLocalPageFilesClsid)),
                                   ClassesPath(kLocalPageFilesProgId)}) {
    const LSTATUS status = DeleteTree(HKEY_LOCAL_MACHINE, path);
    if (status != ERROR_SUCCESS) worst = status;
  }
  return worst == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(worst);
}

}  // namespace morvex::com

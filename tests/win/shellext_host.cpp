// The test host of ZelToolExt.dll and its helpers.
#include "tests/win/shellext_host.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <atomic>

#include "tests/win/file_text.h"
#include "tests/win/test_paths.h"

namespace {

// The shell's file list and nothing else.
class CFileListData final : public IDataObject {
 public:
  CFileListData(std::vector<std::wstring> files, bool offerList) : m_files(std::move(files)), m_offerList(offerList) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == __uuidof(IUnknown) || riid == __uuidof(IDataObject) ? static_cast<IDataObject*>(this) : nullptr;
    if (*ppv == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_ref; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--m_ref != 0) return m_ref;
    delete this;
    return 0;
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!m_offerList || format->cfFormat != CF_HDROP || (format->tymed & TYMED_HGLOBAL) == 0) return DV_E_FORMATETC;
    std::wstring list;
    for (const std::wstring& file : m_files) list += file + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    *medium = {};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  ~CFileListData() = default;
  std::vector<std::wstring> m_files;
  bool m_offerList;
  ULONG m_ref = 1;
};

constexpr wchar_t kOpenCommandKey[] = L"zelfile\\shell\\open\\command";

}  // namespace

std::wstring CShellextHost::DefaultPath() { return PathBesideProgram(L"..\\..\\shellext\\ZelToolExt.dll"); }

std::wstring CShellextHost::ModulePath() const {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(m_module, path, MAX_PATH);
  return path;
}

template <class Fn>
static Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HRESULT CShellextHost::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const {
  return Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(m_module, "DllGetClassObject")(clsid, iid, ppv);
}

HRESULT CShellextHost::CanUnloadNow() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>(m_module, "DllCanUnloadNow")();
}

HRESULT CShellextHost::RegisterServer() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>(m_module, "DllRegisterServer")();
}

HRESULT CShellextHost::UnregisterServer() const {
  return Export<HRESULT(STDAPICALLTYPE*)()>(m_module, "DllUnregisterServer")();
}

HRESULT CShellextHost::Install(BOOL install, const wchar_t* commandLine) const {
  return Export<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(m_module, "DllInstall")(install, commandLine);
}

CRef<IClassFactory> CShellextHost::Factory(REFCLSID clsid) const {
  CRef<IClassFactory> factory;
  GetClassObject(clsid, __uuidof(IClassFactory), factory.Put());
  return factory;
}

CHandler CreateHandler(const CShellextHost& host, REFCLSID clsid) {
  CHandler handler;
  if (CRef<IClassFactory> factory = host.Factory(clsid)) {
    factory->CreateInstance(nullptr, __uuidof(IShellExtInit), handler.init.Put());
  }
  if (handler.init) handler.init->QueryInterface(__uuidof(IContextMenu), handler.menu.Put());
  return handler;
}

CRef<IDataObject> FileListData(const std::vector<std::wstring>& files, bool offerList) {
  return CRef<IDataObject>(new CFileListData(files, offerList));
}

CPidl PidlOfPath(const std::wstring& path) { return CPidl(ILCreateFromPathW(path.c_str())); }

CPidl PidlOfSpecialFolder(int csidl) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  SHGetSpecialFolderLocation(nullptr, csidl, &pidl);
  return CPidl(pidl);
}

CMenuOutcome BuildMenu(IContextMenu* menu, UINT flags, UINT index, int existing) {
  CMenuOutcome outcome;
  HMENU popup = CreatePopupMenu();
  for (int i = 0; i < existing; ++i) AppendMenuW(popup, MF_STRING, 10 + i, (L"Existing " + std::to_wstring(i)).c_str());
  outcome.hr = menu->QueryContextMenu(popup, index, kFirstCommandId, kFirstCommandId + 50, flags);
  for (int i = 0; i < GetMenuItemCount(popup); ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(popup, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
    outcome.texts.push_back(text);
    outcome.ids.push_back(GetMenuItemID(popup, i));
  }
  DestroyMenu(popup);
  return outcome;
}

HRESULT Invoke(IContextMenu* menu, const char* verb) {
  CMINVOKECOMMANDINFO info = {};
  info.cbSize = sizeof info;
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

HRESULT CommandStringW(IContextMenu* menu, UINT type, UINT cchMax, std::wstring& text, UINT_PTR idCmd) {
  text.assign(cchMax + 4, L'#');
  return menu->GetCommandString(idCmd, type, nullptr, reinterpret_cast<CHAR*>(&text[0]), cchMax);
}

HRESULT CommandStringA(IContextMenu* menu, UINT type, UINT cchMax, std::string& text) {
  text.assign(cchMax + 4, '#');
  return menu->GetCommandString(0, type, nullptr, &text[0], cchMax);
}

COpenCommand::COpenCommand(const std::wstring* command, DWORD type) {
  DeleteTree(HKEY_CLASSES_ROOT, kOpenCommandKey);
  if (command != nullptr) WriteString(HKEY_CLASSES_ROOT, kOpenCommandKey, nullptr, *command, type);
}

COpenCommand::~COpenCommand() { DeleteTree(HKEY_CLASSES_ROOT, L"zelfile\\shell"); }

namespace {

// A record file of its own for every CLaunchRecord of this process.
std::wstring NewRecordFile() {
  static std::atomic<int> serial{0};
  return TempFilePath(L"") + L"lv-shellext-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++serial) + L".txt";
}

}  // namespace

CLaunchRecord::CLaunchRecord() : m_file(NewRecordFile()) {
  DeleteFileW(m_file.c_str());
  SetEnvironmentVariableW(L"LV_RECORD_FILE", m_file.c_str());
}

CLaunchRecord::~CLaunchRecord() {
  SetEnvironmentVariableW(L"LV_RECORD_FILE", nullptr);
  DeleteFileW(m_file.c_str());
}

std::wstring CLaunchRecord::RecorderCommand() {
  return L"\"" + PathBesideProgram(L"..\\..\\tools\\command_recorder.exe") + L"\" \"%1\"";
}

std::vector<std::string> CLaunchRecord::WaitForLines(size_t count, DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    std::vector<std::string> lines = FileLines(m_file);
    if (lines.size() >= count || GetTickCount() - start >= timeoutMs) return lines;
    Sleep(50);
  }
}

CTempFolder::CTempFolder(const std::wstring& name, const std::vector<std::wstring>& files)
    : m_path(TempFilePath(name)) {
  CreateDirectoryW(m_path.c_str(), nullptr);
  for (const std::wstring& file : files) {
    m_files.push_back(File(file));
    CloseHandle(CreateFileW(m_files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
}

CTempFolder::~CTempFolder() {
  for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
  RemoveDirectoryW(m_path.c_str());
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value, DWORD type) {
  SHSetValueW(root, key.c_str(), name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteTree(HKEY root, const std::wstring& key) { SHDeleteKeyW(root, key.c_str()); }

std::string Utf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                                       static_cast<int>(bytes.size()), nullptr, nullptr);
  bytes.resize(static_cast<size_t>(size));
  return bytes;
}

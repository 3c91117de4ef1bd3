// What the Windows tests of ZelToolExt stand on: the real DLL loaded as the shell loads it, a
// data object with a file list, menus, the open command naming the program, a recorder standing
// in for that program, and registry helpers.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Owns one reference to a component interface.
template <class T>
class CRef {
 public:
  CRef() = default;
  explicit CRef(T* p) : m_p(p) {}
  CRef(CRef&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  CRef& operator=(CRef&& other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }
  ~CRef() { Reset(); }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void** Put() {  // for an out parameter
    Reset();
    return reinterpret_cast<void**>(&m_p);
  }
  void Reset() {
    if (m_p != nullptr) m_p->Release();
    m_p = nullptr;
  }

 private:
  T* m_p = nullptr;
};

// The built ZelToolExt.dll, loaded for the life of the object, so that every test starts with
// a module in its initial state.
class CShellextHost {
 public:
  explicit CShellextHost(const std::wstring& path = DefaultPath()) : m_module(LoadLibraryW(path.c_str())) {}
  ~CShellextHost() {
    if (m_module != nullptr) FreeLibrary(m_module);
  }
  CShellextHost(const CShellextHost&) = delete;
  CShellextHost& operator=(const CShellextHost&) = delete;

  static std::wstring DefaultPath();
  bool Loaded() const { return m_module != nullptr; }
  std::wstring ModulePath() const;  // as the system reports it for the loaded module

  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  HRESULT UnregisterServer() const;
  HRESULT Install(BOOL install, const wchar_t* commandLine) const;
  CRef<IClassFactory> Factory(REFCLSID clsid) const;

 private:
  HMODULE m_module;
};

inline constexpr CLSID kMountClass = {0x4FFECA33, 0x2F96, 0x4BFC, {0xA6, 0xCC, 0xD1, 0xF0, 0x7E, 0xC3, 0xAC, 0x5B}};
inline constexpr CLSID kUnmountClass = {0xE8045B1D, 0xECEA, 0x4B1A, {0x8D, 0x1E, 0x92, 0x5E, 0xCA, 0xFD, 0xA9, 0xEA}};
inline constexpr CLSID kCreateClass = {0x204943C0, 0x289A, 0x464A, {0x8C, 0x9C, 0x99, 0xB5, 0x80, 0x53, 0x50, 0xB0}};

// One handler object, by both of its interfaces.
struct CHandler {
  CRef<IShellExtInit> init;
  CRef<IContextMenu> menu;
};
CHandler CreateHandler(const CShellextHost& host, REFCLSID clsid);

// A data object offering the shell's file list (CF_HDROP) of these paths, or no list at all.
CRef<IDataObject> FileListData(const std::vector<std::wstring>& files, bool offerList = true);

struct CPidlFree {
  void operator()(ITEMIDLIST_ABSOLUTE* pidl) const { ILFree(pidl); }
};
using CPidl = std::unique_ptr<ITEMIDLIST_ABSOLUTE, CPidlFree>;
CPidl PidlOfPath(const std::wstring& path);
CPidl PidlOfSpecialFolder(int csidl);

// What QueryContextMenu did to a popup menu that held `existing` items before.
struct CMenuOutcome {
  HRESULT hr = E_FAIL;
  std::vector<std::wstring> texts;
  std::vector<UINT> ids;
};
inline constexpr UINT kFirstCommandId = 100;
CMenuOutcome BuildMenu(IContextMenu* menu, UINT flags = CMF_NORMAL, UINT index = 0, int existing = 0);

HRESULT Invoke(IContextMenu* menu, const char* verb);

// GetCommandString into a buffer of cchMax characters (wide) or bytes (ANSI), followed by guard
// characters '#' that show whether anything was written past it.
HRESULT CommandStringW(IContextMenu* menu, UINT type, UINT cchMax, std::wstring& text, UINT_PTR idCmd = 0);
HRESULT CommandStringA(IContextMenu* menu, UINT type, UINT cchMax, std::string& text);

// The file type's open command, which names the program; removed at the end of the test.
// Without a command, the test runs with none at all.
class COpenCommand {
 public:
  explicit COpenCommand(const std::wstring* command = nullptr, DWORD type = REG_SZ);
  ~COpenCommand();
  COpenCommand(const COpenCommand&) = delete;
  COpenCommand& operator=(const COpenCommand&) = delete;
};

// The command recorder as the program: each start appends its command-line tail to a file of
// this object's own, named in the environment that started programs inherit.
class CLaunchRecord {
 public:
  CLaunchRecord();
  ~CLaunchRecord();
  CLaunchRecord(const CLaunchRecord&) = delete;
  CLaunchRecord& operator=(const CLaunchRecord&) = delete;

  // The open command for the recorder, quoted with a file placeholder as installers write it.
  static std::wstring RecorderCommand();
  // Polls until count lines were recorded or the deadline passes.
  std::vector<std::string> WaitForLines(size_t count, DWORD timeoutMs) const;

 private:
  std::wstring m_file;
};

// A folder of its own in the temporary folder, with empty files in it; removed with them.
class CTempFolder {
 public:
  explicit CTempFolder(const std::wstring& name, const std::vector<std::wstring>& files = {});
  ~CTempFolder();
  CTempFolder(const CTempFolder&) = delete;
  CTempFolder& operator=(const CTempFolder&) = delete;
  const std::wstring& Path() const { return m_path; }
  std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

 private:
  std::wstring m_path;
  std::vector<std::wstring> m_files;
};

// Registry helpers. ReadString is empty for a missing key or value, or one of another type.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr);
bool KeyExists(HKEY root, const std::wstring& key);
void WriteString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                 DWORD type = REG_SZ);
void DeleteTree(HKEY root, const std::wstring& key);

std::string Utf8(const std::wstring& text);

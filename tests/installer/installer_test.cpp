// The installer packages as people install them, each package in a Wine prefix of its own:
// silent installs, an older build refused over a newer one with a message, an older build
// upgraded in place, everything the package installs where its scope puts it, what it installed
// at work, and an uninstall that leaves nothing of ours but the user's own history. The packages
// are built beside this program: Lockvale-<scope>.msi and Lockvale-<scope>-older.msi.
#include <windows.h>

#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/e2e/pages.h"
#include "tests/win/shellext_host.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;

namespace {

constexpr DWORD kMsiexecTimeoutMs = 180000;
constexpr DWORD kProgramTimeoutMs = 30000;

constexpr wchar_t kSettingsKey[] = L"Software\\Halvern\\Lockvale";
constexpr wchar_t kHistory[] = L"C:\\Disks\\a.zel|C:\\Disks\\b.zel";

struct Scope {
  const wchar_t* name;  // of the package files
  HKEY root;            // of the class registrations and the installer's own key
  int programsMenu;     // the folder of the Start menu shortcut
};
const Scope kPerUser{L"user", HKEY_CURRENT_USER, CSIDL_PROGRAMS};
const Scope kPerMachine{L"machine", HKEY_LOCAL_MACHINE, CSIDL_COMMON_PROGRAMS};
void PrintTo(const Scope& scope, std::ostream* out) { *out << Utf8(scope.name); }

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring InstallFolder(const Scope& scope) {
  return scope.root == HKEY_LOCAL_MACHINE ? SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Lockvale"
                                          : SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Lockvale";
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A started process, ended (if it still runs) and closed with the object.
class CProcess {
 public:
  explicit CProcess(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info)) {
      m_info = {};
    }
  }
  ~CProcess() {
    if (m_info.hProcess == nullptr) return;
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_info.hProcess, 1);
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
  }
  CProcess(const CProcess&) = delete;
  CProcess& operator=(const CProcess&) = delete;

  DWORD Pid() const { return m_info.dwProcessId; }
  // The exit code once the process has ended within timeoutMs, otherwise -1.
  long ExitCode(DWORD timeoutMs) const {
    DWORD code = static_cast<DWORD>(-1);
    if (m_info.hProcess != nullptr && WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      GetExitCodeProcess(m_info.hProcess, &code);
    }
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION m_info{};
};

long Msiexec(const std::wstring& arguments) { return CProcess(L"msiexec " + arguments).ExitCode(kMsiexecTimeoutMs); }

std::wstring Classes(const Scope& scope, const std::wstring& key, const wchar_t* name = nullptr) {
  return ReadString(scope.root, L"Software\\Classes\\" + key, name).value_or(L"<none>");
}

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The Add/Remove Programs entries named Lockvale, by product code, wherever they are kept.
std::vector<std::wstring> ProgramEntries() {
  std::vector<std::wstring> codes;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(root, kUninstallKey, 0, KEY_READ, &uninstall) != ERROR_SUCCESS) continue;
    wchar_t code[256];
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      if (RegEnumKeyExW(uninstall, index, code, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      if (ReadString(root, std::wstring(kUninstallKey) + L"\\" + code, L"DisplayName") == L"Lockvale") {
        codes.emplace_back(code);
      }
    }
    RegCloseKey(uninstall);
  }
  return codes;
}

std::wstring EntryText(const std::wstring& code, const wchar_t* name) {
  return ReadString(HKEY_LOCAL_MACHINE, std::wstring(kUninstallKey) + L"\\" + code, name)
      .value_or(ReadString(HKEY_CURRENT_USER, std::wstring(kUninstallKey) + L"\\" + code, name).value_or(L"<none>"));
}

DWORD EntryNumber(const std::wstring& code, const wchar_t* name) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (SHGetValueW(root, (std::wstring(kUninstallKey) + L"\\" + code).c_str(), name, nullptr, &value, &size) ==
        ERROR_SUCCESS) {
      return value;
    }
  }
  return static_cast<DWORD>(-1);
}

// The icon Add/Remove Programs shows for the product, as Windows Installer keeps it.
std::wstring ProductIcon(const std::wstring& code) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (MsiGetProductInfoW(code.c_str(), INSTALLPROPERTY_PRODUCTICON, path, &length) != ERROR_SUCCESS) return L"";
  return path;
}

// How many icons a "path,index" reference (or a path) finds.
UINT IconsAt(const std::wstring& reference) {
  const size_t comma = reference.rfind(L',');
  const std::wstring path = reference.substr(0, comma);
  const int index = comma == std::wstring::npos ? 0 : _wtoi(reference.c_str() + comma + 1);
  HICON icon = nullptr;
  const UINT found = ExtractIconExW(path.c_str(), index, &icon, nullptr, 1);
  if (icon != nullptr) DestroyIcon(icon);
  return found == static_cast<UINT>(-1) ? 0 : found;
}

// "major.minor.build" of a file's version resource.
std::wstring FileVersionOf(const std::wstring& path) {
  DWORD handle = 0;
  std::vector<BYTE> data(GetFileVersionInfoSizeW(path.c_str(), &handle));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
    return L"<none>";
  }
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS));
}

// The program a shell link starts.
std::wstring ShortcutTarget(const std::wstring& link) {
  CRef<IShellLinkW> shellLink;
  CRef<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), shellLink.Put())) ||
      FAILED(shellLink->QueryInterface(__uuidof(IPersistFile), file.Put())) || FAILED(file->Load(link.c_str(), STGM_READ))) {
    return L"<no shortcut>";
  }
  wchar_t target[MAX_PATH] = {};
  shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  return target;
}

// A handler of class clsid, created through the installed registration: by the component
// runtime from the machine's classes. Wine's runtime does not read the user's classes, so per
// user the DLL that the user's registration names is loaded and asked for the class, as the
// runtime would.
struct CInstalledHandler {
  std::unique_ptr<CShellextHost> host;
  CHandler handler;
};
CInstalledHandler InstalledHandler(const Scope& scope, REFCLSID clsid, const wchar_t* clsidText) {
  CInstalledHandler installed;
  if (scope.root == HKEY_LOCAL_MACHINE) {
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellExtInit), installed.handler.init.Put());
    if (installed.handler.init) installed.handler.init->QueryInterface(__uuidof(IContextMenu), installed.handler.menu.Put());
  } else {
    installed.host =
        std::make_unique<CShellextHost>(Classes(scope, std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32"));
    installed.handler = CreateHandler(*installed.host, clsid);
  }
  return installed;
}

// The path of the program that process pid runs (looked up: newer than the headers' Windows).
std::wstring ImageOf(DWORD pid) {
  using QueryImage = BOOL(WINAPI*)(HANDLE, DWORD, wchar_t*, DWORD*);
  static const auto query = reinterpret_cast<QueryImage>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
  wchar_t path[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (process == nullptr) return L"";
  if (query == nullptr || !query(process, 0, path, &length)) path[0] = L'\0';
  CloseHandle(process);
  return path;
}

// A visible window of a process that runs program and for which pred holds; null on time-out.
HWND WaitForWindowOf(const std::wstring& program, bool (*pred)(HWND)) {
  struct Search {
    const std::wstring& program;
    bool (*pred)(HWND);
    HWND found;
  } search{program, pred, nullptr};
  WaitUntil(
      [&search] {
        EnumWindows(
            [](HWND hwnd, LPARAM context) -> BOOL {
              auto& s = *reinterpret_cast<Search*>(context);
              DWORD pid = 0;
              GetWindowThreadProcessId(hwnd, &pid);
              if (!IsWindowVisible(hwnd) || lstrcmpiW(ImageOf(pid).c_str(), s.program.c_str()) != 0 || !s.pred(hwnd)) {
                return TRUE;
              }
              s.found = hwnd;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      kProgramTimeoutMs);
  return search.found;
}

// The menu item of an installed handler for a selection, clicked as the file manager clicks it:
// the program it starts shows a window for which pred holds. The window's process must be the
// installed 32-bit program; the window is handed back open.
HWND ClickStartsProgram(const Scope& scope, REFCLSID clsid, const wchar_t* clsidText, IDataObject* data,
                        PCIDLIST_ABSOLUTE folder, const wchar_t* item, const std::wstring& program, bool (*pred)(HWND)) {
  CInstalledHandler installed = InstalledHandler(scope, clsid, clsidText);
  IContextMenu* menu = installed.handler.menu.get();
  if (menu == nullptr || FAILED(installed.handler.init->Initialize(folder, data, nullptr))) {
    ADD_FAILURE() << "no handler for " << Utf8(item);
    return nullptr;
  }
  EXPECT_THAT(BuildMenu(menu).texts, ElementsAre(item));
  EXPECT_EQ(Invoke(menu, MAKEINTRESOURCEA(0)), S_OK) << Utf8(item);
  HWND window = WaitForWindowOf(program, pred);
  EXPECT_NE(window, nullptr) << "no window after " << Utf8(item);

  if (window == nullptr) return nullptr;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  BOOL emulated = FALSE;
  EXPECT_TRUE(process != nullptr && IsWow64Process(process, &emulated) && emulated) << "not a 32-bit process";
  if (process != nullptr) CloseHandle(process);
  return window;
}

// Cancels a standalone wizard and waits until its program has ended.
void CancelProgramOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  Click(window, IDCANCEL);
  EXPECT_TRUE(process != nullptr && WaitForSingleObject(process, kProgramTimeoutMs) == WAIT_OBJECT_0);
  if (process != nullptr) CloseHandle(process);
}

constexpr wchar_t kMount[] = L"{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}";
constexpr wchar_t kUnmount[] = L"{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}";
constexpr wchar_t kCreate[] = L"{204943C0-289A-464A-8C9C-99B5805350B0}";

// Every key of ours below the root's classes.
const wchar_t* const kOurClassKeys[] = {
    L".zel",
    L"zelfile",
    L"CLSID\\{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}",
    L"CLSID\\{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}",
    L"CLSID\\{204943C0-289A-464A-8C9C-99B5805350B0}",
    L"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount",
    L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create",
};

class InstallerPackage : public ::testing::TestWithParam<Scope> {};

TEST_P(InstallerPackage, RefusesAnOlderBuildUpgradesOneInPlaceAndUninstallsCleanly) {
  const Scope& scope = GetParam();
  const std::wstring package = PathBesideProgram(std::wstring(L"Lockvale-") + scope.name + L".msi");
  const std::wstring older = PathBesideProgram(std::wstring(L"Lockvale-") + scope.name + L"-older.msi");
  const std::wstring folder = InstallFolder(scope);
  const std::wstring program = folder + L"\\Lockvale.exe";
  const std::wstring extension = folder + L"\\ZelToolExt.dll";
  const std::wstring shortcut = SpecialFolder(scope.programsMenu) + L"\\Lockvale.lnk";
  HKEY otherRoot = scope.root == HKEY_LOCAL_MACHINE ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  WriteString(HKEY_CURRENT_USER, kSettingsKey, L"FileHistory", kHistory);

  // This build, then the older one over it: refused with a message, nothing changed. (Before
  // the upgrade below: when Wine's installer removes the build that an upgrade replaced, it
  // forgets the upgrade code of the product that replaced it, so it could not tell afterwards.)
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\" /qn"), 0) << Utf8(package);
  const std::vector<std::wstring> installed = ProgramEntries();
  ASSERT_EQ(installed.size(), 1u);
  {
    CProcess refused(L"msiexec /i \"" + older + L"\" /qb");
    const MessageBoxInfo box = WaitForMessageBox(refused.Pid(), kProgramTimeoutMs);
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.text,
              L"A newer version of Lockvale is already installed. To install this version, first remove the newer "
              L"one in Add or Remove Programs.");
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(refused.ExitCode(kMsiexecTimeoutMs), static_cast<long>(ERROR_INSTALL_FAILURE));
    EXPECT_EQ(ProgramEntries(), installed);
    EXPECT_EQ(EntryText(installed[0], L"DisplayVersion"), FileVersionOf(program));
  }
  ASSERT_EQ(Msiexec(L"/x \"" + package + L"\" /qn"), 0);

  // An older build, then this one over it: one product afterwards, of this version.
  ASSERT_EQ(Msiexec(L"/i \"" + older + L"\" /qn"), 0) << Utf8(older);
  const std::vector<std::wstring> olderEntries = ProgramEntries();
  ASSERT_EQ(olderEntries.size(), 1u);
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\" /qn"), 0) << Utf8(package);
  const std::vector<std::wstring> entries = ProgramEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_NE(entries[0], olderEntries[0]);
  EXPECT_EQ(EntryText(entries[0], L"DisplayVersion"), FileVersionOf(program));
  EXPECT_EQ(EntryText(entries[0], L"Publisher"), L"Halvern");
  EXPECT_EQ(EntryNumber(entries[0], L"NoModify"), 1u);
  const std::wstring productIcon = ProductIcon(entries[0]);
  EXPECT_GE(IconsAt(productIcon), 1u) << Utf8(productIcon);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettingsKey, L"FileHistory"), kHistory);

  // Files, the file type with its command and icon, the extension's classes and handlers.
  EXPECT_TRUE(Exists(program));
  EXPECT_TRUE(Exists(extension));
  EXPECT_EQ(Classes(scope, L".zel"), L"zelfile");
  EXPECT_EQ(Classes(scope, L"zelfile\\shell\\open\\command"), L"\"" + program + L"\" \"%1\"");
  EXPECT_EQ(Classes(scope, L"zelfile\\DefaultIcon"), program + L",0");
  EXPECT_GE(IconsAt(Classes(scope, L"zelfile\\DefaultIcon")), 1u);
  EXPECT_EQ(Classes(scope, std::wstring(L"CLSID\\") + kMount), L"Mount Class");
  EXPECT_EQ(Classes(scope, std::wstring(L"CLSID\\") + kUnmount), L"Unmount Class");
  EXPECT_EQ(Classes(scope, std::wstring(L"CLSID\\") + kCreate), L"Create Class");
  for (const wchar_t* clsid : {kMount, kUnmount, kCreate}) {
    const std::wstring server = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    EXPECT_EQ(Classes(scope, server), extension);
    EXPECT_EQ(Classes(scope, server, L"ThreadingModel"), L"Apartment");
  }
  EXPECT_EQ(Classes(scope, L"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount"), kMount);
  EXPECT_EQ(Classes(scope, L"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount"), kUnmount);
  EXPECT_EQ(Classes(scope, L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create"), kCreate);
  for (const wchar_t* key : kOurClassKeys) {
    EXPECT_FALSE(KeyExists(otherRoot, std::wstring(L"Software\\Classes\\") + key)) << "other scope: " << Utf8(key);
  }

  {
    CoInitialize(nullptr);
    EXPECT_EQ(ShortcutTarget(shortcut), program) << Utf8(shortcut);

    // Each menu item of the installed extension, clicked as the file manager clicks it, starts
    // the installed program with its switch: the disk file's drive page, the Disconnect page
    // for the drive, the Create wizard in the folder. The service reports E: mounted and the
    // disk file usable.
    CScriptedService service([](const std::string& request) {
      if (request.rfind("StorageAccessible\n", 0) == 0) return ScriptedReply::Text("1\n0");
      return ScriptedReply::Text(request == std::string("Status\nE:\\\n") + '\0' ? "1" : "0");
    });
    ASSERT_TRUE(service.Start());
    // Windows shows the user's classes in HKEY_CLASSES_ROOT, where the extension looks for the
    // program; Wine 8 shows only the machine's, so per user the open command is put there too.
    const bool merge = scope.root == HKEY_CURRENT_USER;
    const std::wstring openCommand = L"Software\\Classes\\zelfile\\shell\\open\\command";
    if (merge) WriteString(HKEY_LOCAL_MACHINE, openCommand, nullptr, Classes(scope, L"zelfile\\shell\\open\\command"));
    CTempFolder temp(L"lv-installed-" + std::wstring(scope.name), {L"a.zel"});
    const CRef<IDataObject> disk = FileListData({temp.File(L"a.zel")});
    const CRef<IDataObject> drive = FileListData({L"E:\\"});
    const CPidl folderPidl = PidlOfPath(temp.Path());
    if (HWND page = ClickStartsProgram(scope, kMountClass, kMount, disk.get(), nullptr, L"Mount File As a Virtual Disk",
                                       program, IsMountDrivePage)) {
      EXPECT_EQ(ControlText(page, IDC_LOCATION), temp.File(L"a.zel"));
      CancelProgramOf(page);
    }
    if (HWND page = ClickStartsProgram(scope, kUnmountClass, kUnmount, drive.get(), nullptr, L"Unmount Virtual Disk",
                                       program, IsUnmountPage)) {
      EXPECT_EQ(ControlText(page, IDC_MOUNTED_ENTRY).substr(0, 3), L"E: ");
      CancelProgramOf(page);
    }
    if (HWND page = ClickStartsProgram(scope, kCreateClass, kCreate, nullptr, folderPidl.get(),
                                       L"Create a new Virtual Disk", program, IsCreatePathPage)) {
      EXPECT_EQ(ControlText(page, IDC_LOCATION), temp.File(L"My Virtual Disk.zel"));
      CancelProgramOf(page);
    }
    if (merge) DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\zelfile");
    CoUninitialize();  // lets the extension go before it is uninstalled
  }

  // The installed program shows its help and ends with 0, and without arguments its start window.
  {
    CProcess help(L"\"" + program + L"\" /?");
    const MessageBoxInfo box = WaitForMessageBox(help.Pid(), kProgramTimeoutMs);
    ASSERT_NE(box.hwnd, nullptr);
    EXPECT_EQ(box.caption, L"Lockvale Help");
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(help.ExitCode(kProgramTimeoutMs), 0);
  }
  {
    CProcess plain(L"\"" + program + L"\"");
    HWND start = WaitForWindow(plain.Pid(), IsStartWindow, kProgramTimeoutMs);
    ASSERT_NE(start, nullptr);
    Click(start, IDCANCEL);
    EXPECT_EQ(plain.ExitCode(kProgramTimeoutMs), 2);
  }

  // Uninstalling leaves nothing of ours but the user's history.
  ASSERT_EQ(Msiexec(L"/x \"" + package + L"\" /qn"), 0);
  EXPECT_TRUE(ProgramEntries().empty());
  EXPECT_FALSE(Exists(folder));
  EXPECT_FALSE(Exists(shortcut));
  EXPECT_FALSE(Exists(productIcon));
  for (const wchar_t* key : kOurClassKeys) {
    EXPECT_FALSE(KeyExists(scope.root, std::wstring(L"Software\\Classes\\") + key)) << Utf8(key);
  }
  EXPECT_FALSE(KeyExists(scope.root, L"Software\\Halvern\\Lockvale\\Installer"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kSettingsKey, L"FileHistory"), kHistory);
}

INSTANTIATE_TEST_SUITE_P(Installer, InstallerPackage, ::testing::Values(kPerUser, kPerMachine),
                         [](const ::testing::TestParamInfo<Scope>& param) {
                           return param.param.root == HKEY_LOCAL_MACHINE ? "PerMachine" : "PerUser";
                         });

}  // namespace

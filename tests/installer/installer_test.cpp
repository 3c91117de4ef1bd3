// The installer, as a user runs it: a quiet per-user install, the program and the shell
// extension in place and registered, the extension's menus through the component runtime, and
// an uninstall that leaves nothing of ours. The package comes from %LV_MSI%.
#include <windows.h>

#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/win/shellext_host.h"

using ::testing::ElementsAre;

namespace {

constexpr DWORD kMsiexecTimeoutMs = 120000;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

// msiexec's exit code, or -1 when it did not end in time.
long Msiexec(const std::wstring& arguments) {
  std::wstring commandLine = L"msiexec " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, kMsiexecTimeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

// A string value under HKCU\Software\Classes, or "<none>".
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr) {
  return ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\" + key, name).value_or(L"<none>");
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring InstallFolder() {
  wchar_t localAppData[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
  return std::wstring(localAppData) + L"\\Programs\\Lockvale";
}

// The menu a handler of the installed extension adds. Wine's component runtime does not read
// per-user class registrations, so the DLL that the class's registration names is loaded the
// way the runtime would load it, and asked for the class.
std::vector<std::wstring> MenuOf(const std::wstring& server, REFCLSID clsid, IDataObject* data,
                                 PCIDLIST_ABSOLUTE folder) {
  CShellextHost host(server);
  if (!host.Loaded()) return {L"<not loaded>"};
  CHandler handler = CreateHandler(host, clsid);
  if (!handler.init || !handler.menu) return {L"<not created>"};
  if (FAILED(handler.init->Initialize(folder, data, nullptr))) return {L"<not shown>"};
  return BuildMenu(handler.menu.get()).texts;
}

const wchar_t* const kClassIds[] = {L"{4FFECA33-2F96-4BFC-A6CC-D1F07EC3AC5B}", L"{E8045B1D-ECEA-4B1A-8D1E-925ECAFDA9EA}",
                                    L"{204943C0-289A-464A-8C9C-99B5805350B0}"};

}  // namespace

TEST(Installer, InstallsPerUserWorksAndUninstallsWithoutATrace) {
  const std::wstring msi = Environment(L"LV_MSI");
  ASSERT_FALSE(msi.empty()) << "LV_MSI names the package";
  const std::wstring folder = InstallFolder();

  ASSERT_EQ(Msiexec(L"/i \"" + msi + L"\" /qn"), 0) << Utf8(msi);
  EXPECT_TRUE(Exists(folder + L"\\Lockvale.exe"));
  EXPECT_TRUE(Exists(folder + L"\\ZelToolExt.dll"));
  EXPECT_EQ(ClassesValue(L".zel"), L"zelfile");
  EXPECT_EQ(ClassesValue(L"zelfile\\shell\\open\\command"), L"\"" + folder + L"\\Lockvale.exe\" \"%1\"");
  EXPECT_EQ(ClassesValue(std::wstring(L"CLSID\\") + kClassIds[0]), L"Mount Class");
  EXPECT_EQ(ClassesValue(std::wstring(L"CLSID\\") + kClassIds[1]), L"Unmount Class");
  EXPECT_EQ(ClassesValue(std::wstring(L"CLSID\\") + kClassIds[2]), L"Create Class");
  for (const wchar_t* clsid : kClassIds) {
    const std::wstring server = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
    EXPECT_EQ(ClassesValue(server), folder + L"\\ZelToolExt.dll");
    EXPECT_EQ(ClassesValue(server, L"ThreadingModel"), L"Apartment");
  }
  EXPECT_EQ(ClassesValue(L"zelfile\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Mount"), kClassIds[0]);
  EXPECT_EQ(ClassesValue(L"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount"), kClassIds[1]);
  EXPECT_EQ(ClassesValue(L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create"), kClassIds[2]);

  // The installed extension offers its items (no service runs, so no drive is a mounted disk).
  {
    CoInitialize(nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const CRef<IDataObject> disk = FileListData({std::wstring(temp) + L"a.zel"});
    const std::wstring mountServer = ClassesValue(std::wstring(L"CLSID\\") + kClassIds[0] + L"\\InprocServer32");
    EXPECT_THAT(MenuOf(mountServer, kMountClass, disk.get(), nullptr), ElementsAre(L"Mount File As a Virtual Disk"));
    const CPidl tempFolder = PidlOfPath(temp);
    const std::wstring createServer = ClassesValue(std::wstring(L"CLSID\\") + kClassIds[2] + L"\\InprocServer32");
    EXPECT_THAT(MenuOf(createServer, kCreateClass, nullptr, tempFolder.get()), ElementsAre(L"Create a new Virtual Disk"));
    CoUninitialize();
  }

  ASSERT_EQ(Msiexec(L"/x \"" + msi + L"\" /qn"), 0);
  EXPECT_FALSE(Exists(folder));
  for (const wchar_t* key : {L".zel", L"zelfile", L"Drive\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Unmount",
                             L"Directory\\Background\\ShellEx\\ContextMenuHandlers\\ZelToolExt_Create"}) {
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\") + key)) << Utf8(key);
  }
  for (const wchar_t* clsid : kClassIds) {
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\CLSID\\") + clsid));
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Halvern"));
}

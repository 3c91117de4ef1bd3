// Journeys through the program's start: the command line, the start window, the About box,
// wizards opened and closed, and the exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/pages.h"
#include "tools/scripted_service.h"

namespace {

constexpr long kExitCancel = 2;

class ProgramTest : public ::testing::Test {
 protected:
  CProgram program;
};

// Lets the program see the Windows version `version` (a Wine version name) while it exists.
class ReportedWindowsVersion {
 public:
  explicit ReportedWindowsVersion(const wchar_t* version) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &m_key, nullptr);
    RegSetValueExW(m_key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  }
  ~ReportedWindowsVersion() {
    RegDeleteValueW(m_key, L"Version");
    RegCloseKey(m_key);
  }

 private:
  static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\Lockvale.exe";
  HKEY m_key = nullptr;
};

}  // namespace

TEST_F(ProgramTest, HelpIsShownAloneAndEndsWithZero) {
  ASSERT_TRUE(program.Start(L"/?x"));
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Lockvale Help");
  EXPECT_EQ(box.text.rfind(L"Lockvale.exe [", 0), 0u) << std::string(box.text.begin(), box.text.end());
  EXPECT_EQ(box.icon, MB_ICONINFORMATION);
  EXPECT_FALSE(box.hasCancel);
  EXPECT_EQ(TopWindows(program.Pid()).size(), 1u);  // nothing but the box
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(ExitCodeOf(program), 0);
}

TEST_F(ProgramTest, UnknownSwitchesOpenTheStartWindowAndExitEndsWithTwo) {
  for (const wchar_t* commandLine : {L"/x", L"/M D:\\a.zel"}) {
    ASSERT_TRUE(program.Start(commandLine));
    HWND start = WaitFor(program, IsStartWindow);
    ASSERT_NE(start, nullptr) << commandLine;
    EXPECT_EQ(WindowText(start), L"Lockvale");
    EXPECT_EQ(ControlText(start, IDC_HEADING), L"Choose an action:");
    EXPECT_EQ(ControlText(start, IDC_CREATE_LABEL), L"Create a new Virtual Disk");
    EXPECT_EQ(ControlText(start, IDC_MOUNT_LABEL), L"Mount an existing Virtual Disk");
    EXPECT_EQ(ControlText(start, IDC_DISCONNECT_LABEL), L"Disconnect a Virtual Disk");
    EXPECT_EQ(ControlText(start, ID_APP_ABOUT), L"&About...");
    EXPECT_EQ(ControlText(start, IDCANCEL), L"Exit");
    Click(start, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), kExitCancel) << commandLine;
  }
}

TEST_F(ProgramTest, TheStartWindowHonoursTheShowCommand) {
  ASSERT_TRUE(program.Start(L"", SW_SHOWMINNOACTIVE));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  EXPECT_TRUE(IsIconic(start));
}

TEST_F(ProgramTest, AboutShowsTheVersionAndCloses) {
  ASSERT_TRUE(program.Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  Click(start, ID_APP_ABOUT);
  HWND about = WaitForWindow(program.Pid(), [](HWND h) { return WindowText(h) == L"About"; }, kWindowTimeoutMs);
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(HasControl(about, IDOK));
  bool versionShown = false;
  for (HWND child = GetWindow(about, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    versionShown |= WindowText(child) == L"1.0.32384";
  }
  EXPECT_TRUE(versionShown);
  Click(about, IDOK);
  EXPECT_TRUE(WaitHidden(about));
  EXPECT_TRUE(IsWindowVisible(start));
}

TEST_F(ProgramTest, WizardsFromTheStartWindowComeAndGoWhileItStays) {
  ASSERT_TRUE(program.Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);

  // Two Create wizards side by side, each with the default file in the documents folder.
  Click(start, IDC_CREATE);
  HWND first = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(first, nullptr);
  const std::wstring location = ControlText(first, IDC_LOCATION);
  EXPECT_NE(location.find(L"\\My Virtual Disk.zel"), std::wstring::npos);
  Click(start, IDC_CREATE);
  HWND second = WaitForWindow(program.Pid(), [first](HWND h) { return h != first && IsCreatePathPage(h); },
                              kWindowTimeoutMs);
  ASSERT_NE(second, nullptr);

  // Walking one of them on and cancelling closes all its pages, the hidden ones included.
  Click(first, IDOK);
  HWND passphrase = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(passphrase, nullptr);
  Click(passphrase, IDCANCEL);
  EXPECT_TRUE(WaitGone(passphrase));
  EXPECT_TRUE(WaitGone(first));
  EXPECT_TRUE(IsWindowVisible(second));
  EXPECT_TRUE(IsWindowVisible(start));
  EXPECT_TRUE(program.IsRunning());

  Click(start, IDC_MOUNT);
  HWND mountPath = WaitFor(program, IsMountPathPage);
  ASSERT_NE(mountPath, nullptr);
  Click(start, IDC_DISCONNECT);
  HWND unmount = WaitFor(program, IsUnmountPage);
  ASSERT_NE(unmount, nullptr);
  Click(unmount, IDCANCEL);
  EXPECT_TRUE(WaitGone(unmount));
  EXPECT_TRUE(program.IsRunning());

  // Closing the start window ends the program with the wizards still open.
  Click(start, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);
}

TEST_F(ProgramTest, CancelOnAStandaloneWizardEndsTheProgramWithTwo) {
  ASSERT_TRUE(program.Start(L"/c C:\\new.zel"));
  HWND path = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(ControlText(path, IDC_LOCATION), L"C:\\new.zel");
  EXPECT_FALSE(IsControlVisible(path, IDC_BACK));
  Click(path, IDOK);
  HWND passphrase = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(passphrase, nullptr);
  EXPECT_EQ(ControlText(passphrase, IDC_LOCATION), L"C:\\new.zel");
  Click(passphrase, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);
}

TEST_F(ProgramTest, EscapeAndTheCloseBoxCancelToo) {
  ASSERT_TRUE(program.Start(L"/u"));
  HWND page = WaitFor(program, IsUnmountPage);
  ASSERT_NE(page, nullptr);
  PostMessageW(page, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);

  ASSERT_TRUE(program.Start(L"/m"));
  page = WaitFor(program, IsMountPathPage);
  ASSERT_NE(page, nullptr);
  SetForegroundWindow(page);
  PostMessageW(page, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);
}

TEST_F(ProgramTest, NextAndBackKeepAMovedPagesCorner) {
  ASSERT_TRUE(program.Start(L"/c C:\\moved.zel"));
  HWND path = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(path, nullptr);
  SetWindowPos(path, nullptr, 37, 53, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitUntil([path] { return WindowRectOf(path).left == 37; }, kWindowTimeoutMs));
  const RECT pathRect = WindowRectOf(path);

  Click(path, IDOK);
  HWND passphrase = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(passphrase, nullptr);
  EXPECT_TRUE(WaitHidden(path));
  const RECT passphraseRect = WindowRectOf(passphrase);
  EXPECT_EQ(passphraseRect.left, pathRect.left);
  EXPECT_EQ(passphraseRect.top, pathRect.top);
  // Its own size: the passphrase page is taller than the location page.
  EXPECT_GT(passphraseRect.bottom - passphraseRect.top, pathRect.bottom - pathRect.top);

  SetWindowPos(passphrase, nullptr, 101, 99, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ASSERT_TRUE(WaitUntil([passphrase] { return WindowRectOf(passphrase).left == 101; }, kWindowTimeoutMs));
  Click(passphrase, IDC_BACK);
  ASSERT_TRUE(WaitUntil([path] { return IsWindowVisible(path) != FALSE; }, kWindowTimeoutMs));
  EXPECT_EQ(WindowRectOf(path).left, 101);
  EXPECT_EQ(WindowRectOf(path).top, 99);
  EXPECT_EQ(WindowRectOf(path).bottom - WindowRectOf(path).top, pathRect.bottom - pathRect.top);
}

TEST_F(ProgramTest, CommandLineOpensEachWizardsFirstPage) {
  ASSERT_TRUE(program.Start(L"-m"));
  HWND mountPath = WaitFor(program, IsMountPathPage);
  ASSERT_NE(mountPath, nullptr);
  EXPECT_FALSE(IsControlVisible(mountPath, IDC_BACK));
  EXPECT_FALSE(IsControlEnabled(mountPath, IDOK));
  Click(mountPath, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);

  ASSERT_TRUE(program.Start(L"/u e"));
  HWND unmount = WaitFor(program, IsUnmountPage);
  ASSERT_NE(unmount, nullptr);
  EXPECT_FALSE(IsControlVisible(unmount, IDC_BACK));
  Click(unmount, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);
}

TEST_F(ProgramTest, CreateIntoAnExistingFolderProposesAFreeName) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"lv-create-folder";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring taken = folder + L"\\My Virtual Disk.zel";
  HANDLE file = CreateFileW(taken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(file);

  ASSERT_TRUE(program.Start(L"-c" + folder));
  HWND path = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(ControlText(path, IDC_LOCATION), folder + L"\\My Virtual Disk 1.zel");
  Click(path, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), kExitCancel);
  DeleteFileW(taken.c_str());
  RemoveDirectoryW(folder.c_str());
}

TEST_F(ProgramTest, APathLongerThanTheBufferIsRefusedWithAMessage) {
  ASSERT_TRUE(program.Start(L"/m C:\\" + std::wstring(300, L'a') + L".zel"));
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Path Too Long");
  EXPECT_EQ(box.icon, MB_ICONERROR);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(static_cast<DWORD>(ExitCodeOf(program)), static_cast<DWORD>(E_INVALIDARG));
}

TEST_F(ProgramTest, TheWindowsVersionIsCheckedBeforeAnythingElse) {
  {
    ReportedWindowsVersion windows2000(L"win2k");
    for (const wchar_t* commandLine : {L"", L"/?"}) {
      ASSERT_TRUE(program.Start(commandLine));
      const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
      ASSERT_NE(box.hwnd, nullptr) << commandLine;
      EXPECT_EQ(box.caption, L"Version Not Supported");
      EXPECT_EQ(box.text, L"This version of Windows is not\nsupported by Lockvale.");
      EXPECT_EQ(box.icon, MB_ICONERROR);
      EXPECT_EQ(TopWindows(program.Pid()).size(), 1u);
      ASSERT_TRUE(AnswerMessageBox(box, IDOK));
      EXPECT_EQ(ExitCodeOf(program), 0) << commandLine;
    }
  }
  // The oldest systems promised (XP, 5.1; XP x64 and Server 2003, 5.2) and the newest: the
  // binary loads there and the check lets it on to the start window.
  for (const wchar_t* version : {L"winxp", L"winxp64", L"win2003", L"win10"}) {
    ReportedWindowsVersion reported(version);
    ASSERT_TRUE(program.Start(L""));
    HWND start = WaitFor(program, IsStartWindow);
    ASSERT_NE(start, nullptr) << version;
    EXPECT_TRUE(NoMessageBox(program.Pid())) << version;
    Click(start, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), kExitCancel) << version;
  }
}

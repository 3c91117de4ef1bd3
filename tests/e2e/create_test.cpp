// Journeys through the Create wizard: plain and encrypted disks, the passphrase checks and the
// strength meter, a path on a mounted disk, a disk file that already stands at the path, and a
// folder too long for the proposed name.
#include <windows.h>

#include <commctrl.h>
#include <gmock/gmock.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <memory>

#include "tests/e2e/journey.h"
#include "tests/e2e/pages.h"
#include "tests/win/test_paths.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

int ProgressPosition(HWND page) {
  DWORD_PTR position = 0;
  SendMessageTimeoutW(GetDlgItem(page, IDC_STRENGTH_BAR), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
  return static_cast<int>(position);
}

std::string ReadFileText(const std::wstring& path) {
  std::string content;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  return content;
}

std::string Utf8(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII paths

class CreateJourney : public ::testing::Test {
 protected:
  void SetUp() override { DeleteHistoryValue(); }
  void TearDown() override { DeleteHistoryValue(); }

  void Serve(CScriptedService::Script script) {
    service = std::make_unique<CScriptedService>(std::move(script));
    ASSERT_TRUE(service->Start());
  }
  std::vector<std::string> Requests() const { return service->Requests(); }

  // Starts the wizard for path and walks it to the drive page, with label and, when not empty,
  // encryption with passphrase.
  HWND WalkToDrivePage(const std::wstring& path, const std::wstring& label = L"",
                       const std::wstring& passphrase = L"") {
    if (!program.Start(L"/c " + path, SW_SHOWNORMAL, {opened.Environment()})) return nullptr;
    return WalkOnToDrivePage(WaitFor(program, IsCreatePathPage), path, label, passphrase);
  }

  // The same from a location page already shown.
  HWND WalkOnToDrivePage(HWND location, const std::wstring& path, const std::wstring& label = L"",
                         const std::wstring& passphrase = L"") {
    if (location == nullptr) return nullptr;
    // A folder on the command line becomes a new file name in it; type the path instead.
    if (ControlText(location, IDC_LOCATION) != path) SetControlText(location, IDC_LOCATION, path);
    SetControlText(location, IDC_VOLUME_LABEL, label);
    Click(location, IDOK);
    HWND passphrasePage = WaitFor(program, IsCreatePassphrasePage);
    if (passphrasePage == nullptr) return nullptr;
    if (!passphrase.empty()) {
      ClickCheckBox(passphrasePage, IDC_ENCRYPT);
      const auto shown = [&] { return IsControlVisible(passphrasePage, IDC_PASSPHRASE); };
      if (!WaitUntil(shown, kWindowTimeoutMs)) return nullptr;
      SetControlText(passphrasePage, IDC_PASSPHRASE, passphrase);
      SetControlText(passphrasePage, IDC_CONFIRM, passphrase);
    }
    Click(passphrasePage, IDOK);
    return WaitFor(program, IsCreateDrivePage);
  }

  // Presses Finish and answers the box that comes; returns it.
  MessageBoxInfo FinishAndAnswer(HWND drivePage, int answer) {
    Click(drivePage, IDOK);
    MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    if (box.hwnd != nullptr) AnswerMessageBox(box, answer);
    return box;
  }

  // Every drive a journey mounts is opened with the recorder, never with the file manager, whose
  // window could turn up in a later journey and take its keyboard.
  COpenRecorder opened;
  std::unique_ptr<CScriptedService> service;
  CProgram program;
};

// The user's documents folder is folder while the object lives; the shell reads it anew at every
// request.
class CDocumentsFolder {
 public:
  explicit CDocumentsFolder(const std::wstring& folder) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      DWORD bytes = sizeof m_szPrevious - sizeof(wchar_t);
      m_bHadOne = RegQueryValueExW(key, kValue, nullptr, &m_nType, reinterpret_cast<BYTE*>(m_szPrevious), &bytes) ==
                  ERROR_SUCCESS;
      RegCloseKey(key);
    }
    SHSetValueW(HKEY_CURRENT_USER, kKey, kValue, REG_SZ, folder.c_str(),
                static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  }
  ~CDocumentsFolder() {
    if (!m_bHadOne) {
      SHDeleteValueW(HKEY_CURRENT_USER, kKey, kValue);
      return;
    }
    SHSetValueW(HKEY_CURRENT_USER, kKey, kValue, m_nType, m_szPrevious,
                static_cast<DWORD>((wcslen(m_szPrevious) + 1) * sizeof(wchar_t)));
  }
  CDocumentsFolder(const CDocumentsFolder&) = delete;
  CDocumentsFolder& operator=(const CDocumentsFolder&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  static constexpr const wchar_t* kValue = L"Personal";
  bool m_bHadOne = false;
  DWORD m_nType = REG_SZ;
  wchar_t m_szPrevious[MAX_PATH + 1] = {};
};

CScriptedService::Script Answers(const char* status, const char* access, const char* mount) {
  return CScriptedService::ByKeyword({{"Status", ScriptedReply::Text(status)},
                                      {"StorageAccessible", ScriptedReply::Text(access)},
                                      {"Mount", ScriptedReply::Text(mount)}});
}

}  // namespace

TEST_F(CreateJourney, APlainDiskIsCreatedAndMounted) {
  CTempFile folder(L"lv-unused");  // only for the temporary folder's path
  const std::wstring path = folder.Path() + L"-new.zel";
  Serve(Answers("0", "1\n0", "8"));
  HWND drivePage = WalkToDrivePage(path, L" My Label ");
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), path);
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Finish");
  EXPECT_EQ(ComboItems(drivePage, IDC_DRIVE).front(), L"E:");

  CDriveLetter newDrive(L'E');
  Click(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 8);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nC:\n"), Request("StorageAccessible\n" + Utf8(path) + "\n\n"),
                                      Request("Mount\n" + Utf8(path) + "\nE:\n My Label \n\n0\n")));
  EXPECT_EQ(HistoryValue(), path + L"\n");
  EXPECT_TRUE(WaitUntil([this] { return !opened.Lines().empty(); }, kWindowTimeoutMs));
  EXPECT_THAT(opened.Lines(), ElementsAre("E:\\"));
}

TEST_F(CreateJourney, ThePassphrasePageChecksAndRatesThePassphrase) {
  Serve(Answers("0", "1\n0", "2"));
  ASSERT_TRUE(program.Start(L"/c C:\\secret.zel"));
  HWND location = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(location, nullptr);
  Click(location, IDOK);
  HWND page = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(IsChecked(page, IDC_ENCRYPT));
  EXPECT_EQ(ControlText(page, IDC_ENCRYPT), L" Enable Encryption");
  for (int id : {IDC_STRENGTH_BAR, IDC_STRENGTH_TEXT, IDC_PASSPHRASE, IDC_CONFIRM, IDC_PASSPHRASE_LABEL, IDC_CONFIRM_LABEL}) {
    EXPECT_FALSE(IsControlVisible(page, id)) << id;
  }

  // Ticked with nothing typed: the meter shows 0 and "Insecure".
  ClickCheckBox(page, IDC_ENCRYPT);
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(page, IDC_CONFIRM); }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(page, IDC_STRENGTH_TEXT), L"Insecure");
  EXPECT_EQ(ProgressPosition(page), 0);
  EXPECT_TRUE(IsControlVisible(page, IDC_STRENGTH_BAR));

  SetControlText(page, IDC_PASSPHRASE, L"123456789");
  EXPECT_EQ(ControlText(page, IDC_STRENGTH_TEXT), L"Mediocre");
  EXPECT_EQ(ProgressPosition(page), 58);
  SetControlText(page, IDC_PASSPHRASE, L"");
  EXPECT_FALSE(IsControlVisible(page, IDC_STRENGTH_TEXT));
  EXPECT_FALSE(IsControlVisible(page, IDC_STRENGTH_BAR));
  SetControlText(page, IDC_PASSPHRASE, L"abcdefg");
  EXPECT_TRUE(IsControlVisible(page, IDC_STRENGTH_TEXT));
  EXPECT_EQ(ControlText(page, IDC_STRENGTH_TEXT), L"Very Secure");
  EXPECT_EQ(ProgressPosition(page), 100);

  // A confirmation that differs: both fields emptied, the meter hidden, the page stays.
  SetControlText(page, IDC_CONFIRM, L"abcdefG");
  Click(page, IDOK);
  MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Password Mismatch");
  EXPECT_EQ(box.text, L"The passphrase and confirm fields do not match. Please try again.");
  EXPECT_EQ(box.icon, MB_ICONERROR);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return ControlText(page, IDC_CONFIRM).empty(); }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(page, IDC_PASSPHRASE), L"");
  EXPECT_FALSE(IsControlVisible(page, IDC_STRENGTH_TEXT));

  Click(page, IDOK);
  box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Blank Password");
  EXPECT_EQ(box.text, L"Blank passphrase is not allowed when encryption is checked. Please try again.");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));

  // Clearing the box throws the typed texts away.
  SetControlText(page, IDC_PASSPHRASE, L"typed");
  ClickCheckBox(page, IDC_ENCRYPT);
  ASSERT_TRUE(WaitUntil([&] { return !IsControlVisible(page, IDC_PASSPHRASE); }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(page, IDC_PASSPHRASE), L"");
  ClickCheckBox(page, IDC_ENCRYPT);
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(page, IDC_PASSPHRASE); }, kWindowTimeoutMs));

  // Weak but matching passes.
  SetControlText(page, IDC_PASSPHRASE, L"abc");
  SetControlText(page, IDC_CONFIRM, L"abc");
  Click(page, IDOK);
  HWND drivePage = WaitFor(program, IsCreateDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_TRUE(NoMessageBox(program.Pid()));
}

TEST_F(CreateJourney, TheEncryptionWarningCanBeCancelledAndThenAccepted) {
  Serve(Answers("0", "1\n0", "4"));
  HWND drivePage = WalkToDrivePage(L"C:\\encrypted.zel", L"Vault", L"pa ss");
  ASSERT_NE(drivePage, nullptr);
  MessageBoxInfo box = FinishAndAnswer(drivePage, IDCANCEL);
  EXPECT_EQ(box.caption, L"A new, encrypted Virtual Disk will be created.");
  EXPECT_EQ(box.text, L"Be careful to remember its password for future use!");
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_TRUE(box.hasCancel);
  EXPECT_EQ(Requests().size(), 2u);  // Status, StorageAccessible: no Mount
  EXPECT_TRUE(IsControlEnabled(drivePage, IDOK));

  CDriveLetter newDrive(L'E');
  FinishAndAnswer(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 4);
  EXPECT_EQ(Requests().back(), Request("Mount\nC:\\encrypted.zel\nE:\nVault\npa ss\n0\n"));
  EXPECT_EQ(Requests()[1], Request("StorageAccessible\nC:\\encrypted.zel\npa ss\n"));
}

TEST_F(CreateJourney, APathOnAMountedVirtualDiskIsRefused) {
  Serve(Answers("1", "1\n0", "4"));
  HWND drivePage = WalkToDrivePage(L"G:\\inside.zel");
  ASSERT_NE(drivePage, nullptr);
  const MessageBoxInfo box = FinishAndAnswer(drivePage, IDOK);
  EXPECT_EQ(box.caption, L"Could Not Delete File");
  EXPECT_EQ(box.text, L"A file cannot exist within a mounted virtual disk.\nPlease choose a different file path.");
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nG:\n")));
  EXPECT_TRUE(IsControlEnabled(drivePage, IDOK));
}

TEST_F(CreateJourney, AnExistingDiskSurvivesEveryFinishThatDoesNotMountItsReplacement) {
  CTempFile existing(L"lv-existing.zel");
  int mounts = 0;
  int accesses = 0;
  Serve([&](const std::string& request) {
    const std::string keyword = request.substr(0, request.find('\n'));
    if (keyword == "StorageAccessible") return ScriptedReply::Text(++accesses == 1 ? "0\n2" : "1\n0");
    if (keyword == "Mount") return ScriptedReply::Text(++mounts == 1 ? "0" : "5");
    return ScriptedReply::Text("0");
  });
  HWND drivePage = WalkToDrivePage(existing.Path());
  ASSERT_NE(drivePage, nullptr);

  // Cancel at the question: nothing happens.
  MessageBoxInfo box = FinishAndAnswer(drivePage, IDCANCEL);
  EXPECT_EQ(box.caption, L"File Already Exists");
  EXPECT_EQ(box.text, L"This file already exists and will be overwritten.\nAre you sure you want to continue?");
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_TRUE(box.hasCancel);
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(ReadFileText(existing.Path()), "disk");

  // Agreed, then refused by the service: the old disk is back once the box is closed.
  FinishAndAnswer(drivePage, IDOK);
  box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  EXPECT_EQ(box.caption, L"File Access Denied");
  EXPECT_EQ(ReadFileText(existing.Path()), "<missing>");  // out of the way while the service decides
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return ReadFileText(existing.Path()) == "disk"; }, kWindowTimeoutMs));

  // Agreed again (the file is there again), accepted, but the mount fails: back again.
  box = FinishAndAnswer(drivePage, IDOK);
  EXPECT_EQ(box.caption, L"File Already Exists");
  box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  EXPECT_EQ(box.caption, L"Failed to mount");
  EXPECT_EQ(box.text, existing.Path());
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return ReadFileText(existing.Path()) == "disk"; }, kWindowTimeoutMs));
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  EXPECT_TRUE(IsControlEnabled(drivePage, IDOK));

  // Mounted at last: only now is the old file gone.
  CDriveLetter newDrive(L'E');
  FinishAndAnswer(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 5);
  EXPECT_EQ(ReadFileText(existing.Path()), "<missing>");
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((existing.Path() + L"*").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a file moved aside was left behind";
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(CreateJourney, AFolderAReadOnlyOrALockedFileIsNotOverwritten) {
  CTempFile locked(L"lv-locked.zel");
  HANDLE holder = CreateFileW(locked.Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CTempFile readOnly(L"lv-readonly.zel");
  SetFileAttributesW(readOnly.Path().c_str(), FILE_ATTRIBUTE_READONLY);
  CTempFile folderName(L"lv-folder.zel");
  DeleteFileW(folderName.Path().c_str());
  CreateDirectoryW(folderName.Path().c_str(), nullptr);
  Serve(Answers("0", "1\n0", "5"));

  for (const std::wstring& path : {folderName.Path(), readOnly.Path(), locked.Path()}) {
    HWND drivePage = WalkToDrivePage(path);
    ASSERT_NE(drivePage, nullptr);
    EXPECT_EQ(FinishAndAnswer(drivePage, IDOK).caption, L"File Already Exists");
    const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    EXPECT_EQ(box.caption, L"Could Not Delete File");
    EXPECT_EQ(box.text, L"The file could not be deleted.\nPlease choose a different filename.");
    EXPECT_EQ(box.icon, MB_ICONWARNING);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    Click(drivePage, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), 2);
  }
  CloseHandle(holder);
  EXPECT_EQ(ReadFileText(readOnly.Path()), "disk");
  EXPECT_EQ(ReadFileText(locked.Path()), "disk");
  EXPECT_NE(GetFileAttributesW(folderName.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  RemoveDirectoryW(folderName.Path().c_str());
  SetFileAttributesW(readOnly.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nC:\n"), Request("Status\nC:\n"), Request("Status\nC:\n")));
}

TEST_F(CreateJourney, AnEmptyLocationIsOnlyAskedAboutAtTheService) {
  Serve(Answers("0", "0\n1", "5"));
  ASSERT_TRUE(program.Start(L"/c C:\\x.zel"));
  HWND location = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(location, nullptr);
  SetControlText(location, IDC_LOCATION, L"");
  Click(location, IDOK);
  HWND passphrasePage = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(passphrasePage, nullptr);
  EXPECT_EQ(ControlText(passphrasePage, IDC_LOCATION), L"");
  Click(passphrasePage, IDOK);
  HWND drivePage = WaitFor(program, IsCreateDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), L"");
  EXPECT_EQ(FinishAndAnswer(drivePage, IDOK).caption, L"Invalid File");
  EXPECT_THAT(Requests(), ElementsAre(Request("StorageAccessible\n\n\n")));
}

TEST_F(CreateJourney, GoingBackCarriesTheNewLocationAndLabelForward) {
  Serve(Answers("0", "1\n0", "6"));
  HWND drivePage = WalkToDrivePage(L"C:\\first.zel", L"First");
  ASSERT_NE(drivePage, nullptr);
  Click(drivePage, IDC_BACK);
  HWND passphrasePage = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(passphrasePage, nullptr);
  Click(passphrasePage, IDC_BACK);
  HWND location = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(location, nullptr);
  EXPECT_EQ(ControlText(location, IDC_VOLUME_LABEL), L"First");  // kept while hidden
  SetControlText(location, IDC_LOCATION, L"\\\\server\\share\\second.zel");
  SetControlText(location, IDC_VOLUME_LABEL, L"Second");
  Click(location, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(passphrasePage) != FALSE; }, kWindowTimeoutMs));
  Click(passphrasePage, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(drivePage) != FALSE; }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), L"\\\\server\\share\\second.zel");

  CDriveLetter newDrive(L'E');
  Click(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 6);
  // A network path is not asked about with Status.
  EXPECT_THAT(Requests(), ElementsAre(Request("StorageAccessible\n\\\\server\\share\\second.zel\n\n"),
                                      Request("Mount\n\\\\server\\share\\second.zel\nE:\nSecond\n\n0\n")));
}

TEST_F(CreateJourney, AWizardClosedUnderItsBoxLeavesTheDiskAndTheProgramAlone) {
  CTempFile existing(L"lv-closed-under-box.zel");
  Serve(Answers("0", "1\n0", "5"));
  ASSERT_TRUE(program.Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  Click(start, IDC_CREATE);
  HWND drivePage = WalkOnToDrivePage(WaitFor(program, IsCreatePathPage), existing.Path());
  ASSERT_NE(drivePage, nullptr);

  // The pages stay usable under the box: the user cancels the wizard, then agrees to overwrite.
  Click(drivePage, IDOK);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_EQ(box.caption, L"File Already Exists");
  Click(drivePage, IDCANCEL);
  ASSERT_TRUE(WaitGone(drivePage));
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));

  // The start window still answers, and whatever the closed flow might still have sent would
  // have come before what the next click asks for.
  Click(start, IDC_DISCONNECT);
  HWND unmountPage = WaitFor(program, IsUnmountPage);
  ASSERT_NE(unmountPage, nullptr);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nC:\n"), Request("ListSize\n")));
  EXPECT_EQ(ReadFileText(existing.Path()), "disk");
  EXPECT_TRUE(NoMessageBox(program.Pid()));
  Click(unmountPage, IDCANCEL);
  Click(start, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

TEST_F(CreateJourney, ASecondFinishWhileTheFirstAsksRunsNothing) {
  Serve(Answers("0", "1\n0", "7"));
  HWND drivePage = WalkToDrivePage(L"C:\\twice.zel", L"", L"pw");
  ASSERT_NE(drivePage, nullptr);
  CDriveLetter newDrive(L'E');
  Click(drivePage, IDOK);
  Click(drivePage, IDOK);  // handled while the first click's box is open
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_EQ(box.caption, L"A new, encrypted Virtual Disk will be created.");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(ExitCodeOf(program), 7);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nC:\n"), Request("StorageAccessible\nC:\\twice.zel\npw\n"),
                                      Request("Mount\nC:\\twice.zel\nE:\n\npw\n0\n")));
}

TEST_F(CreateJourney, ATypedRelativeLocationGoesOutInFullAndAFullOneAsTyped) {
  CTempFile folder(L"lv-unused");
  CCurrentFolder current(folder.Path().substr(0, folder.Path().rfind(L'\\') + 1));
  Serve(Answers("0", "0\n1", "0"));
  const std::wstring full = current.Inside(L"lv-relative.zel");
  for (const std::wstring& typed : {std::wstring(L"lv-relative.zel"), std::wstring(L"C:\\dir/sub\\..\\odd.zel")}) {
    HWND drivePage = WalkToDrivePage(typed);
    ASSERT_NE(drivePage, nullptr);
    EXPECT_EQ(FinishAndAnswer(drivePage, IDOK).caption, L"Invalid File");
    Click(drivePage, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), 2);
  }
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\n" + Utf8(full.substr(0, 2)) + "\n"),
                                      Request("StorageAccessible\n" + Utf8(full) + "\n\n"), Request("Status\nC:\n"),
                                      Request("StorageAccessible\nC:\\dir/sub\\..\\odd.zel\n\n")));
}

TEST_F(CreateJourney, AnOldDiskThatCannotGoBackIsNamedAndKept) {
  CTempFile existing(L"lv-kept-aside.zel");
  const std::wstring aside = existing.Path() + L".replaced-1";
  // The service fails after leaving a folder where the old disk stood.
  Serve([&](const std::string& request) {
    const std::string keyword = request.substr(0, request.find('\n'));
    if (keyword == "StorageAccessible") return ScriptedReply::Text("1\n0");
    if (keyword == "Mount") CreateDirectoryW(existing.Path().c_str(), nullptr);
    return ScriptedReply::Text("0");
  });
  HWND drivePage = WalkToDrivePage(existing.Path());
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(FinishAndAnswer(drivePage, IDOK).caption, L"File Already Exists");
  MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  EXPECT_EQ(box.caption, L"Failed to mount");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  EXPECT_EQ(box.caption, L"File Kept Aside");
  EXPECT_EQ(box.text, L"The existing file could not be put back.\nIt is kept as:\n" + aside);
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_FALSE(box.hasCancel);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  EXPECT_EQ(ReadFileText(aside), "disk");
  Click(drivePage, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
  EXPECT_EQ(ReadFileText(aside), "disk");
  RemoveDirectoryW(existing.Path().c_str());
  DeleteFileW(aside.c_str());
}

TEST_F(CreateJourney, AnEncryptedDiskIsCreatedFromTheKeyboardAlone) {
  Serve(Answers("0", "1\n0", "4"));
  ASSERT_TRUE(program.Start(L"/c C:\\given.zel"));
  HWND location = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(location, nullptr);
  ASSERT_TRUE(MakeForeground(location));
  // The given location is selected in its field, so typing replaces it.
  EXPECT_EQ(FocusedWindow(location), GetDlgItem(location, IDC_LOCATION));
  TypeText(L"C:\\encrypted.zel");
  PressKey(VK_TAB);  // Browse...
  PressKey(VK_TAB);
  TypeText(L"Vault");
  ASSERT_TRUE(WaitUntil([&] { return ControlText(location, IDC_VOLUME_LABEL) == L"Vault"; }, kWindowTimeoutMs));
  EXPECT_EQ(ControlText(location, IDC_LOCATION), L"C:\\encrypted.zel");
  PressKey(VK_RETURN);

  // Encryption is off: the check box has the focus.
  HWND page = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(WaitForFocusOn(page, IDC_ENCRYPT, kWindowTimeoutMs));
  PressKey(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(page, IDC_PASSPHRASE); }, kWindowTimeoutMs));
  PressKey(VK_TAB);
  TypeText(L"pa ss");
  PressKey(VK_TAB);
  TypeText(L"pa sX");
  PressKey(VK_RETURN);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Password Mismatch");
  ASSERT_TRUE(WaitForFocusIn(box.hwnd, kWindowTimeoutMs));
  PressKey(VK_RETURN);
  // Both fields are empty again, and the passphrase is typed first.
  ASSERT_TRUE(WaitForFocusOn(page, IDC_PASSPHRASE, kWindowTimeoutMs));
  TypeText(L"pa ss");
  PressKey(VK_TAB);
  TypeText(L"pa ss");
  PressKey(VK_RETURN);

  HWND drivePage = WaitFor(program, IsCreateDrivePage);
  ASSERT_NE(drivePage, nullptr);
  ASSERT_TRUE(
      WaitForFocusOn(drivePage, IDC_DRIVE, kWindowTimeoutMs));
  PressKey(VK_RETURN);  // Finish
  const MessageBoxInfo warning = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(warning.hwnd, nullptr);
  EXPECT_EQ(warning.caption, L"A new, encrypted Virtual Disk will be created.");
  ASSERT_TRUE(WaitForFocusIn(warning.hwnd, kWindowTimeoutMs));
  PressKey(VK_RETURN);

  // Waiting for the new drive, everything is off but the focus stays on the page; Escape does
  // not take the mounted disk for a cancelled one.
  ASSERT_TRUE(WaitUntil([&] { return !IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  // The box gives the focus back to the page once it has gone, which takes a moment.
  EXPECT_TRUE(WaitUntil([&] { return IsChild(drivePage, FocusedWindow(drivePage)) != FALSE; }, kWindowTimeoutMs));
  PressKey(VK_ESCAPE);
  CDriveLetter newDrive(L'E');
  EXPECT_EQ(ExitCodeOf(program), 4);
  EXPECT_THAT(Requests(), ElementsAre(Request("Status\nC:\n"), Request("StorageAccessible\nC:\\encrypted.zel\npa ss\n"),
                                      Request("Mount\nC:\\encrypted.zel\nE:\nVault\npa ss\n0\n")));
}

TEST_F(CreateJourney, TheOldDiskComesBackOverWhatAFailedMountLeftAtThePath) {
  // A service may create the new disk file and then fail to attach it: the user's old disk
  // must still come back, over that leftover, and nothing may stay under a side name.
  CTempFile existing(L"lv-leftover.zel");
  const std::string leftover = "a new disk that could not be attached";
  const auto leaveFileAtPath = [&leftover](const std::string& request) {
    const std::string path = RequestLine(request, 1);
    HANDLE file = CreateFileW(std::wstring(path.begin(), path.end()).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);  // ASCII paths
    DWORD written = 0;
    WriteFile(file, leftover.data(), static_cast<DWORD>(leftover.size()), &written, nullptr);
    CloseHandle(file);
  };
  Serve(CScriptedService::ByKeyword({{"Status", ScriptedReply::Text("0")},
                                     {"StorageAccessible", ScriptedReply::Text("1\n0")},
                                     {"Mount", ScriptedReply::Text("0").After(leaveFileAtPath)}}));
  HWND drivePage = WalkToDrivePage(existing.Path());
  ASSERT_NE(drivePage, nullptr);

  EXPECT_EQ(FinishAndAnswer(drivePage, IDOK).caption, L"File Already Exists");
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  EXPECT_EQ(box.caption, L"Failed to mount");
  EXPECT_EQ(ReadFileText(existing.Path()), leftover);  // the service's file stands at the path
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  // Read once the page is back, after the old file went back: a reader holding the leftover open
  // meanwhile would stand in the way of the replacement, as any other process would.
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  EXPECT_TRUE(NoMessageBox(program.Pid()));
  EXPECT_EQ(ReadFileText(existing.Path()), "disk");

  const std::wstring folder = existing.Path().substr(0, existing.Path().find_last_of(L'\\') + 1);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((existing.Path() + L".replaced-*").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left under a side name: " << Utf8(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) {  // so that a later run starts clean
    do {
      DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
}

TEST_F(CreateJourney, AFolderWithoutRoomForTheNewNameGetsNoNameCutToFit) {
  // 245 characters of folder leave room for "My Virtual Dis" in 260: a proposal cut there names
  // this other file, which Finish would then put the new disk over.
  const std::wstring name = L"lv-long-folder-";
  const std::wstring folderName = name + std::wstring(245 - TempFilePath(name).size(), L'x');
  const std::wstring folder = TempFilePath(folderName);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  {
    CTempFile other(folderName + L"\\My Virtual Dis");
    ASSERT_EQ(other.Path().size(), 260u);
    Serve(Answers("0", "1\n0", "5"));

    // From the command line: refused as a path too long, like any other that does not fit.
    ASSERT_TRUE(program.Start(L"/c " + folder));
    const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    EXPECT_EQ(box.caption, L"Path Too Long");
    if (box.hwnd != nullptr) AnswerMessageBox(box, IDOK);
    EXPECT_EQ(static_cast<DWORD>(ExitCodeOf(program)), static_cast<DWORD>(E_INVALIDARG));

    // As the documents folder, where the start window's Create and /c alone propose the new disk:
    // no location at all.
    CDocumentsFolder documents(folder);
    ASSERT_TRUE(program.Start(L"/c"));
    HWND location = WaitFor(program, IsCreatePathPage);
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(ControlText(location, IDC_LOCATION), L"");
    Click(location, IDCANCEL);
    EXPECT_EQ(ExitCodeOf(program), 2);

    EXPECT_THAT(Requests(), IsEmpty());
    EXPECT_EQ(ReadFileText(other.Path()), "disk");
  }
  RemoveDirectoryW(folder.c_str());
}

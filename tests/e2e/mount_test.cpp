// Journeys through the Mount wizard: from the command line and from the start window, plain
// and encrypted disks, refused files, the recent files and the open-file dialog, failed and
// odd Mount replies, and the wait for the new drive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "tests/e2e/journey.h"
#include "tests/e2e/pages.h"
#include "tools/scripted_service.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr int kFileNameCombo = 0x47C;  // the open-file dialog's file name box

std::string ThirdLine(const std::string& request) {
  const size_t start = request.find('\n', request.find('\n') + 1) + 1;
  return request.substr(start, request.find('\n', start) - start);
}

std::string Probe(const std::string& path, const std::string& passphrase = "") {
  return Request("StorageAccessible\n" + path + "\n" + passphrase + "\n");
}

std::string MountRequest(const std::string& path, const std::string& drive, const std::string& passphrase = "") {
  return Request("Mount\n" + path + "\n" + drive + "\n\n" + passphrase + "\n0\n");
}

// A service whose disk needs the passphrase "right" and mounts as number 3.
CScriptedService::Script EncryptedDisk() {
  return [](const std::string& request) {
    if (request.rfind("StorageAccessible\n", 0) == 0) {
      return ScriptedReply::Text(ThirdLine(request) == "right" ? "1\n0" : "0\n4");
    }
    return ScriptedReply::Text(request.rfind("Mount\n", 0) == 0 ? "3" : "0");
  };
}

// Types passphrase into field id of page as a person does: with a slip put right with Backspace,
// and its middle pasted with the keys paste (then the clipboard is emptied again, as a password
// manager does). False when the field did not follow.
bool EnterPassphrase(HWND page, int id, const std::wstring& passphrase, WORD pasteModifier, WORD pasteKey) {
  const size_t third = passphrase.size() / 3;
  const auto holds = [&](size_t length) {
    return WaitUntil([&] { return ControlText(page, id).size() == length; }, kWindowTimeoutMs);
  };
  if (!WaitForFocusOn(page, id, kWindowTimeoutMs)) return false;
  TypeText(passphrase.substr(0, third) + L"#");
  PressKey(VK_BACK);
  if (!holds(third) || !SetClipboardText(passphrase.substr(third, third))) return false;
  PressChord(pasteModifier, pasteKey);
  if (!holds(2 * third) || !SetClipboardText(L"")) return false;
  TypeText(passphrase.substr(2 * third));
  return holds(passphrase.size());
}

class MountJourney : public ::testing::Test {
 protected:
  void SetUp() override { DeleteHistoryValue(); }
  void TearDown() override { DeleteHistoryValue(); }

  void Serve(CScriptedService::Script script) {
    service = std::make_unique<CScriptedService>(std::move(script));
    ASSERT_TRUE(service->Start());
  }
  bool Start(const std::wstring& arguments) { return program.Start(arguments, SW_SHOWNORMAL, {opened.Environment()}); }
  std::vector<std::string> Requests() const { return service ? service->Requests() : std::vector<std::string>{}; }

  // The open-file dialog of the program.
  HWND WaitForFileDialog() {
    return WaitForWindow(
        program.Pid(), [](HWND h) { return ClassNameOf(h) == L"#32770" && HasControl(h, kFileNameCombo); },
        kWindowTimeoutMs);
  }

  COpenRecorder opened;
  std::unique_ptr<CScriptedService> service;
  CProgram program;  // ends before the service it talks to
};

}  // namespace

TEST_F(MountJourney, APlainDiskFromTheCommandLineMountsAndOpensTheNewDrive) {
  CTempFile disk(L"lv-plain.zel");
  Serve(CScriptedService::ByKeyword(
      {{"StorageAccessible", ScriptedReply::Text("1\n0")}, {"Mount", ScriptedReply::Text("7")}}));
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), disk.Path());
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Finish");
  EXPECT_FALSE(IsControlVisible(drivePage, IDC_BACK));
  // The prefix has C: and Z:; A to D are never offered.
  const std::vector<std::wstring> drives = ComboItems(drivePage, IDC_DRIVE);
  ASSERT_EQ(drives.size(), 21u);
  EXPECT_EQ(drives.front(), L"E:");
  EXPECT_EQ(drives.back(), L"Y:");
  EXPECT_EQ(ComboSelection(drivePage, IDC_DRIVE), 0);
  EXPECT_THAT(Requests(), ElementsAre(Probe(disk.PathUtf8())));

  CDriveLetter newDrive(L'E');
  const DWORD clicked = GetTickCount();
  Click(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 7);
  // The letter is there at the first tick; the drive opens after the pause.
  EXPECT_GE(GetTickCount() - clicked, 3500u);
  EXPECT_THAT(Requests(), ElementsAre(Probe(disk.PathUtf8()), MountRequest(disk.PathUtf8(), "E:")));
  EXPECT_EQ(HistoryValue(), disk.Path() + L"\n");
  EXPECT_TRUE(WaitUntil([this] { return !opened.Lines().empty(); }, kWindowTimeoutMs));
  EXPECT_THAT(opened.Lines(), ElementsAre("E:\\"));
}

TEST_F(MountJourney, AnEncryptedDiskTakesAWrongThenTheRightPassphrase) {
  CTempFile disk(L"lv-encrypted.zel");
  Serve(EncryptedDisk());
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Next");
  Click(drivePage, IDOK);

  HWND passphrasePage = WaitFor(program, IsMountPassphrasePage);
  ASSERT_NE(passphrasePage, nullptr);
  EXPECT_TRUE(WaitHidden(drivePage));
  EXPECT_EQ(ControlText(passphrasePage, IDC_LOCATION), disk.Path());
  EXPECT_EQ(HistoryValue(), disk.Path() + L"\n");  // written before any passphrase is tried

  SetControlText(passphrasePage, IDC_PASSPHRASE, L"wrong");
  Click(passphrasePage, IDOK);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Invalid Passphrase");
  EXPECT_EQ(box.text, L"The passphrase is invalid.");
  EXPECT_EQ(box.icon, MB_ICONWARNING);
  EXPECT_FALSE(box.hasCancel);
  EXPECT_EQ(ControlText(passphrasePage, IDC_PASSPHRASE), L"");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_TRUE(IsControlEnabled(passphrasePage, IDOK));

  SetControlText(passphrasePage, IDC_PASSPHRASE, L"right");
  CDriveLetter newDrive(L'E');
  Click(passphrasePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 3);
  EXPECT_THAT(Requests(), ElementsAre(Probe(disk.PathUtf8()), Probe(disk.PathUtf8(), "wrong"),
                                      Probe(disk.PathUtf8(), "right"), MountRequest(disk.PathUtf8(), "E:", "right")));
}

TEST_F(MountJourney, ARefusedFileShowsWhyAndEndsTheProgram) {
  struct Refusal {
    const char* reply;
    const wchar_t* caption;
    const wchar_t* text;
  };
  const Refusal refusals[] = {
      {"0\n1", L"Invalid File", L"The selected file is invalid."},
      {"0\n2", L"File Access Denied", L"Access was denied to the selected file."},
      {"0\n9", L"File Error", L"The selected file could not be loaded."},
  };
  CTempFile disk(L"lv-refused.zel");
  for (const Refusal& refusal : refusals) {
    Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text(refusal.reply)}}));
    ASSERT_TRUE(Start(L"/m " + disk.Path()));
    const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
    ASSERT_NE(box.hwnd, nullptr) << refusal.reply;
    EXPECT_EQ(box.caption, refusal.caption);
    EXPECT_EQ(box.text, refusal.text);
    EXPECT_EQ(box.icon, MB_ICONERROR);
    EXPECT_EQ(TopWindows(program.Pid()).size(), 1u);  // no page behind it
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(static_cast<DWORD>(ExitCodeOf(program)), static_cast<DWORD>(E_INVALIDARG));
  }
}

TEST_F(MountJourney, WithoutAServiceAGivenFileCannotBeLoaded) {
  CTempFile disk(L"lv-noservice.zel");
  ASSERT_TRUE(Start(disk.Path()));  // a bare path works like /m
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"File Error");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_EQ(static_cast<DWORD>(ExitCodeOf(program)), static_cast<DWORD>(E_INVALIDARG));
}

TEST_F(MountJourney, APathWhereNothingExistsOpensTheEmptyLocationPage) {
  Serve(CScriptedService::ByKeyword({}));
  ASSERT_TRUE(Start(L"/m C:\\no such folder\\x.zel"));
  HWND pathPage = WaitFor(program, IsMountPathPage);
  ASSERT_NE(pathPage, nullptr);
  EXPECT_THAT(ComboItems(pathPage, IDC_LOCATION), ElementsAre(L"", L"Browse..."));
  EXPECT_EQ(ComboSelection(pathPage, IDC_LOCATION), 0);
  EXPECT_FALSE(IsControlEnabled(pathPage, IDOK));
  EXPECT_THAT(Requests(), IsEmpty());
}

TEST_F(MountJourney, ARecentFileIsChosenFromTheStartWindow) {
  CTempFile recent(L"lv-recent.zel");
  CTempFile other(L"lv-other.zel");
  SetHistoryValue(other.Path() + L"\n" + recent.Path() + L"\nC:\\gone\\gone.zel\n");
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("1\n0")}}));
  ASSERT_TRUE(Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  Click(start, IDC_MOUNT);

  HWND pathPage = WaitFor(program, IsMountPathPage);
  ASSERT_NE(pathPage, nullptr);
  EXPECT_THAT(ComboItems(pathPage, IDC_LOCATION), ElementsAre(L"", other.Path(), recent.Path(), L"Browse..."));
  EXPECT_EQ(ComboSelection(pathPage, IDC_LOCATION), 0);
  EXPECT_FALSE(IsControlEnabled(pathPage, IDOK));
  EXPECT_FALSE(IsControlVisible(pathPage, IDC_BACK));
  EXPECT_EQ(HistoryValue(), other.Path() + L"\n" + recent.Path() + L"\n");  // the missing file is forgotten

  SelectComboItem(pathPage, IDC_LOCATION, 2);
  ASSERT_TRUE(WaitUntil([&] { return ComboItems(pathPage, IDC_LOCATION)[1] == recent.Path(); }, kWindowTimeoutMs));
  EXPECT_THAT(ComboItems(pathPage, IDC_LOCATION), ElementsAre(L"", recent.Path(), other.Path(), L"Browse..."));
  EXPECT_EQ(ComboSelection(pathPage, IDC_LOCATION), 1);
  EXPECT_TRUE(IsControlEnabled(pathPage, IDOK));
  EXPECT_EQ(HistoryValue(), recent.Path() + L"\n" + other.Path() + L"\n");

  Click(pathPage, IDOK);
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), recent.Path());
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Finish");
  EXPECT_TRUE(IsControlVisible(drivePage, IDC_BACK));
  EXPECT_THAT(Requests(), ElementsAre(Probe(recent.PathUtf8())));

  Click(drivePage, IDC_BACK);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(pathPage) != FALSE; }, kWindowTimeoutMs));
  EXPECT_EQ(ComboSelection(pathPage, IDC_LOCATION), 1);
  Click(pathPage, IDCANCEL);
  EXPECT_TRUE(WaitGone(pathPage));
  EXPECT_TRUE(WaitGone(drivePage));
  EXPECT_TRUE(IsWindowVisible(start));
}

TEST_F(MountJourney, BrowsingPicksAFileAndCancellingChangesNothing) {
  CTempFile picked(L"lv-picked.zel");
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("0\n4")}}));
  ASSERT_TRUE(Start(L"/m"));
  HWND pathPage = WaitFor(program, IsMountPathPage);
  ASSERT_NE(pathPage, nullptr);

  // Cancelled from the empty entry: still the empty entry, Next still off.
  SelectComboItem(pathPage, IDC_LOCATION, 1);
  HWND dialog = WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, IDCANCEL);
  ASSERT_TRUE(WaitGone(dialog) || WaitHidden(dialog));
  ASSERT_TRUE(WaitUntil([&] { return ComboSelection(pathPage, IDC_LOCATION) == 0; }, kWindowTimeoutMs));
  EXPECT_FALSE(IsControlEnabled(pathPage, IDOK));

  // Picked: at the front of the list and selected.
  SelectComboItem(pathPage, IDC_LOCATION, 1);
  dialog = WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  SetControlText(dialog, kFileNameCombo, picked.Path());
  Click(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return ComboItems(pathPage, IDC_LOCATION).size() == 3; }, kWindowTimeoutMs));
  EXPECT_THAT(ComboItems(pathPage, IDC_LOCATION), ElementsAre(L"", picked.Path(), L"Browse..."));
  EXPECT_EQ(ComboSelection(pathPage, IDC_LOCATION), 1);
  EXPECT_TRUE(IsControlEnabled(pathPage, IDOK));
  EXPECT_EQ(HistoryValue(), picked.Path() + L"\n");

  // Cancelled from a chosen file: that file stays selected and Next stays on.
  SelectComboItem(pathPage, IDC_LOCATION, 2);
  dialog = WaitForFileDialog();
  ASSERT_NE(dialog, nullptr);
  Click(dialog, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return ComboSelection(pathPage, IDC_LOCATION) == 1; }, kWindowTimeoutMs));
  EXPECT_TRUE(IsControlEnabled(pathPage, IDOK));

  // An encrypted disk: the drive page's button leads on to the passphrase page.
  Click(pathPage, IDOK);
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  EXPECT_EQ(ControlText(drivePage, IDOK), L"Next");
  EXPECT_THAT(Requests(), ElementsAre(Probe(picked.PathUtf8())));
}

TEST_F(MountJourney, AFailedMountLeavesThePageUsableForAnotherTry) {
  CTempFile disk(L"lv-failing.zel");
  int mounts = 0;
  Serve([&mounts](const std::string& request) {
    if (request.rfind("Mount\n", 0) == 0) return ScriptedReply::Text(++mounts == 1 ? "0" : "5");
    return ScriptedReply::Text("1\n0");
  });
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  ASSERT_TRUE(MakeForeground(drivePage));
  Click(drivePage, IDOK);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Failed to mount");
  EXPECT_EQ(box.text, disk.Path());
  EXPECT_EQ(box.icon, 0);
  EXPECT_FALSE(box.hasCancel);
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  // Cancel is the last control to come back.
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  EXPECT_TRUE(IsControlEnabled(drivePage, IDC_DRIVE));
  EXPECT_TRUE(IsControlEnabled(drivePage, IDOK));
  // The focus, parked on the read-only location while the controls were off, is in the drive list.
  EXPECT_TRUE(WaitForFocusOn(drivePage, IDC_DRIVE, kWindowTimeoutMs));
  EXPECT_EQ(HistoryValue(), disk.Path() + L"\n");

  SelectComboItem(drivePage, IDC_DRIVE, 1);
  CDriveLetter newDrive(L'F');
  Click(drivePage, IDOK);
  EXPECT_EQ(ExitCodeOf(program), 5);
  const std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], MountRequest(disk.PathUtf8(), "E:"));
  EXPECT_EQ(requests[2], MountRequest(disk.PathUtf8(), "F:"));
}

TEST_F(MountJourney, ANegativeMountReplyStillEndsTheProgramWithIt) {
  CTempFile disk(L"lv-negative.zel");
  Serve(CScriptedService::ByKeyword(
      {{"StorageAccessible", ScriptedReply::Text("1\n0")}, {"Mount", ScriptedReply::Text("-5")}}));
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  CDriveLetter newDrive(L'E');
  Click(drivePage, IDOK);
  EXPECT_EQ(static_cast<int>(ExitCodeOf(program)), -5);
  EXPECT_TRUE(WaitUntil([this] { return !opened.Lines().empty(); }, kWindowTimeoutMs));
}

TEST_F(MountJourney, ADriveThatNeverAppearsEndsTheWaitAtTheEleventhTick) {
  CTempFile disk(L"lv-nodrive.zel");
  Serve(CScriptedService::ByKeyword(
      {{"StorageAccessible", ScriptedReply::Text("1\n0")}, {"Mount", ScriptedReply::Text("9")}}));
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  const DWORD clicked = GetTickCount();
  Click(drivePage, IDOK);
  // Cancel is the last control to go off while the page waits.
  ASSERT_TRUE(WaitUntil([&] { return !IsControlEnabled(drivePage, IDCANCEL); }, kWindowTimeoutMs));
  EXPECT_FALSE(IsControlEnabled(drivePage, IDOK));
  EXPECT_FALSE(IsControlEnabled(drivePage, IDC_DRIVE));
  DWORD code = 0;
  ASSERT_TRUE(program.WaitExit(20000, &code));
  EXPECT_EQ(code, 9u);
  const DWORD elapsed = GetTickCount() - clicked;
  EXPECT_GE(elapsed, 10500u);
  EXPECT_LT(elapsed, 14000u);
  EXPECT_THAT(opened.Lines(), IsEmpty());
}

TEST_F(MountJourney, ARelativePathOnTheCommandLineGoesOutInFull) {
  CTempFile disk(L"lv-relative-mount.zel");
  CCurrentFolder current(disk.Path().substr(0, disk.Path().rfind(L'\\') + 1));
  Serve(CScriptedService::ByKeyword({{"StorageAccessible", ScriptedReply::Text("1\n0")}}));
  ASSERT_TRUE(Start(L"/m lv-relative-mount.zel"));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  const std::wstring full = current.Inside(L"lv-relative-mount.zel");
  EXPECT_EQ(ControlText(drivePage, IDC_LOCATION), full);
  EXPECT_THAT(Requests(), ElementsAre(Probe(std::string(full.begin(), full.end()))));
  Click(drivePage, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

TEST_F(MountJourney, AnEncryptedDiskIsMountedFromTheKeyboardAlone) {
  CTempFile disk(L"lv-keyboard.zel");
  Serve(EncryptedDisk());
  ASSERT_TRUE(Start(L"/m " + disk.Path()));
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  ASSERT_TRUE(MakeForeground(drivePage));
  EXPECT_EQ(FocusedWindow(drivePage), GetDlgItem(drivePage, IDC_DRIVE));
  PressKey(VK_RETURN);  // Next

  // Typed straight into the passphrase field, then Finish pressed; after the refusal the focus
  // is back in the field.
  HWND passphrasePage = WaitFor(program, IsMountPassphrasePage);
  ASSERT_NE(passphrasePage, nullptr);
  ASSERT_TRUE(WaitForFocusOn(passphrasePage, IDC_PASSPHRASE, kWindowTimeoutMs));
  TypeText(L"wrong");
  PressKey(VK_TAB);
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitForFocusOn(passphrasePage, IDOK, kWindowTimeoutMs));
  PressKey(VK_RETURN);
  const MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Invalid Passphrase");
  ASSERT_TRUE(WaitForFocusIn(box.hwnd, kWindowTimeoutMs));
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitForFocusOn(passphrasePage, IDC_PASSPHRASE, kWindowTimeoutMs));
  TypeText(L"right");
  CDriveLetter newDrive(L'E');
  PressKey(VK_RETURN);
  EXPECT_EQ(ExitCodeOf(program), 3);
  EXPECT_THAT(Requests(), ElementsAre(Probe(disk.PathUtf8()), Probe(disk.PathUtf8(), "wrong"),
                                      Probe(disk.PathUtf8(), "right"), MountRequest(disk.PathUtf8(), "E:", "right")));
}

TEST_F(MountJourney, APassphraseLeavesNoTraceInTheProgramAfterARefusalOrAClose) {
  CTempFile disk(L"lv-secret.zel");
  SetHistoryValue(disk.Path() + L"\n");
  Serve(EncryptedDisk());
  ASSERT_TRUE(Start(L""));
  HWND start = WaitFor(program, IsStartWindow);
  ASSERT_NE(start, nullptr);
  Click(start, IDC_MOUNT);
  HWND pathPage = WaitFor(program, IsMountPathPage);
  ASSERT_NE(pathPage, nullptr);
  SelectComboItem(pathPage, IDC_LOCATION, 1);
  ASSERT_TRUE(WaitUntil([&] { return IsControlEnabled(pathPage, IDOK); }, kWindowTimeoutMs));
  Click(pathPage, IDOK);
  HWND drivePage = WaitFor(program, IsMountDrivePage);
  ASSERT_NE(drivePage, nullptr);
  Click(drivePage, IDOK);
  HWND passphrasePage = WaitFor(program, IsMountPassphrasePage);
  ASSERT_NE(passphrasePage, nullptr);

  // An accented letter makes its UTF-8 differ from its UTF-16; any six characters of it in a
  // row, in either, count as a trace.
  const std::wstring passphrase = L"Qx7-mark\u00e9r-Zk4-left-behind-9";
  const std::string sent = "Qx7-mark\xC3\xA9r-Zk4-left-behind-9";
  const std::vector<std::string> pieces = PiecesOf(passphrase, 6);
  const auto traces = [&] { return FoundInMemory(program.Pid(), pieces).size(); };
  ASSERT_TRUE(MakeForeground(passphrasePage));
  ASSERT_TRUE(EnterPassphrase(passphrasePage, IDC_PASSPHRASE, passphrase, VK_CONTROL, 'V'));
  EXPECT_GT(traces(), 0u);  // the field holds it, and the search sees it
  // What the control holds, read from this process, is placeholders only.
  EXPECT_EQ(ControlText(passphrasePage, IDC_PASSPHRASE).find_first_of(passphrase), std::wstring::npos);
  PressKey(VK_RETURN);
  MessageBoxInfo box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Invalid Passphrase");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  EXPECT_THAT(Requests(), ElementsAre(Probe(disk.PathUtf8()), Probe(disk.PathUtf8(), sent)));
  EXPECT_EQ(traces(), 0u) << "after the refusal";
  ASSERT_TRUE(WaitForFocusOn(passphrasePage, IDC_PASSPHRASE, kWindowTimeoutMs));
  TypeText(passphrase);
  ASSERT_TRUE(WaitUntil([&] { return ControlText(passphrasePage, IDC_PASSPHRASE).size() == passphrase.size(); },
                        kWindowTimeoutMs));
  Click(passphrasePage, IDCANCEL);
  ASSERT_TRUE(WaitGone(passphrasePage));
  EXPECT_EQ(traces(), 0u) << "after the Mount wizard closed";

  // Create's two fields, refused as different, then given on to the drive page, which closes.
  Click(start, IDC_CREATE);
  HWND location = WaitFor(program, IsCreatePathPage);
  ASSERT_NE(location, nullptr);
  Click(location, IDOK);
  HWND createPage = WaitFor(program, IsCreatePassphrasePage);
  ASSERT_NE(createPage, nullptr);
  ASSERT_TRUE(MakeForeground(createPage));
  ASSERT_TRUE(WaitForFocusOn(createPage, IDC_ENCRYPT, kWindowTimeoutMs));
  PressKey(VK_SPACE);
  ASSERT_TRUE(WaitUntil([&] { return IsControlVisible(createPage, IDC_PASSPHRASE); }, kWindowTimeoutMs));
  PressKey(VK_TAB);
  ASSERT_TRUE(EnterPassphrase(createPage, IDC_PASSPHRASE, passphrase, VK_SHIFT, VK_INSERT));
  PressKey(VK_TAB);
  ASSERT_TRUE(EnterPassphrase(createPage, IDC_CONFIRM, passphrase.substr(1), VK_CONTROL, 'V'));
  EXPECT_EQ(ControlText(createPage, IDC_CONFIRM).find_first_of(passphrase), std::wstring::npos);
  PressKey(VK_RETURN);
  box = WaitForMessageBox(program.Pid(), kWindowTimeoutMs);
  ASSERT_NE(box.hwnd, nullptr);
  EXPECT_EQ(box.caption, L"Password Mismatch");
  ASSERT_TRUE(AnswerMessageBox(box, IDOK));
  ASSERT_TRUE(WaitForFocusOn(createPage, IDC_PASSPHRASE, kWindowTimeoutMs));
  EXPECT_EQ(traces(), 0u) << "after the mismatch";
  TypeText(passphrase);
  PressKey(VK_TAB);
  TypeText(passphrase);
  PressKey(VK_RETURN);
  HWND createDrivePage = WaitFor(program, IsCreateDrivePage);
  ASSERT_NE(createDrivePage, nullptr);
  Click(createDrivePage, IDCANCEL);
  ASSERT_TRUE(WaitGone(createDrivePage));
  EXPECT_EQ(traces(), 0u) << "after the Create wizard closed";
  EXPECT_EQ(Requests().size(), 2u);
  EXPECT_TRUE(IsWindowVisible(start));
  Click(start, IDCANCEL);
  EXPECT_EQ(ExitCodeOf(program), 2);
}

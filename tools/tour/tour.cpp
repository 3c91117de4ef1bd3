// The tour: starts Lockvale, creates an encrypted disk, disconnects it, mounts it again with its
// passphrase, disconnects it once more and leaves, saying what it does at each step and saving a
// picture of each window it passes. Usage: tour <folder for pictures> <folder for the disk>
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/e2e/driver.h"
#include "tools/tour/screenshot.h"
#include "utility/res/resource.h"

namespace {

constexpr DWORD kTimeoutMs = 20000;
constexpr wchar_t kPassphrase[] = L"correct horse 42";

std::wstring g_pictures;
int g_nPicture = 0;

void Say(const char* step) {
  std::printf("tour: %s\n", step);
  std::fflush(stdout);
}

[[noreturn]] void Fail(const char* what) {
  std::printf("tour: FAILED: %s\n", what);
  std::fflush(stdout);
  ExitProcess(1);
}

void Picture(HWND hwnd, const wchar_t* name) {
  // The default button and its neighbour share a column of pixels at this scale, and which of
  // them shows there depends on which painted last: the window is painted afresh, then the
  // default button once more, so every picture is taken in the same state.
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  if (!WaitUntilPainted(hwnd)) Fail("could not see a window");
  if (HWND defaultButton = GetDlgItem(hwnd, IDOK)) RedrawWindow(defaultButton, nullptr, nullptr, RDW_INVALIDATE);
  wchar_t prefix[8];
  swprintf(prefix, 8, L"%02d-", ++g_nPicture);
  const std::wstring path = g_pictures + L"\\" + prefix + name + L".bmp";
  if (!SaveWindowPicture(hwnd, path)) Fail("could not save a picture");
}

HWND Expect(const CProgram& program, bool (*pred)(HWND), const char* what) {
  HWND hwnd = WaitForWindow(program.Pid(), pred, kTimeoutMs);
  if (hwnd == nullptr) Fail(what);
  return hwnd;
}

MessageBoxInfo ExpectBox(const CProgram& program, const wchar_t* caption) {
  MessageBoxInfo box = WaitForMessageBox(program.Pid(), kTimeoutMs);
  if (box.hwnd == nullptr || (caption != nullptr && box.caption != caption))
    Fail("the expected message box did not come");
  return box;
}

bool HasHeading(HWND hwnd, const wchar_t* text) { return ControlText(hwnd, IDC_HEADING) == text; }
bool IsStartWindow(HWND h) { return HasControl(h, IDC_CREATE) && HasControl(h, ID_APP_ABOUT); }
bool IsAbout(HWND h) { return WindowText(h) == L"About"; }
bool IsCreateLocation(HWND h) {
  return HasHeading(h, L"Create a new Virtual Disk:") && HasControl(h, IDC_VOLUME_LABEL);
}
bool IsCreatePassphrase(HWND h) { return HasHeading(h, L"Create a new Virtual Disk:") && HasControl(h, IDC_ENCRYPT); }
bool IsCreateDrive(HWND h) { return HasHeading(h, L"Mount a new Virtual Disk:"); }
bool IsMountLocation(HWND h) {
  return HasHeading(h, L"Mount an existing Virtual Disk:") && !HasControl(h, IDC_DRIVE) &&
         !HasControl(h, IDC_PASSPHRASE);
}
bool IsMountDrive(HWND h) { return HasHeading(h, L"Mount an existing Virtual Disk:") && HasControl(h, IDC_DRIVE); }
bool IsMountPassphrase(HWND h) {
  return HasHeading(h, L"Mount an existing Virtual Disk:") && HasControl(h, IDC_PASSPHRASE);
}
bool IsDisconnect(HWND h) { return HasHeading(h, L"Disconnect a Virtual Disk:"); }

void WaitClosed(HWND hwnd, const char* what) {
  if (!WaitUntil([hwnd] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, kTimeoutMs)) Fail(what);
}

// Unmounts the one mounted disk from the Disconnect page opened from the start window.
void Disconnect(const CProgram& program, HWND start, bool pictures) {
  Click(start, IDC_DISCONNECT);
  HWND page = Expect(program, IsDisconnect, "the Disconnect page did not open");
  if (ComboItems(page, IDC_DRIVE).empty()) Fail("the new disk is not listed");
  if (pictures) Picture(page, L"disconnect-list");
  Click(page, IDOK);
  const MessageBoxInfo box = ExpectBox(program, nullptr);
  if (pictures) Picture(box.hwnd, L"disconnect-confirm");
  AnswerMessageBox(box, IDOK);
  if (!WaitUntil([page] { return IsControlVisible(page, IDC_MOUNTED_ENTRY); }, kTimeoutMs))
    Fail("the disk stayed mounted");
  if (pictures) Picture(page, L"disconnect-none");
  Click(page, IDCANCEL);
  WaitClosed(page, "the Disconnect page did not close");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf("usage: tour <folder for pictures> <folder for the disk>\n");
    return 2;
  }
  g_pictures = argv[1];
  const std::wstring disk = std::wstring(argv[2]) + L"\\Tour Disk.zel";
  CreateDirectoryW(g_pictures.c_str(), nullptr);
  CreateDirectoryW(argv[2], nullptr);
  DeleteFileW(disk.c_str());

  CProgram program;
  Say("starting Lockvale");
  if (!program.Start(L"")) Fail("Lockvale did not start");
  HWND start = Expect(program, IsStartWindow, "the start window did not open");
  Picture(start, L"start-window");

  Say("opening the About box");
  Click(start, ID_APP_ABOUT);
  HWND about = Expect(program, IsAbout, "the About box did not open");
  Picture(about, L"about");
  Click(about, IDOK);
  WaitClosed(about, "the About box did not close");

  Say("creating an encrypted disk");
  Click(start, IDC_CREATE);
  HWND location = Expect(program, IsCreateLocation, "the Create wizard did not open");
  SetControlText(location, IDC_LOCATION, disk);
  SetControlText(location, IDC_VOLUME_LABEL, L"Tour");
  Picture(location, L"create-location");
  Click(location, IDOK);
  HWND passphrase = Expect(program, IsCreatePassphrase, "the passphrase page did not open");
  ClickCheckBox(passphrase, IDC_ENCRYPT);
  if (!WaitUntil([passphrase] { return IsControlVisible(passphrase, IDC_PASSPHRASE); }, kTimeoutMs))
    Fail("no passphrase fields");
  SetControlText(passphrase, IDC_PASSPHRASE, kPassphrase);
  SetControlText(passphrase, IDC_CONFIRM, kPassphrase);
  Picture(passphrase, L"create-passphrase");
  Click(passphrase, IDOK);
  HWND drive = Expect(program, IsCreateDrive, "the drive page did not open");
  Picture(drive, L"create-drive");
  Click(drive, IDOK);
  MessageBoxInfo box = ExpectBox(program, L"A new, encrypted Virtual Disk will be created.");
  Picture(box.hwnd, L"create-warning");
  AnswerMessageBox(box, IDOK);
  Say("waiting for the new drive");
  WaitClosed(drive, "the Create wizard did not finish");

  Say("disconnecting it");
  Disconnect(program, start, true);

  Say("mounting it again with its passphrase");
  Click(start, IDC_MOUNT);
  HWND mountLocation = Expect(program, IsMountLocation, "the Mount wizard did not open");
  SelectComboItem(mountLocation, IDC_LOCATION, 1);  // the recent file
  if (!WaitUntil([mountLocation] { return IsControlEnabled(mountLocation, IDOK); }, kTimeoutMs)) Fail("no recent file");
  Picture(mountLocation, L"mount-location");
  Click(mountLocation, IDOK);
  HWND mountDrive = Expect(program, IsMountDrive, "the drive page did not open");
  Picture(mountDrive, L"mount-drive");
  Click(mountDrive, IDOK);
  HWND mountPassphrase = Expect(program, IsMountPassphrase, "the passphrase page did not open");
  SetControlText(mountPassphrase, IDC_PASSPHRASE, kPassphrase);
  Picture(mountPassphrase, L"mount-passphrase");
  Click(mountPassphrase, IDOK);
  Say("waiting for the drive");
  WaitClosed(mountPassphrase, "the Mount wizard did not finish");

  Say("disconnecting it again");
  Disconnect(program, start, false);

  Say("leaving");
  Click(start, IDCANCEL);
  DWORD code = 0;
  if (!program.WaitExit(kTimeoutMs, &code) || code != 2) Fail("Lockvale did not end with Exit");
  DeleteFileW(disk.c_str());
  Say("done");
  return 0;
}

// Telling the program's windows apart from outside, and common steps of the journeys.
#pragma once

#include <windows.h>

#include <string>

#include "tests/e2e/driver.h"
#include "utility/res/resource.h"

constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 15000;

inline bool IsStartWindow(HWND hwnd) { return HasControl(hwnd, IDC_CREATE) && HasControl(hwnd, ID_APP_ABOUT); }

inline bool HasHeading(HWND hwnd, const wchar_t* heading) { return ControlText(hwnd, IDC_HEADING) == heading; }

inline bool IsCreatePathPage(HWND hwnd) {
  return HasHeading(hwnd, L"Create a new Virtual Disk:") && HasControl(hwnd, IDC_VOLUME_LABEL);
}
inline bool IsCreatePassphrasePage(HWND hwnd) {
  return HasHeading(hwnd, L"Create a new Virtual Disk:") && HasControl(hwnd, IDC_ENCRYPT);
}
inline bool IsCreateDrivePage(HWND hwnd) { return HasHeading(hwnd, L"Mount a new Virtual Disk:"); }
inline bool IsMountPathPage(HWND hwnd) {
  return HasHeading(hwnd, L"Mount an existing Virtual Disk:") && !HasControl(hwnd, IDC_DRIVE) &&
         !HasControl(hwnd, IDC_PASSPHRASE);
}
inline bool IsMountDrivePage(HWND hwnd) {
  return HasHeading(hwnd, L"Mount an existing Virtual Disk:") && HasControl(hwnd, IDC_DRIVE);
}
inline bool IsMountPassphrasePage(HWND hwnd) {
  return HasHeading(hwnd, L"Mount an existing Virtual Disk:") && HasControl(hwnd, IDC_PASSPHRASE);
}
inline bool IsUnmountPage(HWND hwnd) { return HasHeading(hwnd, L"Disconnect a Virtual Disk:"); }

// Waits for a visible window of the program that passes pred.
inline HWND WaitFor(const CProgram& program, bool (*pred)(HWND)) {
  return WaitForWindow(program.Pid(), pred, kWindowTimeoutMs);
}

// Waits until hwnd is hidden or gone.
inline bool WaitHidden(HWND hwnd) {
  return WaitUntil([hwnd] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, kWindowTimeoutMs);
}

inline bool WaitGone(HWND hwnd) {
  return WaitUntil([hwnd] { return !IsWindow(hwnd); }, kWindowTimeoutMs);
}

// The program's exit code, or -1 when it did not end in time.
inline long ExitCodeOf(CProgram& program) {
  DWORD code = 0;
  return program.WaitExit(kExitTimeoutMs, &code) ? static_cast<long>(code) : -1;
}
